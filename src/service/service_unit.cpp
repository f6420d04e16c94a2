#include "service/service_unit.h"

#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

// Characters a unit file takes in ExecStart without quoting or escaping ('%' and '$' are
// expanded, blanks split words).
bool IsPlainUnitPath(const std::string& path)
{
    if (path.empty() || path.front() != '/') {
        return false;
    }
    for (const char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                           c == '.' || c == '_' || c == '-' || c == '+' || c == '@' || c == ',';
        if (!plain) {
            return false;
        }
    }
    return true;
}

// Whether only root can change what lies at path: owned by root and writable by no group or
// other user; a sticky folder open to all (/tmp) still lets no one else rename or remove
// root's entries in it.
std::string RootOnlyRefusal(const std::string& path, bool directory)
{
    struct stat st = {};
    if (lstat(path.c_str(), &st) != 0) {
        return "cannot examine " + path + ": " + std::strerror(errno);
    }
    if (directory ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)) {
        return path + (directory ? " is not a folder" : " is not a plain file");
    }
    if (st.st_uid != 0) {
        return path + " is not owned by root";
    }
    const bool othersWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (othersWrite && !(directory && (st.st_mode & S_ISVTX) != 0)) {
        return path + " is writable by users other than root";
    }
    return {};
}

} // namespace

std::string ExecutableRefusal(const std::string& executablePath)
{
    char resolved[PATH_MAX];
    if (realpath(executablePath.c_str(), resolved) == nullptr) {
        return "cannot resolve " + executablePath + ": " + std::strerror(errno);
    }
    const std::string path = resolved;
    if (path != executablePath) {
        return executablePath + " is not the resolved path " + path;
    }
    if (!IsPlainUnitPath(path)) {
        return path + " has characters a unit file would have to quote";
    }
    if (std::string refusal = RootOnlyRefusal(path, false); !refusal.empty()) {
        return refusal;
    }
    for (size_t slash = path.rfind('/'); slash != std::string::npos; slash = path.rfind('/', slash - 1)) {
        const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
        if (std::string refusal = RootOnlyRefusal(folder, true); !refusal.empty()) {
            return refusal;
        }
        if (slash == 0) {
            break;
        }
    }
    return {};
}

std::string DiskServiceUnitText(const std::string& executablePath)
{
    // Root for the drive nodes (root:disk 0660) and for the store and socket folders it
    // owns, which need no capability. One capability is kept: CAP_SYS_RAWIO for ATA
    // pass-through. NVMe controllers are read from what sysfs publishes to every user (the
    // kernel passes their admin commands only to CAP_SYS_ADMIN, which this unit never gets),
    // so their device files stay closed to it. No CAP_DAC_OVERRIDE: nothing it opens belongs
    // to anyone else. The store under /var/lib/calventa and the socket under /run/calventa
    // are the only places it writes. Its work per request is bounded (coalescing, answers per
    // user), so a CPU weight and nice value above a user's keep it answering while one user
    // floods it on busy cores without letting it take the machine.
    return "[Unit]\n"
           "Description=Calventa disk service (S.M.A.R.T. disk temperatures for every user)\n"
           "After=local-fs.target\n"
           "\n"
           "[Service]\n"
           "Type=simple\n"
           "ExecStart=" +
           executablePath +
           "\n"
           "Restart=on-failure\n"
           "CPUWeight=400\n"
           "Nice=-5\n"
           "RuntimeDirectory=calventa\n"
           "RuntimeDirectoryMode=0755\n"
           "StateDirectory=calventa\n"
           "StateDirectoryMode=0755\n"
           "UMask=0077\n"
           "CapabilityBoundingSet=CAP_SYS_RAWIO\n"
           "NoNewPrivileges=yes\n"
           "ProtectSystem=strict\n"
           "ProtectHome=yes\n"
           "PrivateTmp=yes\n"
           "PrivateMounts=yes\n"
           "PrivateNetwork=yes\n"
           "IPAddressDeny=any\n"
           "RestrictAddressFamilies=AF_UNIX\n"
           "DevicePolicy=closed\n"
           "DeviceAllow=block-sd rw\n"
           "ProtectKernelTunables=yes\n"
           "ProtectKernelModules=yes\n"
           "ProtectKernelLogs=yes\n"
           "ProtectControlGroups=yes\n"
           "ProtectClock=yes\n"
           "ProtectHostname=yes\n"
           "ProtectProc=invisible\n"
           "ProcSubset=pid\n"
           "RestrictNamespaces=yes\n"
           "RestrictRealtime=yes\n"
           "RestrictSUIDSGID=yes\n"
           "LockPersonality=yes\n"
           "MemoryDenyWriteExecute=yes\n"
           "RemoveIPC=yes\n"
           "SystemCallArchitectures=native\n"
           "SystemCallFilter=@system-service\n"
           "SystemCallFilter=~@privileged @resources\n"
           "SystemCallErrorNumber=EPERM\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

bool InstallDiskService(const UnitInstallation& installation, std::string& error)
{
    // The unit makes root run this file with raw disk access at every boot: a file that a
    // user could replace would run that user's code as root.
    if (std::string refusal = ExecutableRefusal(installation.executablePath); !refusal.empty()) {
        error = "will not register " + installation.executablePath + ": " + refusal;
        return false;
    }
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
