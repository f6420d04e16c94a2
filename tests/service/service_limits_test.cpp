// What the disk service asks of the kernel and of systemd to stay answering under a flood:
// a listen queue no longer than the connections it may hold, and a CPU share above a user's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "service/service_test_support.h"
#include "service/service_unit.h"

namespace calventa::service {
namespace {

using testing::TempDir;

// Connections the kernel queues for a daemon that has not accepted yet, counted by
// non-blocking connects until one is refused (at most `limit`).
size_t QueuedConnections(const std::string& path, size_t limit)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    std::vector<int> fds;
    while (fds.size() < limit) {
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            close(fd);
            break;
        }
        fds.push_back(fd);
    }
    for (const int fd : fds) {
        close(fd);
    }
    return fds.size();
}

// The kernel takes one connection beyond the backlog.
TEST(DaemonListenQueue, HoldsNoMoreConnectionsThanTheDaemonMayServe)
{
    for (const size_t limit : {size_t{256}, size_t{8}}) {
        TempDir dir;
        sim::SimDisks drives(testing::Board("{}"), sim::DiskRights::Service);
        platform::linux_backend::FileProgramStore store(dir / "registry", dir / "autostart");
        DaemonOptions options(dir / "sock");
        options.maxConnections = limit;
        DiskServiceDaemon daemon(drives, store, options);
        std::string error;
        ASSERT_TRUE(daemon.Listen(error)) << error;
        EXPECT_EQ(QueuedConnections(dir / "sock", 900), limit + 1) << limit;
    }
}

// systemd's defaults are CPUWeight=100 and nice 0 for a user's processes as for a service.
TEST(DiskServiceUnit, RunsAboveAUsersCpuShare)
{
    const std::string unit = DiskServiceUnitText("/usr/sbin/calventasvc");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(unit, match, std::regex(R"(\nCPUWeight=(\d+)\n)"))) << unit;
    EXPECT_GT(std::stoi(match[1]), 100);
    EXPECT_LE(std::stoi(match[1]), 1000); // never the whole machine for one flooding user
    ASSERT_TRUE(std::regex_search(unit, match, std::regex(R"(\nNice=(-?\d+)\n)"))) << unit;
    EXPECT_LT(std::stoi(match[1]), 0);
    EXPECT_GE(std::stoi(match[1]), -10);
}

} // namespace
} // namespace calventa::service
