#include <gtest/gtest.h>

#include <thread>

#include "../platform/windows_test_support.h"
#include "core/disk_table.h"
#include "core/program_store_access.h"
#include "core/startup_log.h"
#include "disks/disk_service_client.h"
#include "platform/sim/board_file.h"
#include "platform/sim/sim_disks.h"
#include "platform/windows/windows_platform.h"
#include "service/windows_disk_service.h"

namespace calventa::service {
namespace {

using platform::windows_backend::RegistryKeys;
using platform::windows_backend::RegistryRoot;
using platform::windows_backend::WindowsProgramStore;
using platform::windows_backend::WindowsServiceManager;

const std::string kDemoBoard = CALVENTA_SOURCE_DIR "/boards/demo.json";

std::string ServiceExe()
{
    return testwin::WindowsPath(CALVENTASVC_PATH);
}

TEST(ServiceArguments, TakeTheWindowsAndTheLinuxSwitches)
{
    std::string error;
    const auto install = ParseServiceArguments({"/install", "/silent", "--key", "Software\\T"}, error);
    ASSERT_TRUE(install.has_value()) << error;
    EXPECT_TRUE(install->install && install->silent && !install->uninstall);
    EXPECT_EQ(ServiceImageArguments(*install), (std::vector<std::string>{"--key", "Software\\T"}));
    EXPECT_TRUE(ParseServiceArguments({"--uninstall"}, error)->uninstall);
    EXPECT_FALSE(ParseServiceArguments({"/install", "/uninstall"}, error).has_value());
    EXPECT_FALSE(ParseServiceArguments({"/silent", "/silent"}, error).has_value());
    EXPECT_FALSE(ParseServiceArguments({"--board"}, error).has_value());
    EXPECT_FALSE(ParseServiceArguments({"--board", ""}, error).has_value());
    EXPECT_FALSE(ParseServiceArguments({"/frobnicate"}, error).has_value());
    EXPECT_NE(error.find("/frobnicate"), std::string::npos);
    EXPECT_EQ(ServiceCommandLine("C:\\Program Files\\Calventa\\calventasvc.exe", {"--board", "C:\\a b.json"}),
              "\"C:\\Program Files\\Calventa\\calventasvc.exe\" --board \"C:\\a b.json\"");
}

// The handler's side on a simulated board: what each control code does to "sysdata".
class ServiceControlsTest : public ::testing::Test
{
protected:
    ServiceControlsTest()
    {
        m_keys.root = RegistryRoot::CurrentUser;
        m_base = "Software\\CalventaTest\\" + testwin::Unique("Controls");
        m_keys.programKey = m_base;
        std::string error;
        m_board = sim::LoadBoardFile(kDemoBoard, error);
    }
    ~ServiceControlsTest() override { WindowsProgramStore::DeleteTree(RegistryRoot::CurrentUser, m_base); }

    std::optional<std::vector<uint8_t>> Sysdata(WindowsProgramStore& store)
    {
        auto key = store.OpenKey(platform::StoreKeyId::Program, platform::kKeyRead, false);
        return key ? key->ReadBinary(core::kSysdataValue, 100000) : std::nullopt;
    }

    RegistryKeys m_keys;
    std::string m_base;
    std::optional<sim::BoardDescription> m_board;
};

TEST_F(ServiceControlsTest, ScanAndReadWriteTheTableAndOtherCodesTouchNothing)
{
    ASSERT_TRUE(m_board.has_value());
    sim::SimDisks drives(*m_board, sim::DiskRights::Service);
    WindowsProgramStore store(m_keys);
    DiskServiceWork work(drives, store, 0);
    DiskServiceControls controls(work);

    for (const uint32_t code : {0u, 3u, 128u, 200u, 233u, 236u, 255u, 0xFFFFFFFFu}) {
        const auto reaction = controls.Handle(code);
        EXPECT_EQ(reaction.result, kErrorCallNotImplemented) << code;
        EXPECT_EQ(reaction.action, DiskServiceControls::Action::None) << code;
    }
    EXPECT_FALSE(Sysdata(store).has_value());
    EXPECT_EQ(controls.Handle(SERVICE_CONTROL_INTERROGATE).result, kNoError);

    EXPECT_EQ(controls.Handle(234).result, kNoError);
    auto image = Sysdata(store);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), core::kDiskScanImageSize);
    core::DiskTable table;
    core::DecodeDiskTable(*image, table);
    EXPECT_EQ(table.DiskCount, 2);
    EXPECT_EQ(table.DriveCount, 2);
    EXPECT_EQ(table.Model[0], "SIM DISK 1");

    EXPECT_EQ(controls.Handle(235).result, kNoError);
    EXPECT_EQ(Sysdata(store)->size(), core::kDiskTemperatureImageSize);
    EXPECT_EQ(controls.Handle(SERVICE_CONTROL_STOP).action, DiskServiceControls::Action::Stop);
    EXPECT_EQ(controls.Handle(SERVICE_CONTROL_SHUTDOWN).action, DiskServiceControls::Action::Stop);
}

TEST_F(ServiceControlsTest, RequestsInsideTheCoalescingTimeAskTheDrivesOnce)
{
    ASSERT_TRUE(m_board.has_value());
    sim::SimDisks drives(*m_board, sim::DiskRights::Service);
    WindowsProgramStore store(m_keys);
    auto now = DiskServiceWork::Clock::time_point{};
    DiskServiceWork work(drives, store, 1000, [&now] { return now; });
    EXPECT_TRUE(work.HandleControl(234).fresh);
    for (int i = 0; i < 50; ++i) {
        const ControlAnswer again = work.HandleControl(235);
        EXPECT_EQ(again.fresh, i == 0) << i;
        EXPECT_EQ(again.status, 0u);
    }
    now += std::chrono::milliseconds(1000);
    EXPECT_TRUE(work.HandleControl(235).fresh);
}

TEST(WindowsService, RunFromAConsoleItSaysSoAndFails)
{
    EXPECT_EQ(testwin::Run(testwin::Quoted(ServiceExe())), 1);
    EXPECT_EQ(testwin::Run(testwin::Quoted(ServiceExe()) + " /bogus"), 2);
    EXPECT_EQ(testwin::Run(testwin::Quoted(ServiceExe()) + " /help"), 0);
}

bool WaitForState(platform::ServiceHandle& service, platform::ServiceState state)
{
    for (int i = 0; i < 200; ++i) {
        if (service.QueryStatus() == state) {
            return true;
        }
        Sleep(50);
    }
    return false;
}

// The real service under the service control manager: installed, started, asked, stopped and
// removed. This test process stays alive throughout, so the service is not ended under it.
TEST(WindowsService, AnswersScanAndReadThroughTheServiceManagerAndTheRegistry)
{
    const std::string key = "Software\\CalventaTest\\" + testwin::Unique("Service");
    const std::string quotedExe = testwin::Quoted(ServiceExe());
    ASSERT_EQ(testwin::Run(quotedExe + " /uninstall /silent"), 0); // a leftover of an earlier run
    ASSERT_EQ(testwin::Run(quotedExe + " /install /silent --board " +
                           testwin::Quoted(testwin::WindowsPath(kDemoBoard)) + " --key " + key),
              0);
    // Installing again leaves the installed service as it is.
    EXPECT_EQ(testwin::Run(quotedExe + " /install /silent"), 0);

    WindowsServiceManager services;
    {
        auto changes = services.ConnectForChanges();
        ASSERT_NE(changes, nullptr);
        auto service = changes->OpenService(platform::kDiskServiceName);
        ASSERT_NE(service, nullptr);
        ASSERT_TRUE(service->Start());
        ASSERT_TRUE(WaitForState(*service, platform::ServiceState::Running));
        EXPECT_FALSE(service->Start()); // started twice: refused, still running
    }

    RegistryKeys keys;
    keys.programKey = key;
    WindowsProgramStore store(keys);
    auto manager = services.Connect();
    ASSERT_NE(manager, nullptr);
    auto client = manager->OpenService(platform::kDiskServiceName);
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->QueryStatus(), platform::ServiceState::Running);
    EXPECT_FALSE(client->Stop()); // the monitor's handle may not change the service

    uint32_t error = 0;
    ASSERT_TRUE(client->Control(platform::kDiskScanControl, error)) << error;
    auto image =
        store.OpenKey(platform::StoreKeyId::Program, platform::kKeyRead, false)->ReadBinary(core::kSysdataValue, 611);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), core::kDiskScanImageSize);
    core::DiskTable table;
    core::DecodeDiskTable(*image, table);
    EXPECT_EQ(table.DriveCount, 2);
    EXPECT_EQ(table.Temperature[0], 41);

    // The monitor's side, as in the disk-service mode: detection, scan, temperature request.
    {
        platform::windows_backend::WindowsFileSystem files;
        platform::windows_backend::WindowsClock clock;
        platform::windows_backend::WindowsSystemFacts facts;
        core::StartupLog log(files, clock, facts);
        disks::DiskServiceClient monitor(services, store, clock, log);
        ASSERT_EQ(monitor.Detect(), disks::ServiceDetection::Detected);
        core::DiskTable seen;
        const disks::ServiceRequestResult scan = monitor.RequestScan(seen);
        EXPECT_TRUE(scan.delivered);
        EXPECT_EQ(scan.sysdata, disks::SysdataRead::Taken);
        EXPECT_EQ(seen.DriveCount, 2);
        EXPECT_EQ(seen.Model[1], "SIM DISK 2");
        const disks::ServiceRequestResult read = monitor.RequestTemperatures(seen);
        EXPECT_TRUE(read.delivered);
        EXPECT_EQ(read.sysdata, disks::SysdataRead::Taken);
        EXPECT_EQ(seen.Temperature[0], 41);
    }

    client->Control(200, error); // unknown: refused by the handler, nothing else happens
    client->Control(0x7F, error);
    ASSERT_TRUE(client->Control(platform::kDiskTemperatureControl, error)) << error;
    image =
        store.OpenKey(platform::StoreKeyId::Program, platform::kKeyRead, false)->ReadBinary(core::kSysdataValue, 611);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), core::kDiskTemperatureImageSize);
    EXPECT_EQ(client->QueryStatus(), platform::ServiceState::Running);

    {
        auto changes = services.ConnectForChanges();
        auto service = changes->OpenService(platform::kDiskServiceName);
        ASSERT_NE(service, nullptr);
        EXPECT_TRUE(service->Stop());
        EXPECT_TRUE(WaitForState(*service, platform::ServiceState::Stopped));
    }
    client.reset();
    manager.reset();
    EXPECT_EQ(testwin::Run(quotedExe + " /uninstall /silent"), 0);
    EXPECT_EQ(services.Connect()->OpenService(platform::kDiskServiceName), nullptr);
    WindowsProgramStore::DeleteTree(RegistryRoot::LocalMachine, key);
}

} // namespace
} // namespace calventa::service
