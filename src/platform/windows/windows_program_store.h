#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/program_store.h"

namespace calventa::platform::windows_backend {

inline constexpr const char* kProgramKeyPath = "Software\\Morvalt Software\\Calventa Beta 1.0";
// The trailing backslash is part of the key's name as the program has always opened it.
inline constexpr const char* kAutorunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";

enum class RegistryRoot { LocalMachine, CurrentUser };

// Where the two keys are. The program's are under HKEY_LOCAL_MACHINE; tests use keys of
// their own so that they never touch the real ones.
struct RegistryKeys
{
    RegistryRoot root = RegistryRoot::LocalMachine;
    std::string programKey = kProgramKeyPath;
    std::string autorunKey = kAutorunKeyPath;
};

// Registry values are bounded: anything larger is nobody's "PATH" or disk table.
inline constexpr size_t kMaxRegistryValueBytes = 1 << 20;

// The program store on the registry. Every open passes exactly the access mask it is given;
// a key refuses (as the registry does) what its mask does not grant. A value of the wrong
// type or size counts as missing and leaves one note saying so; writes that the registry
// refuses are false, never an exception.
class WindowsProgramStore final : public ProgramStore
{
public:
    explicit WindowsProgramStore(RegistryKeys keys = {});

    std::unique_ptr<StoreKey> OpenKey(StoreKeyId key, uint32_t access, bool createIfMissing) override;

    // Notes since the last call (a value of the wrong type, a refused write), oldest first;
    // only the last kMaxNotes are kept.
    std::vector<std::string> TakeNotes();
    static constexpr size_t kMaxNotes = 32;

    // Deletes a key path below the root with everything under it (tests and uninstall).
    static bool DeleteTree(RegistryRoot root, const std::string& path);

    void Note(std::string text);

private:
    RegistryKeys m_keys;
    std::vector<std::string> m_notes;
};

} // namespace calventa::platform::windows_backend
