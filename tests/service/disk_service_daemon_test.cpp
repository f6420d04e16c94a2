// calventasvc in process: what each control code leaves in "sysdata", the socket protocol,
// and clients that misbehave, on both sides of the socket.

#include <gtest/gtest.h>

#include <atomic>

#include "core/disk_table.h"
#include "platform/disk_service.h"
#include "service/service_test_support.h"

namespace calventa::service {
namespace {

using testing::Message;
using testing::RawClient;
using testing::ServingDaemon;
using testing::TempDir;

constexpr const char* kTwoDisks = R"({"disk_access": "denied", "disks": [
    {"drive": 0, "model": "SIM DISK 1", "serial": "SN0001", "firmware": "1.0", "temperature": 40},
    {"drive": 2, "model": "SIM DISK 3", "serial": "SN0003", "firmware": "2.1", "temperature": -10,
     "attribute_entry": 35}]})";

std::vector<uint8_t> FileBytes(const std::string& path)
{
    const std::string text = platform::linux_backend::testing::ReadText(path);
    return {text.begin(), text.end()};
}

std::unique_ptr<platform::ServiceHandle> Open(platform::ServiceManager& manager)
{
    auto connection = manager.Connect();
    return connection ? connection->OpenService(platform::kDiskServiceName) : nullptr;
}

TEST(DaemonRequests, ScanLeavesTheWholeDriveListInSixHundredTenBytes)
{
    ServingDaemon daemon(kTwoDisks);
    auto client = daemon.Client();
    auto service = Open(client);
    ASSERT_TRUE(service);
    uint32_t error = 99;
    ASSERT_TRUE(service->Control(platform::kDiskScanControl, error));
    EXPECT_EQ(error, 0u);

    const std::vector<uint8_t> image = FileBytes(daemon.SysdataPath());
    ASSERT_EQ(image.size(), core::kDiskScanImageSize);
    core::DiskTable table;
    core::DecodeDiskTable(image, table);
    EXPECT_EQ(table.DiskCount, 2);
    EXPECT_EQ(table.DriveCount, 2);
    EXPECT_EQ(table.DriveNumbers[1], 2);
    EXPECT_EQ(table.Model[0], "SIM DISK 1"); // drive 0 is open to the service
    EXPECT_EQ(table.Serial[1], "SN0003");
    EXPECT_EQ(table.Temperature[1], -10);
}

TEST(DaemonRequests, NvmeControllersAreMoreEntriesMarkedInTheDriveList)
{
    ServingDaemon daemon(R"({"disk_access": "denied", "disks": [
        {"drive": 0, "model": "SIM DISK 1", "temperature": 40},
        {"kind": "nvme", "drive": 1, "model": "SIM NVME", "serial": "NV1", "temperature": 38}]})");
    auto client = daemon.Client();
    auto service = Open(client);
    ASSERT_TRUE(service);
    uint32_t error = 99;
    ASSERT_TRUE(service->Control(platform::kDiskScanControl, error));
    const std::vector<uint8_t> image = FileBytes(daemon.SysdataPath());
    ASSERT_EQ(image.size(), core::kDiskScanImageSize); // the layout is unchanged
    EXPECT_EQ(image[core::kDriveNumbersOffset + 1], 0x81);
    core::DiskTable table;
    core::DecodeDiskTable(image, table);
    EXPECT_EQ(table.DriveCount, 2);
    EXPECT_EQ(table.Model[1], "SIM NVME");
    EXPECT_EQ(table.Temperature[1], 38);
    EXPECT_TRUE(table.IsNvme(1));
    EXPECT_TRUE(table.ListsNvmeController(1));
    EXPECT_FALSE(table.ListsDrive(1));
}

TEST(DaemonRequests, TemperatureReadLeavesSixHundredOneBytesOfRawReadings)
{
    ServingDaemon daemon(kTwoDisks);
    auto client = daemon.Client();
    auto service = Open(client);
    ASSERT_TRUE(service);
    uint32_t error = 0;
    ASSERT_TRUE(service->Control(platform::kDiskScanControl, error));
    daemon.Drives().Disk(2)->temperature = 37;
    ASSERT_TRUE(service->Control(platform::kDiskTemperatureControl, error));

    const std::vector<uint8_t> image = FileBytes(daemon.SysdataPath());
    ASSERT_EQ(image.size(), core::kDiskTemperatureImageSize);
    core::DiskTable table;
    core::DecodeDiskTable(image, table);
    EXPECT_EQ(table.DiskCount, 2);
    EXPECT_EQ(table.Temperature[0], 40);
    EXPECT_EQ(table.Temperature[1], 37);
    EXPECT_EQ(table.DriveCount, 0); // not part of this image
}

TEST(DaemonRequests, TemperatureReadWithoutAnEarlierScanListsTheDisksFirst)
{
    TempDir dir;
    sim::SimDisks drives(testing::Board(kTwoDisks), sim::DiskRights::Service);
    platform::linux_backend::FileProgramStore store(dir / "registry", dir / "autostart");
    DiskServiceDaemon daemon(drives, store, {dir / "sock"});
    EXPECT_EQ(daemon.HandleControl(platform::kDiskTemperatureControl).status, 0u);
    EXPECT_EQ(daemon.Table().DriveCount, 2);
    EXPECT_EQ(FileBytes(dir / "registry/sysdata.bin").size(), core::kDiskTemperatureImageSize);
}

TEST(DaemonRequests, OtherCodesAreRefusedAndWriteNothing)
{
    ServingDaemon daemon(kTwoDisks);
    auto client = daemon.Client();
    auto service = Open(client);
    ASSERT_TRUE(service);
    for (const uint32_t code : {0u, 1u, 233u, 236u, 128u, 0xFFFFFFFFu}) {
        uint32_t error = 0;
        EXPECT_FALSE(service->Control(code, error));
        EXPECT_EQ(error, platform::kErrorInvalidServiceControl) << code;
    }
    EXPECT_EQ(access(daemon.SysdataPath().c_str(), F_OK), -1);
}

TEST(DaemonRequests, UnwritableStoreIsReportedAsAFailure)
{
    TempDir dir;
    platform::linux_backend::testing::WriteText(dir / "file", "");
    sim::SimDisks drives(testing::Board(kTwoDisks), sim::DiskRights::Service);
    // A key directory below a plain file can never be created, not even by root.
    platform::linux_backend::FileProgramStore store(dir / "file/registry", dir / "autostart");
    DiskServiceDaemon daemon(drives, store, {dir / "sock"});
    EXPECT_EQ(daemon.HandleControl(platform::kDiskScanControl).status, platform::kErrorAccessDenied);
}

TEST(DaemonSocket, MalformedRequestsAreRejected)
{
    ServingDaemon daemon(kTwoDisks);
    for (const std::vector<uint8_t>& request :
         {std::vector<uint8_t>{234, 0, 0}, std::vector<uint8_t>{234, 0, 0, 0, 0}, std::vector<uint8_t>(100, 235)}) {
        RawClient client(daemon.SocketPath());
        ASSERT_TRUE(client.Connected());
        ASSERT_TRUE(client.Send(request));
        EXPECT_EQ(client.Receive(2000), Message(platform::kErrorInvalidData));
        EXPECT_EQ(client.Receive(2000), std::vector<uint8_t>{}); // and closed
    }
    EXPECT_EQ(access(daemon.SysdataPath().c_str(), F_OK), -1);
}

TEST(DaemonSocket, SilentClientsNeitherBlockOthersNorStayForever)
{
    DaemonOptions options;
    options.requestTimeoutMs = 300;
    options.maxConnectionsPerUser = 4;
    ServingDaemon daemon(kTwoDisks, options);
    std::vector<std::unique_ptr<RawClient>> silent;
    for (int i = 0; i < 12; ++i) {
        silent.push_back(std::make_unique<RawClient>(daemon.SocketPath()));
    }
    auto client = daemon.Client();
    auto service = Open(client);
    ASSERT_TRUE(service);
    const auto start = std::chrono::steady_clock::now();
    uint32_t error = 0;
    EXPECT_TRUE(service->Control(platform::kDiskScanControl, error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));

    // The last silent client is dropped once its time is up.
    EXPECT_EQ(silent.back()->Receive(3000), std::vector<uint8_t>{});
}

TEST(DaemonSocket, ClientsThatLeaveEarlyDoNotHurtTheDaemon)
{
    ServingDaemon daemon(kTwoDisks);
    {
        RawClient connectsOnly(daemon.SocketPath());
    }
    {
        RawClient leavesBeforeTheReply(daemon.SocketPath());
        ASSERT_TRUE(leavesBeforeTheReply.Send(Message(platform::kDiskScanControl)));
    }
    auto client = daemon.Client();
    auto service = Open(client);
    ASSERT_TRUE(service);
    uint32_t error = 0;
    EXPECT_TRUE(service->Control(platform::kDiskTemperatureControl, error));
    EXPECT_EQ(service->QueryStatus(), platform::ServiceState::Running);
}

TEST(DaemonSocket, StopsOnRequestAndRemovesItsSocket)
{
    ServingDaemon daemon(kTwoDisks);
    daemon.Stop();
    EXPECT_FALSE(RawClient(daemon.SocketPath()).Connected());
    EXPECT_EQ(access(daemon.SocketPath().c_str(), F_OK), -1);
}

TEST(DaemonListen, RefusesASecondDaemonAndNonSockets)
{
    ServingDaemon running(kTwoDisks);
    TempDir dir;
    sim::SimDisks drives(testing::Board("{}"), sim::DiskRights::Service);
    platform::linux_backend::FileProgramStore store(dir / "registry", dir / "autostart");
    std::string error;

    DiskServiceDaemon second(drives, store, {running.SocketPath()});
    EXPECT_FALSE(second.Listen(error));
    EXPECT_NE(error.find("another calventasvc"), std::string::npos) << error;

    platform::linux_backend::testing::WriteText(dir / "plain", "keep me");
    DiskServiceDaemon onAFile(drives, store, {dir / "plain"});
    EXPECT_FALSE(onAFile.Listen(error));
    EXPECT_EQ(platform::linux_backend::testing::ReadText(dir / "plain"), "keep me");

    DiskServiceDaemon tooLong(drives, store, {dir / std::string(120, 's')});
    EXPECT_FALSE(tooLong.Listen(error));
}

TEST(DaemonListen, TakesOverTheSocketOfADaemonThatDied)
{
    TempDir dir;
    const std::string path = dir / "stale.sock";
    {
        // A bound socket nobody listens on any more.
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        close(fd);
    }
    sim::SimDisks drives(testing::Board("{}"), sim::DiskRights::Service);
    platform::linux_backend::FileProgramStore store(dir / "registry", dir / "autostart");
    DiskServiceDaemon daemon(drives, store, {path});
    std::string error;
    EXPECT_TRUE(daemon.Listen(error)) << error;
    EXPECT_EQ(platform::linux_backend::testing::ModeOf(path), 0666u);
}

// ---- the client against services that are missing or misbehave ----

TEST(ServiceClient, InstalledMeansAUnitOrASocketAndRunningMeansItAnswers)
{
    TempDir dir;
    platform::linux_backend::SocketServiceManager manager(dir / "none.sock", dir.Path(), {200, 200});
    EXPECT_EQ(Open(manager), nullptr);

    platform::linux_backend::testing::WriteText(dir / "calventasvc.service", "[Unit]\n");
    auto service = Open(manager);
    ASSERT_TRUE(service);
    EXPECT_EQ(service->QueryStatus(), platform::ServiceState::Stopped);
    uint32_t error = 0;
    EXPECT_FALSE(service->Control(platform::kDiskScanControl, error));
    EXPECT_EQ(error, platform::kErrorServiceNotActive);

    auto connection = manager.Connect();
    EXPECT_EQ(connection->OpenService("giveio"), nullptr);
}

// A stand-in service that answers every request with the given bytes (or none).
class FakeServer
{
public:
    FakeServer(std::string path, std::optional<std::vector<uint8_t>> reply, int holdMs)
        : m_path(std::move(path)), m_reply(std::move(reply)), m_holdMs(holdMs)
    {
        m_fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_path.c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(listen(m_fd, 4), 0);
        m_thread = std::thread([this] {
            const int client = accept(m_fd, nullptr, nullptr);
            if (client < 0) {
                return;
            }
            uint8_t request[16];
            recv(client, request, sizeof request, 0);
            if (m_reply) {
                send(client, m_reply->data(), m_reply->size(), MSG_NOSIGNAL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(m_holdMs));
            close(client);
        });
    }
    ~FakeServer()
    {
        shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        close(m_fd);
    }

private:
    std::string m_path;
    std::optional<std::vector<uint8_t>> m_reply;
    int m_holdMs;
    int m_fd = -1;
    std::thread m_thread;
};

struct ReplyCase
{
    const char* name;
    std::optional<std::vector<uint8_t>> reply;
    int holdMs;
    bool delivered;
    uint32_t error;
};

class ServiceReplies : public ::testing::TestWithParam<ReplyCase>
{
};

TEST_P(ServiceReplies, OnlyAWellFormedZeroMeansDelivered)
{
    const ReplyCase& c = GetParam();
    TempDir dir;
    FakeServer server(dir / "svc.sock", c.reply, c.holdMs);
    platform::linux_backend::SocketServiceManager manager(dir / "svc.sock", dir.Path(), {500, 300});
    auto service = Open(manager);
    ASSERT_TRUE(service);
    uint32_t error = 0;
    EXPECT_EQ(service->Control(platform::kDiskScanControl, error), c.delivered);
    EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ServiceReplies,
    ::testing::Values(ReplyCase{"Done", Message(0), 0, true, 0},
                      ReplyCase{"Refused", Message(platform::kErrorWriteFault), 0, false, platform::kErrorWriteFault},
                      ReplyCase{"TooShort", std::vector<uint8_t>{0, 0}, 0, false, platform::kErrorInvalidData},
                      ReplyCase{"TooLong", std::vector<uint8_t>(40, 0), 0, false, platform::kErrorInvalidData},
                      ReplyCase{"ClosedWithoutReply", std::nullopt, 0, false, platform::kErrorBrokenPipe},
                      ReplyCase{"NeverReplies", std::nullopt, 1000, false, platform::kErrorServiceRequestTimeout}),
    [](const ::testing::TestParamInfo<ReplyCase>& param) { return std::string(param.param.name); });

// ---- the reply's image, for new clients, and what old clients read ----

TEST(DaemonReplies, TheStatusComesAloneFirstAndTheRequestsImageAfterIt)
{
    ServingDaemon daemon(kTwoDisks);
    RawClient client(daemon.SocketPath());
    ASSERT_TRUE(client.Send(Message(platform::kDiskScanControl)));
    // A first client reads one message of exactly four bytes and stops there.
    EXPECT_EQ(client.Receive(2000), Message(0));
    const auto second = client.Receive(2000);
    ASSERT_TRUE(second);
    const auto image = platform::linux_backend::DecodeImageMessage(*second);
    ASSERT_TRUE(image);
    EXPECT_EQ(*image, FileBytes(daemon.SysdataPath()));
    EXPECT_EQ(image->size(), core::kDiskScanImageSize);
    EXPECT_EQ(client.Receive(2000), std::vector<uint8_t>{}); // and closed
}

TEST(DaemonReplies, ARefusalCarriesNoImage)
{
    ServingDaemon daemon(kTwoDisks);
    RawClient client(daemon.SocketPath());
    ASSERT_TRUE(client.Send(Message(233)));
    EXPECT_EQ(client.Receive(2000), Message(platform::kErrorInvalidServiceControl));
    EXPECT_EQ(client.Receive(2000), std::vector<uint8_t>{});
}

TEST(ServiceClient, AStatusOnlyRequestStillWorksWithTheImageFollowing)
{
    ServingDaemon daemon(kTwoDisks);
    auto client = daemon.Client();
    auto service = Open(client);
    ASSERT_TRUE(service);
    uint32_t error = 99;
    EXPECT_TRUE(service->Control(platform::kDiskScanControl, error));
    EXPECT_EQ(error, 0u);
    std::optional<std::vector<uint8_t>> image;
    EXPECT_TRUE(service->ControlForImage(platform::kDiskTemperatureControl, error, image));
    ASSERT_TRUE(image);
    EXPECT_EQ(*image, FileBytes(daemon.SysdataPath()));
}

TEST(ServiceClient, AServiceWithoutImagesIsAnsweredFromSysdataWithoutDelay)
{
    TempDir dir;
    FakeServer oldService(dir / "svc.sock", Message(0), 0); // status, then the connection closes
    platform::linux_backend::SocketServiceManager manager(dir / "svc.sock", dir.Path(), {500, 2000, 2000});
    auto service = Open(manager);
    ASSERT_TRUE(service);
    uint32_t error = 99;
    std::optional<std::vector<uint8_t>> image = std::vector<uint8_t>{1};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(service->ControlForImage(platform::kDiskScanControl, error, image));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(error, 0u);
    EXPECT_FALSE(image);
}

TEST(ServiceClient, AServiceThatHangsAfterTheStatusCostsOnlyTheImageWait)
{
    TempDir dir;
    FakeServer hanging(dir / "svc.sock", Message(0), 3000);
    platform::linux_backend::SocketServiceManager manager(dir / "svc.sock", dir.Path(), {500, 2000, 200});
    auto service = Open(manager);
    ASSERT_TRUE(service);
    uint32_t error = 99;
    std::optional<std::vector<uint8_t>> image;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(service->ControlForImage(platform::kDiskScanControl, error, image));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_FALSE(image);
}

TEST(ImageMessages, OnlyATaggedImageThatFitsATableIsTaken)
{
    using platform::linux_backend::DecodeImageMessage;
    using platform::linux_backend::EncodeImageMessage;
    const std::vector<uint8_t> image(core::kDiskTemperatureImageSize, 7);
    EXPECT_EQ(DecodeImageMessage(EncodeImageMessage(image)), image);
    EXPECT_EQ(DecodeImageMessage(EncodeImageMessage({})), std::vector<uint8_t>{});
    std::vector<uint8_t> wrongTag = EncodeImageMessage(image);
    wrongTag[0] ^= 1;
    EXPECT_FALSE(DecodeImageMessage(wrongTag));
    EXPECT_FALSE(DecodeImageMessage(EncodeImageMessage(std::vector<uint8_t>(core::kDiskScanImageSize + 1, 0))));
    EXPECT_FALSE(DecodeImageMessage(std::vector<uint8_t>{0x43, 0x56}));
}

TEST(ImageMessages, OnlyWholeMessagesAreRead)
{
    using platform::linux_backend::EncodeImageMessage;
    using platform::linux_backend::ReplyImageOf;
    using platform::linux_backend::ReplyStatusOf;
    const std::vector<uint8_t> message = EncodeImageMessage(std::vector<uint8_t>(core::kDiskScanImageSize, 7));
    EXPECT_EQ(ReplyImageOf(message, message.size()), std::vector<uint8_t>(core::kDiskScanImageSize, 7));
    // The socket kept fewer bytes than the message had: what was kept is no image.
    EXPECT_FALSE(ReplyImageOf(std::span(message).first(100), message.size()));
    EXPECT_FALSE(ReplyImageOf(message, 0));
    const auto status = platform::linux_backend::EncodeServiceMessage(0);
    EXPECT_EQ(ReplyStatusOf(status, 4), 0u);
    EXPECT_FALSE(ReplyStatusOf(status, 5)); // a longer message cut to the buffer
    EXPECT_FALSE(ReplyStatusOf(std::span(status).first(3), 4));
}

} // namespace
} // namespace calventa::service
