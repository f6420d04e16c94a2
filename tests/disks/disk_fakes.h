#pragma once

// Stand-ins for the disk service and the windows the disk code raises, and a bench that
// wires them with a simulated board's disks and the core fakes.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/fakes.h"
#include "core/monitor_state.h"
#include "core/program_store_access.h"
#include "disks/smart_disks.h"
#include "platform/disk_platform.h"
#include "platform/sim/board_file.h"
#include "platform/sim/sim_disks.h"

namespace calventa::disks::testing {

// The service manager with one service. A control request runs OnControl, which plays the
// service's part (writing "sysdata"); without it every request is delivered and does nothing.
class FakeServiceManager : public platform::ServiceManager
{
public:
    bool Reachable = true;
    bool Installed = true;
    std::optional<platform::ServiceState> State = platform::ServiceState::Running;
    std::function<bool(uint32_t code, uint32_t& error)> OnControl;
    // The image a newer service returns with its reply; unset: the reply carries none.
    std::function<std::optional<std::vector<uint8_t>>(uint32_t code)> ReplyImage;
    std::vector<uint32_t> Controls;
    std::vector<std::string> OpenedNames;
    int LiveHandles = 0;

    std::unique_ptr<platform::ServiceManagerConnection> Connect() override
    {
        return Reachable ? std::make_unique<Connection>(*this) : nullptr;
    }

private:
    class Handle : public platform::ServiceHandle
    {
    public:
        explicit Handle(FakeServiceManager& owner) : m_owner(owner) { ++m_owner.LiveHandles; }
        ~Handle() override { --m_owner.LiveHandles; }
        std::optional<platform::ServiceState> QueryStatus() override { return m_owner.State; }
        bool Control(uint32_t code, uint32_t& error) override
        {
            m_owner.Controls.push_back(code);
            return m_owner.OnControl ? m_owner.OnControl(code, error) : true;
        }
        bool ControlForImage(uint32_t code, uint32_t& error, std::optional<std::vector<uint8_t>>& image) override
        {
            const bool delivered = Control(code, error);
            image = delivered && m_owner.ReplyImage ? m_owner.ReplyImage(code) : std::nullopt;
            return delivered;
        }

    private:
        FakeServiceManager& m_owner;
    };

    class Connection : public platform::ServiceManagerConnection
    {
    public:
        explicit Connection(FakeServiceManager& owner) : m_owner(owner) {}
        std::unique_ptr<platform::ServiceHandle> OpenService(const std::string& name) override
        {
            m_owner.OpenedNames.push_back(name);
            return m_owner.Installed && name == platform::kDiskServiceName ? std::make_unique<Handle>(m_owner)
                                                                           : nullptr;
        }

    private:
        FakeServiceManager& m_owner;
    };
};

class RecordingNotices : public DiskNotices
{
public:
    int AdminNotices = 0;
    void ShowAdminNotice() override { ++AdminNotices; }
};

class RecordingMessages : public UserMessages
{
public:
    std::vector<std::string> Messages;
    std::vector<std::pair<std::string, std::string>> Warnings;
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void ShowWarning(const std::string& caption, const std::string& text) override
    {
        Warnings.emplace_back(caption, text);
    }
};

inline sim::BoardDescription Board(const std::string& json)
{
    std::string error;
    auto board = sim::ParseBoard(json, error);
    EXPECT_TRUE(board.has_value()) << error;
    return board.value_or(sim::BoardDescription{});
}

inline constexpr const char* kLogPath = "/prog/debug.txt";

// One monitor's disk side on a board: the monitor state on the core fakes, the board's
// disks as the user sees them, the fake service, and SmartDisks over all of it. The log is
// open (debug mode) from the start.
struct DiskBench
{
    explicit DiskBench(const std::string& boardJson)
        : board(Board(boardJson)), drives(board, sim::DiskRights::User), smart(state, disks, notices, messages)
    {
        machine.Facts.FamilyValue = board.family;
        state.SetDefaultSettings();
        state.Settings.ShowAdminNotice = 1;
        state.Log().OpenLog(kLogPath, true);
    }
    DiskBench(const DiskBench&) = delete;
    DiskBench& operator=(const DiskBench&) = delete;

    // The messages of the log after "Log opened", without date and time.
    std::vector<std::string> LogMessages() const
    {
        std::vector<std::string> lines;
        const std::string text = machine.Files.Text(kLogPath);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                end = text.size();
            }
            const std::string line = text.substr(start, end - start);
            const size_t gap = line.find("     ");
            lines.push_back(gap == std::string::npos ? line : line.substr(gap + 5));
            start = end + 2;
        }
        if (!lines.empty() && lines.front() == "Log opened") {
            lines.erase(lines.begin());
        }
        return lines;
    }

    // "sysdata" as the service would leave it.
    void PutSysdata(const std::vector<uint8_t>& bytes)
    {
        machine.Store.Keys[platform::StoreKeyId::Program].Values[core::kSysdataValue] = bytes;
    }

    sim::BoardDescription board;
    core::fake::FakeMachine machine;
    core::MonitorState state{machine.Machine};
    sim::SimDisks drives;
    FakeServiceManager services;
    platform::DiskPlatform disks{drives, services};
    RecordingNotices notices;
    RecordingMessages messages;
    SmartDisks smart;
};

} // namespace calventa::disks::testing
