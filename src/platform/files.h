#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace calventa::platform {

// A text file opened for writing; closed when destroyed.
class TextFile
{
public:
    virtual ~TextFile() = default;
    virtual bool Write(std::string_view text) = 0;
};

// A directory the program keeps its files in, opened once. Every file is named inside it;
// where a process running as root opened it, what the directory's path names later (a link
// swapped in, a parent renamed) changes nothing.
class Directory
{
public:
    virtual ~Directory() = default;
    // The directory's path as opened, for messages.
    virtual const std::string& Path() const = 0;
    // As the FileSystem calls of the same names, for the file called name in this directory.
    virtual std::optional<std::vector<uint8_t>> ReadFile(const std::string& name, size_t maxBytes) = 0;
    virtual bool ReplaceFile(const std::string& name, std::span<const uint8_t> bytes) = 0;
    virtual bool IsReadOnly(const std::string& name) = 0;
    virtual std::unique_ptr<TextFile> CreateTextFile(const std::string& name) = 0;
    virtual bool RemoveFile(const std::string& name) = 0;
    virtual bool FileExists(const std::string& name) = 0;
};

class FileSystem
{
public:
    virtual ~FileSystem() = default;
    // Up to maxBytes from the start of the file; nullopt when it cannot be opened.
    virtual std::optional<std::vector<uint8_t>> ReadFile(const std::string& path, size_t maxBytes) = 0;
    // Replaces the file whole: the new content is written beside it and renamed over it,
    // so a crash or a full disk leaves the old file intact. An existing file the user may
    // not write is left alone, as an open for writing would fail. False when nothing changed.
    virtual bool ReplaceFile(const std::string& path, std::span<const uint8_t> bytes) = 0;
    // An existing file this user may not write (ReplaceFile leaves it alone); false when the
    // file is missing or writable.
    virtual bool IsReadOnly(const std::string& path) = 0;
    // Creates the file anew (an existing one is truncated); nullptr when that fails.
    virtual std::unique_ptr<TextFile> CreateTextFile(const std::string& path) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // The directory the program keeps its files in. A process running as root must not
    // create files where another user could plant or swap them, nor be led there by a link:
    // it gets only a directory that nobody else can change, reached by a path nobody else
    // can redirect, and keeps it open. nullptr with the reason in why (one line).
    virtual std::unique_ptr<Directory> OpenProgramDirectory(const std::string& path, std::string& why) = 0;
};

} // namespace calventa::platform
