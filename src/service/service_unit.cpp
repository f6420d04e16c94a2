#include "service/service_unit.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/file_io.h"
#include "platform/linux/linux_disk_service.h"

namespace calventa::service {

namespace {

using platform::linux_backend::kDiskServiceUnitName;

constexpr mode_t kUnitFileMode = 0644;

// Runs systemctl with the arguments; true when it exits with 0 (or is not to be called).
bool RunSystemctl(const std::vector<std::string>& systemctl, const std::vector<std::string>& arguments)
{
    if (systemctl.empty()) {
        return true;
    }
    std::vector<std::string> words = systemctl;
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string UnitPath(const UnitInstallation& installation)
{
    return installation.unitDirectory + "/" + kDiskServiceUnitName;
}

} // namespace

std::string DiskServiceUnitText(const std::string& executablePath)
{
    return "[Unit]\n"
           "Description=Calventa disk service (S.M.A.R.T. disk temperatures for every user)\n"
           "After=local-fs.target\n"
           "\n"
           "[Service]\n"
           "Type=simple\n"
           "ExecStart=" +
           executablePath +
           "\n"
           "RuntimeDirectory=calventa\n"
           "RuntimeDirectoryMode=0755\n"
           "Restart=on-failure\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

bool InstallDiskService(const UnitInstallation& installation, std::string& error)
{
    const std::string text = DiskServiceUnitText(installation.executablePath);
    const std::string path = UnitPath(installation);
    if (!platform::linux_backend::ReplaceFileAtomically(
            path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, kUnitFileMode)) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    // Without a running systemd (a chroot, an image being built) the reload fails and the
    // unit is read at the next boot; enabling must work in either case.
    RunSystemctl(installation.systemctl, {"daemon-reload"});
    if (!RunSystemctl(installation.systemctl, {"enable", kDiskServiceUnitName})) {
        error = std::string("systemctl enable ") + kDiskServiceUnitName + " failed";
        unlink(path.c_str());
        RunSystemctl(installation.systemctl, {"daemon-reload"});
        return false;
    }
    return true;
}

bool UninstallDiskService(const UnitInstallation& installation, std::string& error)
{
    const std::string path = UnitPath(installation);
    // Fails harmlessly when the unit is not known; the file is what decides.
    RunSystemctl(installation.systemctl, {"disable", "--now", kDiskServiceUnitName});
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        error = "cannot remove " + path + ": " + std::strerror(errno);
        return false;
    }
    RunSystemctl(installation.systemctl, {"daemon-reload"});
    return true;
}

} // namespace calventa::service
