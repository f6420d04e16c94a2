#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// File primitives shared by the file system, the program store and the port-owner check.
namespace calventa::platform::linux_backend {

// Up to maxBytes from the start of the file; nullopt when it cannot be opened or read.
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path, size_t maxBytes);

// Writes the bytes to a temporary file beside path, syncs it and renames it over path, so
// that a crash or a full disk leaves either the old or the new content. An existing file
// keeps its permission bits (and, when root rewrites it, its owner); a new one gets
// newFileMode exactly. False, with the old file intact and no temporary file left, on any
// failure.
bool ReplaceFileAtomically(const std::string& path, std::span<const uint8_t> bytes, mode_t newFileMode);

// mkdir -p. Directories it creates get exactly the given mode, whatever the umask.
bool MakeDirectories(const std::string& path, mode_t mode);

// The process's file mode creation mask, read without changing it.
mode_t CurrentUmask();

// The directory part of a path ("." when it has none) and the last component.
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);

// A single path component that names a file inside a directory: not empty, no '/', no NUL,
// not "." or "..".
bool IsPlainFileName(const std::string& name);

} // namespace calventa::platform::linux_backend
