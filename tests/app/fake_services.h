#pragma once

#include <utility>

// A service manager and a service program for tests of the service menu and progress.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/service_progress.h"
#include "platform/disk_service.h"

namespace calventa::app::testing {

using platform::ServiceState;

// A service manager holding at most the disk service; every change is recorded.
class FakeServices : public platform::ServiceManager
{
public:
    bool Reachable = true;
    bool Rights = true;
    bool Installed = true;
    std::optional<ServiceState> State = ServiceState::Stopped;
    std::vector<std::string> Calls;

    std::unique_ptr<platform::ServiceManagerConnection> Connect() override
    {
        return Reachable ? std::make_unique<Connection>(*this) : nullptr;
    }
    std::unique_ptr<platform::ServiceManagerConnection> ConnectForChanges() override
    {
        return Rights ? Connect() : nullptr;
    }

private:
    class Handle : public platform::ServiceHandle
    {
    public:
        explicit Handle(FakeServices& owner) : m_owner(owner) {}
        std::optional<ServiceState> QueryStatus() override { return m_owner.State; }
        bool Control(uint32_t, uint32_t&) override { return false; }
        bool Start() override { return Record("start", ServiceState::Running); }
        bool Stop() override { return Record("stop", ServiceState::Stopped); }
        bool Delete() override
        {
            m_owner.Installed = false;
            return Record("delete", ServiceState::Stopped);
        }

    private:
        bool Record(const char* call, ServiceState state)
        {
            m_owner.Calls.push_back(call);
            m_owner.State = state;
            return true;
        }
        FakeServices& m_owner;
    };
    class Connection : public platform::ServiceManagerConnection
    {
    public:
        explicit Connection(FakeServices& owner) : m_owner(owner) {}
        std::unique_ptr<platform::ServiceHandle> OpenService(const std::string& name) override
        {
            const bool present = name == platform::kDiskServiceName && m_owner.Installed;
            return present ? std::make_unique<Handle>(m_owner) : nullptr;
        }

    private:
        FakeServices& m_owner;
    };
};

// calventasvc --install registers the service unless told to fail; --uninstall removes it.
class FakeProgram : public app::ServiceProgramRunner
{
public:
    explicit FakeProgram(FakeServices& services) : m_services(services) {}
    bool Run(const std::vector<std::string>& arguments) override
    {
        Runs.push_back(arguments);
        if (arguments.front() == "--install" && InstallWorks) {
            m_services.Installed = true;
            m_services.State = ServiceState::Stopped;
        } else if (arguments.front() == "--uninstall") {
            m_services.Installed = false;
        }
        return true;
    }
    std::string CollectFailure() override { return std::exchange(Failure, {}); }
    bool InstallWorks = true;
    std::string Failure; // what the next collection reports
    std::vector<std::vector<std::string>> Runs;

private:
    FakeServices& m_services;
};

} // namespace calventa::app::testing
