#include "platform/linux/linux_nvme_sysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <vector>

namespace calventa::platform::linux_backend {

namespace {

// The hwmonN folders directly in a folder, in name order so the choice is stable.
std::vector<std::string> HwmonFolders(const std::string& directory)
{
    std::vector<std::string> found;
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) {
        return found;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 5 && name.compare(0, 5, "hwmon") == 0) {
            found.push_back(directory + "/" + name);
        }
    }
    closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

std::optional<std::string> ReadBoundedFile(const std::string& path, size_t limit)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string text(limit, '\0');
    size_t used = 0;
    while (used < limit) {
        const ssize_t got = read(fd, text.data() + used, limit - used);
        if (got <= 0) {
            if (got < 0) {
                close(fd);
                return std::nullopt;
            }
            break;
        }
        used += static_cast<size_t>(got);
    }
    close(fd);
    text.resize(used);
    return text;
}

std::string TrimTrailingBlanks(std::string text)
{
    const size_t end = text.find_last_not_of(std::string(" \t\r\n\0", 5));
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

std::optional<int64_t> ParseDecimal(const std::string& text)
{
    const std::string trimmed = TrimTrailingBlanks(text);
    int64_t value = 0;
    const char* first = trimmed.data();
    const char* last = trimmed.data() + trimmed.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (trimmed.empty() || error != std::errc{} || end != last) {
        return std::nullopt;
    }
    return value;
}

std::string NvmeSysfs::ControllerDirectory(int controller) const
{
    return m_root + "/nvme" + std::to_string(controller);
}

std::optional<NvmePublishedIdentity> NvmeSysfs::Identity(int controller) const
{
    const std::string directory = ControllerDirectory(controller);
    const std::optional<std::string> model = ReadBoundedFile(directory + "/model");
    if (!model) {
        return std::nullopt;
    }
    NvmePublishedIdentity identity;
    identity.model = TrimTrailingBlanks(*model);
    identity.serial = TrimTrailingBlanks(ReadBoundedFile(directory + "/serial").value_or(""));
    identity.firmware = TrimTrailingBlanks(ReadBoundedFile(directory + "/firmware_rev").value_or(""));
    return identity;
}

std::optional<int64_t> NvmeSysfs::CompositeMilliCelsius(int controller) const
{
    const std::string directory = ControllerDirectory(controller);
    // Kernels put the hwmon device under the controller, older ones under its PCI device.
    std::vector<std::string> candidates = HwmonFolders(directory);
    for (std::string& folder : HwmonFolders(directory + "/device/hwmon")) {
        candidates.push_back(std::move(folder));
    }
    for (const std::string& folder : candidates) {
        const std::optional<std::string> name = ReadBoundedFile(folder + "/name");
        if (!name || TrimTrailingBlanks(*name) != "nvme") {
            continue;
        }
        const std::optional<std::string> input = ReadBoundedFile(folder + "/temp1_input");
        if (input) {
            return ParseDecimal(*input);
        }
    }
    return std::nullopt;
}

} // namespace calventa::platform::linux_backend
