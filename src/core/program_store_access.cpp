#include "core/program_store_access.h"

namespace calventa::core {

namespace {

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// File names are formed as directory + separator + name, so the directory carries none at
// its end; a bare root ("/", "C:\") keeps it, or it would name another directory.
std::string WithoutTrailingSeparator(std::string path)
{
    const bool bareRoot = path.size() == 1 || (path.size() == 3 && path[1] == ':');
    if (!path.empty() && IsSeparator(path.back()) && !bareRoot) {
        path.pop_back();
    }
    return path;
}

} // namespace

std::string ReadProgramPath(platform::ProgramStore& store, const platform::SystemFacts& facts)
{
    std::string path;
    if (auto key = store.OpenKey(platform::StoreKeyId::Program, platform::kKeyRead, false)) {
        path = key->ReadString(kPathValue).value_or(std::string());
    }
    // A value written with echo ends in a line end, which no directory name is meant to.
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) {
        path.pop_back();
    }
    if (path.empty()) {
        path = facts.DefaultProgramDirectory();
    }
    return WithoutTrailingSeparator(std::move(path));
}

bool WakeDisks(platform::ProgramStore& store)
{
    auto key = store.OpenKey(platform::StoreKeyId::Program, platform::kKeyRead, false);
    const std::optional<uint32_t> value = key ? key->ReadDword(kWakeDisksValue) : std::nullopt;
    return value.value_or(0) != 0;
}

bool AlarmNotificationsOn(platform::ProgramStore& store)
{
    auto key = store.OpenKey(platform::StoreKeyId::Program, platform::kKeyRead, false);
    const std::optional<uint32_t> value = key ? key->ReadDword(kAlarmNotificationsValue) : std::nullopt;
    return value.value_or(1) != 0;
}

bool SetAlarmNotifications(platform::ProgramStore& store, bool on)
{
    auto key = store.OpenKey(platform::StoreKeyId::Program, platform::kKeyWrite, true);
    return key && key->WriteDword(kAlarmNotificationsValue, on ? 1 : 0);
}

bool AutorunEnabled(platform::ProgramStore& store)
{
    auto key = store.OpenKey(platform::StoreKeyId::Autorun, platform::kKeyRead, false);
    return key && key->HasValue(kAutorunValue);
}

bool AutorunWritable(platform::ProgramStore& store)
{
    // Probe by writing: the rights of the key are not readable any other way. A failed
    // write simply leaves no "Temp" for the second step to find.
    if (auto key = store.OpenKey(platform::StoreKeyId::Autorun, platform::kKeyWrite, false)) {
        key->WriteString(kAutorunProbeValue, "temp");
    }
    auto key = store.OpenKey(platform::StoreKeyId::Autorun, platform::kKeyReadWrite, false);
    if (!key || !key->HasValue(kAutorunProbeValue)) {
        return false;
    }
    key->DeleteValue(kAutorunProbeValue);
    return true;
}

bool SetAutorun(platform::ProgramStore& store, const platform::SystemFacts& facts, bool on)
{
    auto key = store.OpenKey(platform::StoreKeyId::Autorun, platform::kKeyWrite, false);
    if (!key) {
        return false;
    }
    // The real path of the running executable: the program directory need not hold it.
    return on ? key->WriteString(kAutorunValue, facts.ExecutablePath()) : key->DeleteValue(kAutorunValue);
}

} // namespace calventa::core
