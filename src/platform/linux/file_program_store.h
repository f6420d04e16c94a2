#pragma once

#include <functional>
#include <string>

#include "platform/program_store.h"

namespace calventa::platform::linux_backend {

inline constexpr const char* kDefaultRegistryRoot = "/var/lib/calventa/registry";
inline constexpr const char* kDefaultAutostartDirectory = "/etc/xdg/autostart";

// The registry-like program store on plain files.
//
// Program key: the directory registryRoot, one file per value that keeps its type:
// "<value>.sz" (UTF-8 text, no terminator), "<value>.dword" (4 bytes little-endian) or
// "<value>.bin" (raw bytes). Writes are atomic; writing one type removes the others.
//
// Autorun key: the XDG autostart directory. "Calventa" is calventa.desktop (its Exec names
// the program), "Temp" the hidden write-probe file .calventa-autorun-probe; it holds no
// other values. The system directory is never created; a user's own one (~/.config/autostart)
// is made when a key is opened for writing.
//
// Rights follow the directory's permissions for this process: a key opened for writing
// needs a writable directory, one opened for reading a readable one, and a key refuses the
// operations its access mask does not grant, as a registry key does.
class FileProgramStore final : public ProgramStore
{
public:
    using ExecutablePathProvider = std::function<std::string()>;

    // When given, executablePath replaces an autorun program path that names no executable
    // file, so that the entry always starts something real.
    FileProgramStore(std::string registryRoot, std::string autostartDirectory,
                     ExecutablePathProvider executablePath = {}, bool createAutostartDirectory = false);

    std::unique_ptr<StoreKey> OpenKey(StoreKeyId key, uint32_t access, bool createIfMissing) override;

private:
    std::string m_registryRoot;
    std::string m_autostartDirectory;
    ExecutablePathProvider m_executablePath;
    bool m_createAutostartDirectory = false;
};

// Where the session's autostart entries go: root's in the system directory for every user,
// anyone else's in their own $XDG_CONFIG_HOME/autostart (~/.config/autostart), which a normal
// user may write. Empty when a user has neither an absolute XDG_CONFIG_HOME nor HOME.
std::string AutostartDirectoryFor(bool root, const char* xdgConfigHome, const char* home);

} // namespace calventa::platform::linux_backend
