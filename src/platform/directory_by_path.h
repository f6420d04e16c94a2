#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/files.h"

namespace calventa::platform {

// A directory's files named by their paths, each call on its own: for a back end (or a
// user) with no link for anyone else to plant, where keeping the directory open buys
// nothing.
class DirectoryByPath final : public Directory
{
public:
    using JoinFunction = std::function<std::string(const std::string& directory, const std::string& name)>;

    DirectoryByPath(FileSystem& files, std::string path, JoinFunction join)
        : m_files(files), m_path(std::move(path)), m_join(std::move(join))
    {
    }

    const std::string& Path() const override { return m_path; }
    std::optional<std::vector<uint8_t>> ReadFile(const std::string& name, size_t maxBytes) override
    {
        return m_files.ReadFile(Of(name), maxBytes);
    }
    bool ReplaceFile(const std::string& name, std::span<const uint8_t> bytes) override
    {
        return m_files.ReplaceFile(Of(name), bytes);
    }
    bool IsReadOnly(const std::string& name) override { return m_files.IsReadOnly(Of(name)); }
    std::unique_ptr<TextFile> CreateTextFile(const std::string& name) override
    {
        return m_files.CreateTextFile(Of(name));
    }
    bool RemoveFile(const std::string& name) override { return m_files.RemoveFile(Of(name)); }
    bool FileExists(const std::string& name) override { return m_files.FileExists(Of(name)); }

private:
    std::string Of(const std::string& name) const { return m_join(m_path, name); }

    FileSystem& m_files;
    std::string m_path;
    JoinFunction m_join;
};

} // namespace calventa::platform
