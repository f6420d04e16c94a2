#pragma once

#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace calventa::platform::linux_backend::testing {

// A fresh directory under /tmp, searchable by every user (the permission tests drop to
// nobody), removed with its content at the end.
class TempDir
{
public:
    TempDir()
    {
        std::string pattern = "/tmp/calventa-linux-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
            chmod(m_path.c_str(), 0755);
        }
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names in a directory, sorted, hidden ones included.
inline std::vector<std::string> Entries(const std::string& directory)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline mode_t ModeOf(const std::string& path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// For the permission cases, inside a forked child only: root passes every permission check,
// so it becomes nobody; another user is already bound by the permission bits.
inline void BecomeUnprivileged()
{
    if (geteuid() == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(99);
        }
    }
}

} // namespace calventa::platform::linux_backend::testing
