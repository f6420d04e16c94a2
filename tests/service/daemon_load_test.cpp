// calventasvc against a hostile local user: honest monitors keep being answered, each with
// its own request's image, while another user floods the socket; repeated requests do not
// reach the drives; nothing the daemon keeps grows with the number of requests.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/disk_table.h"
#include "core/fakes.h"
#include "platform/disk_service.h"
#include "service/hostile_user.h"
#include "service/service_test_support.h"

namespace calventa::service {
namespace {

using testing::HostileUser;
using testing::ServingDaemon;
using testing::TempDir;

constexpr const char* kTwoDisks = R"({"disk_access": "denied", "disks": [
    {"drive": 0, "model": "SIM DISK 1", "serial": "SN0001", "firmware": "1.0", "temperature": 40},
    {"drive": 2, "model": "SIM DISK 3", "serial": "SN0003", "firmware": "2.1", "temperature": -10}]})";

constexpr int kRequestsPerMonitor = 20;

// Whether an image is the answer to the code: a scan's lists both drives in 610 bytes, a
// temperature read's is 601 bytes with both temperatures.
bool IsAnswerTo(uint32_t code, const std::vector<uint8_t>& image)
{
    core::DiskTable table;
    core::DecodeDiskTable(image, table);
    if (code == platform::kDiskScanControl) {
        return image.size() == core::kDiskScanImageSize && table.DriveCount == 2 && table.DriveNumbers[1] == 2;
    }
    return image.size() == core::kDiskTemperatureImageSize && table.DiskCount == 2 && table.Temperature[1] == -10;
}

struct LoadCase
{
    const char* name;
    int monitors;
};

class HonestMonitorsUnderAFlood : public ::testing::TestWithParam<LoadCase>
{
};

// Each monitor lists the disks and then reads the temperatures, as fast as it can, through
// the monitor's own client, while nobody floods the socket with connections that never ask,
// requests it does not wait for, alternating codes, and rubbish.
TEST_P(HonestMonitorsUnderAFlood, LoseNoRequestAndReadOnlyTheirOwnImage)
{
    HostileUser attacker; // forked before any thread exists
    ASSERT_TRUE(attacker.Started());
    ServingDaemon daemon(kTwoDisks);
    attacker.Attack(daemon.SocketPath());
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the flood is on

    std::atomic<int> lost = 0;
    std::atomic<int> foreign = 0;
    std::vector<std::thread> monitors;
    for (int m = 0; m < GetParam().monitors; ++m) {
        monitors.emplace_back([&] {
            auto manager = daemon.Client(60000);
            auto connection = manager.Connect();
            auto service = connection ? connection->OpenService(platform::kDiskServiceName) : nullptr;
            if (!service) {
                lost += kRequestsPerMonitor;
                return;
            }
            for (int i = 0; i < kRequestsPerMonitor; ++i) {
                const uint32_t code = i == 0 ? platform::kDiskScanControl : platform::kDiskTemperatureControl;
                uint32_t error = 0;
                std::optional<std::vector<uint8_t>> image;
                if (!service->ControlForImage(code, error, image)) {
                    ++lost;
                } else if (!image || !IsAnswerTo(code, *image)) {
                    ++foreign;
                }
            }
        });
    }
    for (std::thread& monitor : monitors) {
        monitor.join();
    }
    const testing::HostileCounts hostile = attacker.Stop();

    EXPECT_EQ(lost, 0) << "of " << GetParam().monitors * kRequestsPerMonitor;
    EXPECT_EQ(foreign, 0);
    EXPECT_GT(hostile.connections, 0u); // the flood did reach the daemon
    std::printf("%d monitors: %d of %d requests lost, %d foreign images; the flooder connected %llu times and "
                "sent %llu requests\n",
                GetParam().monitors, lost.load(), GetParam().monitors * kRequestsPerMonitor, foreign.load(),
                static_cast<unsigned long long>(hostile.connections),
                static_cast<unsigned long long>(hostile.requests));
}

INSTANTIATE_TEST_SUITE_P(Monitors, HonestMonitorsUnderAFlood,
                         ::testing::Values(LoadCase{"Twelve", 12}, LoadCase{"Fifty", 50}),
                         [](const ::testing::TestParamInfo<LoadCase>& param) { return std::string(param.param.name); });

TEST(DaemonUnderLoad, AUserWhoAsksWithoutPauseIsAnsweredAtItsRateAndReachesTheDrivesRarely)
{
    HostileUser spammer(HostileUser::Style::AskAndWait);
    ASSERT_TRUE(spammer.Started());
    ServingDaemon daemon(kTwoDisks); // 10 answers a second after a burst of 20, 1 s coalescing
    constexpr uint32_t kSpamMs = 2000;
    spammer.Attack(daemon.SocketPath(), kSpamMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(kSpamMs + 200));
    const testing::HostileCounts counts = spammer.Stop();

    EXPECT_GE(counts.answers, 20u);
    EXPECT_LE(counts.answers, 20u + 10u * (kSpamMs + 500) / 1000);
    // Listing two drives takes eight commands (power mode, enable, identify, read data) and
    // reading them four (power mode, read data): at most one of each kind per second of
    // coalescing, whatever the rate of requests.
    EXPECT_LE(daemon.Drives().Counts().sent, (8u + 4u) * (kSpamMs / 1000 + 1));
    std::printf("a user asking without pause for %u ms: %llu answers, %llu drive commands\n", kSpamMs,
                static_cast<unsigned long long>(counts.answers),
                static_cast<unsigned long long>(daemon.Drives().Counts().sent));
}

TEST(DaemonUnderLoad, RootIsNotBoundByTheUserRate)
{
    ServingDaemon daemon(kTwoDisks);
    auto manager = daemon.Client();
    auto service = manager.Connect()->OpenService(platform::kDiskServiceName);
    ASSERT_TRUE(service);
    for (int i = 0; i < 100; ++i) {
        uint32_t error = 0;
        ASSERT_TRUE(service->Control(platform::kDiskTemperatureControl, error)) << i;
    }
}

// The share is exact: the user's fourth connection of four is held, its fifth makes the
// oldest go and nothing else. Idle connections would stay ten seconds, so a drop within the
// test is the share's doing.
TEST(DaemonUnderLoad, AUserHoldsExactlyItsShareOfConnections)
{
    DaemonOptions options;
    options.maxConnectionsPerUser = 4;
    options.requestTimeoutMs = 10000;
    ServingDaemon daemon(kTwoDisks, options);
    const pid_t child = fork();
    if (child == 0) {
        platform::linux_backend::testing::BecomeUnprivileged();
        std::vector<std::unique_ptr<testing::RawClient>> held;
        for (size_t i = 0; i < options.maxConnectionsPerUser; ++i) {
            held.push_back(std::make_unique<testing::RawClient>(daemon.SocketPath()));
        }
        // The daemon has accepted them all by the end of the wait; none went.
        for (const auto& client : held) {
            if (client->Receive(100) != std::nullopt) {
                _exit(1);
            }
        }
        testing::RawClient fifth(daemon.SocketPath());
        if (held[0]->Receive(3000) != std::vector<uint8_t>{}) {
            _exit(2); // the oldest should have made way
        }
        for (size_t i = 1; i < held.size(); ++i) {
            if (held[i]->Receive(100) != std::nullopt) {
                _exit(3);
            }
        }
        fifth.Send(testing::Message(platform::kDiskScanControl));
        _exit(fifth.Receive(3000) == testing::Message(0) ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    // 1: a connection within the share was dropped; 2: one beyond it was held; 3: more than
    // the oldest went; 4: the newest was not answered.
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DaemonUnderLoad, IdleConnectionsOfAUserBeyondItsShareMakeWayForItsNewOnes)
{
    DaemonOptions options;
    options.maxConnectionsPerUser = 4;
    ServingDaemon daemon(kTwoDisks, options);
    // Root is not bound by the share; nobody is. Nobody's idle connections are dropped as it
    // opens more, and its asking connection is answered.
    const pid_t child = fork();
    if (child == 0) {
        platform::linux_backend::testing::BecomeUnprivileged();
        std::vector<std::unique_ptr<testing::RawClient>> idle;
        for (int i = 0; i < 12; ++i) {
            idle.push_back(std::make_unique<testing::RawClient>(daemon.SocketPath()));
        }
        testing::RawClient asking(daemon.SocketPath());
        asking.Send(testing::Message(platform::kDiskScanControl));
        const auto status = asking.Receive(3000);
        // The first idle ones were dropped: they read the end of the connection.
        const auto first = idle.front()->Receive(3000);
        _exit(status == testing::Message(0) && first && first->empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// When every descriptor the daemon allows is held, a request that has arrived is answered
// (even one that waits for its user's turn), and an idle connection goes, never the other
// way round.
TEST(DaemonUnderLoad, AtTheConnectionLimitArrivedRequestsAreAnsweredAndIdleOnesGo)
{
    DaemonOptions options;
    options.maxConnections = 2;
    options.userBurst = 1;               // nobody's second request waits for its turn...
    options.userAnswersPerSecond = 0.01; // ...for a hundred seconds
    ServingDaemon daemon(kTwoDisks, options);
    int sent[2];
    ASSERT_EQ(pipe2(sent, O_CLOEXEC), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(sent[0]);
        platform::linux_backend::testing::BecomeUnprivileged();
        testing::RawClient first(daemon.SocketPath());
        first.Send(testing::Message(platform::kDiskTemperatureControl));
        if (first.Receive(3000) != testing::Message(0)) {
            _exit(2);
        }
        testing::RawClient waiting(daemon.SocketPath());
        waiting.Send(testing::Message(platform::kDiskTemperatureControl));
        [[maybe_unused]] const ssize_t n = write(sent[1], "x", 1);
        _exit(waiting.Receive(5000) == testing::Message(0) ? 0 : 1);
    }
    // Only the child holds the write end: a child that ends early ends the read too.
    close(sent[1]);
    char byte = 0;
    const ssize_t signalled = read(sent[0], &byte, 1);
    close(sent[0]);
    if (signalled != 1) {
        int status = 0;
        waitpid(child, &status, 0);
        FAIL() << "the child ended before its request waited, status " << WEXITSTATUS(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the daemon sees it waiting
    testing::RawClient idle(daemon.SocketPath());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    testing::RawClient second(daemon.SocketPath()); // the limit: nobody's request is answered
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status);

    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    testing::RawClient third(daemon.SocketPath()); // the limit again: the oldest idle one goes
    EXPECT_EQ(idle.Receive(2000), std::vector<uint8_t>{});
    EXPECT_EQ(second.Receive(200), std::nullopt); // still held
}

// ---- coalescing, on a clock the test moves ----

// Counts the writes of "sysdata" on the way to the real store.
class CountingStore : public platform::ProgramStore
{
public:
    explicit CountingStore(platform::ProgramStore& store) : m_store(store) {}
    int writes = 0;

    std::unique_ptr<platform::StoreKey> OpenKey(platform::StoreKeyId key, uint32_t access,
                                                bool createIfMissing) override
    {
        auto opened = m_store.OpenKey(key, access, createIfMissing);
        return opened ? std::make_unique<Key>(std::move(opened), writes) : nullptr;
    }

private:
    class Key : public platform::StoreKey
    {
    public:
        Key(std::unique_ptr<platform::StoreKey> key, int& writes) : m_key(std::move(key)), m_writes(writes) {}
        std::optional<std::string> ReadString(const std::string& n) override { return m_key->ReadString(n); }
        std::optional<uint32_t> ReadDword(const std::string& n) override { return m_key->ReadDword(n); }
        std::optional<std::vector<uint8_t>> ReadBinary(const std::string& n, size_t max) override
        {
            return m_key->ReadBinary(n, max);
        }
        bool HasValue(const std::string& n) override { return m_key->HasValue(n); }
        bool WriteString(const std::string& n, const std::string& v) override { return m_key->WriteString(n, v); }
        bool WriteDword(const std::string& n, uint32_t v) override { return m_key->WriteDword(n, v); }
        bool WriteBinary(const std::string& n, const std::vector<uint8_t>& v) override
        {
            ++m_writes;
            return m_key->WriteBinary(n, v);
        }
        bool DeleteValue(const std::string& n) override { return m_key->DeleteValue(n); }

    private:
        std::unique_ptr<platform::StoreKey> m_key;
        int& m_writes;
    };
    platform::ProgramStore& m_store;
};

struct CoalescingBench
{
    CoalescingBench()
    {
        options.socketPath = dir / "sock";
        options.now = [this] { return now; };
    }
    std::vector<uint8_t> Sysdata() const
    {
        const std::string text = platform::linux_backend::testing::ReadText(dir / "registry/sysdata.bin");
        return {text.begin(), text.end()};
    }

    TempDir dir;
    sim::SimDisks drives{testing::Board(kTwoDisks), sim::DiskRights::Service};
    platform::linux_backend::FileProgramStore files{dir / "registry", dir / "autostart"};
    CountingStore store{files};
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    DaemonOptions options;
};

TEST(DaemonCoalescing, RequestsWithinASecondOfTheLastOfTheirKindDoNotReachTheDrivesOrTheStore)
{
    CoalescingBench bench;
    DiskServiceDaemon daemon(bench.drives, bench.store, bench.options);
    ASSERT_EQ(daemon.HandleControl(platform::kDiskScanControl).status, 0u);
    const ControlAnswer first = daemon.HandleControl(platform::kDiskTemperatureControl);
    ASSERT_EQ(first.status, 0u);
    EXPECT_TRUE(first.fresh);
    const uint64_t commands = bench.drives.Counts().sent;
    const int writes = bench.store.writes;

    bench.drives.Disk(2)->temperature = 30;
    for (int i = 0; i < 100; ++i) {
        bench.now += std::chrono::milliseconds(9);
        const ControlAnswer again = daemon.HandleControl(platform::kDiskTemperatureControl);
        EXPECT_EQ(again.status, 0u);
        EXPECT_FALSE(again.fresh);
        EXPECT_EQ(again.image, first.image);
    }
    EXPECT_EQ(bench.drives.Counts().sent, commands);
    EXPECT_EQ(bench.store.writes, writes);

    bench.now += std::chrono::milliseconds(100); // 1000 ms after the first read
    const ControlAnswer later = daemon.HandleControl(platform::kDiskTemperatureControl);
    EXPECT_TRUE(later.fresh);
    EXPECT_EQ(bench.drives.Counts().sent, commands + 4); // per drive: power mode, then read data
    EXPECT_EQ(bench.store.writes, writes + 1);
    core::DiskTable table;
    core::DecodeDiskTable(later.image, table);
    EXPECT_EQ(table.Temperature[1], 30);
}

TEST(DaemonCoalescing, AnAnswerFromTheLastResultPutsItsKindBackIntoSysdata)
{
    CoalescingBench bench;
    DiskServiceDaemon daemon(bench.drives, bench.store, bench.options);
    const ControlAnswer scan = daemon.HandleControl(platform::kDiskScanControl);
    const ControlAnswer read = daemon.HandleControl(platform::kDiskTemperatureControl);
    const uint64_t commands = bench.drives.Counts().sent;
    ASSERT_EQ(bench.Sysdata(), read.image);

    // A client that still reads "sysdata" after its scan must find a scan's image there.
    bench.now += std::chrono::milliseconds(300);
    const ControlAnswer scanAgain = daemon.HandleControl(platform::kDiskScanControl);
    EXPECT_FALSE(scanAgain.fresh);
    EXPECT_EQ(scanAgain.image, scan.image);
    EXPECT_EQ(bench.Sysdata(), scan.image);
    EXPECT_EQ(bench.drives.Counts().sent, commands);
}

TEST(DaemonCoalescing, AScanMakesTheLastTemperatureImageStale)
{
    CoalescingBench bench;
    DiskServiceDaemon daemon(bench.drives, bench.store, bench.options);
    ASSERT_EQ(daemon.HandleControl(platform::kDiskScanControl).status, 0u);
    bench.now += std::chrono::milliseconds(1500);
    const ControlAnswer before = daemon.HandleControl(platform::kDiskTemperatureControl);
    ASSERT_TRUE(before.fresh);
    // The next scan is past the scan's second, but within the temperature read's.
    bench.now += std::chrono::milliseconds(500);
    bench.drives.Disk(2)->temperature = 30;
    ASSERT_TRUE(daemon.HandleControl(platform::kDiskScanControl).fresh); // the drive list may have changed
    bench.now += std::chrono::milliseconds(100);
    const ControlAnswer after = daemon.HandleControl(platform::kDiskTemperatureControl);
    EXPECT_TRUE(after.fresh);
    EXPECT_NE(after.image, before.image);
    core::DiskTable table;
    core::DecodeDiskTable(after.image, table);
    EXPECT_EQ(table.Temperature[1], 30);
    EXPECT_EQ(bench.Sysdata(), after.image);
}

TEST(DaemonCoalescing, AFailedWriteIsNotReusedAsAnAnswer)
{
    TempDir dir;
    platform::linux_backend::testing::WriteText(dir / "file", "");
    sim::SimDisks drives(testing::Board(kTwoDisks), sim::DiskRights::Service);
    platform::linux_backend::FileProgramStore store(dir / "file/registry", dir / "autostart");
    DiskServiceDaemon daemon(drives, store, {dir / "sock"});
    EXPECT_NE(daemon.HandleControl(platform::kDiskScanControl).status, 0u);
    EXPECT_TRUE(daemon.HandleControl(platform::kDiskScanControl).fresh);
}

// ---- nothing grows with the number of requests ----

TEST(DaemonMemory, SeventyFiveThousandRequestsKeepTheDriveRecordAndTheDaemonBounded)
{
    CoalescingBench bench;
    bench.options.coalesceMs = 0;        // every request reaches the drives
    core::fake::FakeProgramStore memory; // 75,000 fsyncs would take minutes
    DiskServiceDaemon daemon(bench.drives, memory, bench.options);
    daemon.HandleControl(platform::kDiskScanControl);
    for (int i = 0; i < 75000; ++i) {
        bench.now += std::chrono::milliseconds(1);
        ASSERT_EQ(daemon.HandleControl(platform::kDiskTemperatureControl).status, 0u);
    }
    // The scan: power mode, enable, identify, read data per drive; each read: power mode, read data.
    EXPECT_EQ(bench.drives.Counts().sent, 8u + 75000u * 4u);
    EXPECT_EQ(bench.drives.Commands().size(), sim::SimDisks::kKeptCommands);
    EXPECT_EQ(bench.drives.Commands().back().drive, 2); // the newest are kept
    EXPECT_EQ(daemon.Connections(), 0u);
}

TEST(DaemonMemory, UsersWhoLeaveAreForgotten)
{
    ServingDaemon daemon(kTwoDisks);
    for (int i = 0; i < 5; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            // Each a different user, asking once.
            if (setgroups(0, nullptr) != 0 || setgid(60000 + i) != 0 || setuid(60000 + i) != 0) {
                _exit(99);
            }
            testing::RawClient client(daemon.SocketPath());
            client.Send(testing::Message(platform::kDiskTemperatureControl));
            _exit(client.Receive(3000) == testing::Message(0) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // Their buckets are full again a tenth of a second later; then the daemon keeps nothing
    // of them once it wakes (root, who is not remembered either, wakes it).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(testing::RawClient(daemon.SocketPath()).Connected());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    daemon.Stop();
    const size_t users = daemon.Daemon().KnownUsers();
    EXPECT_EQ(users, 0u);
}

} // namespace
} // namespace calventa::service
