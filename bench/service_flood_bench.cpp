// calventa-service-flood-bench: how many honest requests the disk service loses while one
// local user floods its socket from many processes on a machine whose cores are busy. Not a
// test (it takes half a minute and depends on the machine); run it by hand:
//
//   calventa-service-flood-bench DAEMON [--nice N] [--flooders 26] [--burners 2]
//
// DAEMON is a calventasvc executable, run on a simulated board at nice N (what the unit's
// Nice= gives it). Ten honest users (uids 2001..2010) each ask 100 times, five requests a
// second, through the monitor's own client with its timeouts; nobody (65534) floods from
// the given number of processes; the burners spin on the cores meanwhile.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/disk_service.h"
#include "platform/linux/linux_disk_service.h"
#include "service/hostile_user.h"

namespace {

using calventa::platform::linux_backend::testing::TempDir;
using calventa::platform::linux_backend::testing::WriteText;
using calventa::service::testing::HostileUser;

constexpr int kHonestUsers = 10;
constexpr int kRequestsPerUser = 100;
constexpr auto kRequestInterval = std::chrono::milliseconds(200);

constexpr const char* kBoard = R"({"disk_access": "denied", "disks": [
    {"drive": 0, "model": "SIM DISK 1", "serial": "SN0001", "firmware": "1.0", "temperature": 40},
    {"drive": 2, "model": "SIM DISK 3", "serial": "SN0003", "firmware": "2.1", "temperature": -10}]})";

pid_t Fork(const std::function<int()>& child)
{
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(child());
    }
    return pid;
}

struct HonestCounts
{
    int lost = 0;
    int slow = 0; // answered, but after more than a second
    long slowestMs = 0;
};

// One honest user's monitor: its requests paced as a monitor's timers would never reach;
// what it counted goes to the pipe.
int HonestUser(uid_t uid, const std::string& socketPath, const std::string& unitDirectory, int resultFd)
{
    if (setgid(uid) != 0 || setuid(uid) != 0) {
        return 255;
    }
    calventa::platform::linux_backend::SocketServiceManager manager(socketPath, unitDirectory);
    HonestCounts counts;
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; i < kRequestsPerUser; ++i) {
        std::this_thread::sleep_until(next);
        next += kRequestInterval;
        const auto asked = std::chrono::steady_clock::now();
        auto connection = manager.Connect();
        auto service = connection ? connection->OpenService(calventa::platform::kDiskServiceName) : nullptr;
        uint32_t error = 0;
        std::optional<std::vector<uint8_t>> image;
        const uint32_t code =
            i == 0 ? calventa::platform::kDiskScanControl : calventa::platform::kDiskTemperatureControl;
        if (!service || !service->ControlForImage(code, error, image) || !image) {
            ++counts.lost;
            continue;
        }
        const long ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked).count());
        counts.slow += ms > 1000 ? 1 : 0;
        counts.slowestMs = std::max(counts.slowestMs, ms);
    }
    return write(resultFd, &counts, sizeof counts) == static_cast<ssize_t>(sizeof counts) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: calventa-service-flood-bench DAEMON [--nice N] [--flooders N] [--burners N]\n");
        return 2;
    }
    const std::string daemonPath = argv[1];
    int nice = 0;
    int flooders = 26;
    int burners = 2;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const int value = std::atoi(argv[i + 1]);
        (option == "--nice" ? nice : option == "--flooders" ? flooders : burners) = value;
    }

    // Every process is forked before any thread exists.
    std::vector<std::unique_ptr<HostileUser>> attackers;
    for (int i = 0; i < flooders; ++i) {
        attackers.push_back(std::make_unique<HostileUser>());
    }
    TempDir dir;
    chmod(dir.Path().c_str(), 0755);
    WriteText(dir / "board.json", kBoard);
    mkdir((dir / "run").c_str(), 0755);
    const std::string socketPath = dir / "run/calventasvc.sock";
    const pid_t daemon = Fork([&] {
        setenv("CALVENTA_BOARD", (dir / "board.json").c_str(), 1);
        setenv("CALVENTA_SERVICE_SOCKET", socketPath.c_str(), 1);
        setenv("CALVENTA_REGISTRY_ROOT", (dir / "registry").c_str(), 1);
        setpriority(PRIO_PROCESS, 0, nice);
        execl(daemonPath.c_str(), daemonPath.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
    for (int i = 0; i < 100 && access(socketPath.c_str(), F_OK) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::vector<pid_t> burning;
    for (int i = 0; i < burners; ++i) {
        burning.push_back(Fork([] {
            for (volatile unsigned long spin = 0;; spin = spin + 1) {
            }
            return 0;
        }));
    }
    for (auto& attacker : attackers) {
        attacker->Attack(socketPath, 40000); // ends the flood should the bench itself die
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the flood is on

    const auto started = std::chrono::steady_clock::now();
    int results[2];
    if (pipe(results) != 0) {
        return 1;
    }
    std::vector<pid_t> honest;
    for (int u = 0; u < kHonestUsers; ++u) {
        honest.push_back(
            Fork([&, u] { return HonestUser(static_cast<uid_t>(2001 + u), socketPath, dir / "units", results[1]); }));
    }
    close(results[1]);
    HonestCounts total;
    int reported = 0;
    for (HonestCounts counts; read(results[0], &counts, sizeof counts) == static_cast<ssize_t>(sizeof counts);
         ++reported) {
        total.lost += counts.lost;
        total.slow += counts.slow;
        total.slowestMs = std::max(total.slowestMs, counts.slowestMs);
    }
    total.lost += (kHonestUsers - reported) * kRequestsPerUser; // a user that died lost all
    for (const pid_t pid : honest) {
        waitpid(pid, nullptr, 0);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    uint64_t connections = 0;
    uint64_t requests = 0;
    for (auto& attacker : attackers) {
        const auto counts = attacker->Stop();
        connections += counts.connections;
        requests += counts.requests;
    }
    for (const pid_t pid : burning) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    kill(daemon, SIGTERM);
    waitpid(daemon, nullptr, 0);
    std::printf("daemon at nice %d, %d flooding processes, %d burners: %d of %d honest requests lost, %d answered "
                "after more than 1 s (slowest %ld ms), all in %.1f s; the flood connected %llu times and sent %llu "
                "requests\n",
                nice, flooders, burners, total.lost, kHonestUsers * kRequestsPerUser, total.slow, total.slowestMs,
                seconds, static_cast<unsigned long long>(connections), static_cast<unsigned long long>(requests));
    return 0;
}
