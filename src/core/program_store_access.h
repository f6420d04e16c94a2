#pragma once

#include <string>

#include "platform/program_store.h"
#include "platform/system_facts.h"

namespace calventa::core {

inline constexpr const char* kPathValue = "PATH";
inline constexpr const char* kSvcValue = "Svc";
inline constexpr const char* kSysdataValue = "sysdata";
inline constexpr const char* kWakeDisksValue = "WakeDisks";
inline constexpr const char* kAlarmNotificationsValue = "AlarmNotifications";
inline constexpr const char* kAutorunValue = "Calventa";
inline constexpr const char* kAutorunProbeValue = "Temp";

// "PATH" of the program key without trailing line ends; when it is missing, empty or not a
// string, the platform's default program directory.
std::string ReadProgramPath(platform::ProgramStore& store, const platform::SystemFacts& facts);

// "WakeDisks" of the program key (a DWORD): not 0 makes the disk pass read sleeping disks as
// it used to, spinning them up; missing, 0 or of another type leaves them asleep.
bool WakeDisks(platform::ProgramStore& store);

// "AlarmNotifications" of the program key (a DWORD): 0 keeps the desktop from being told when
// an alarm starts; missing or of another type leaves it on, so the choice lives beside
// settings.dat without changing its image.
bool AlarmNotificationsOn(platform::ProgramStore& store);
// Writes the choice as 1 or 0; false when the program key cannot be written.
bool SetAlarmNotifications(platform::ProgramStore& store, bool on);

// True when the autorun entry exists.
bool AutorunEnabled(platform::ProgramStore& store);
// Write probe: writes "Temp", then deletes it if it exists; true when it existed.
bool AutorunWritable(platform::ProgramStore& store);
// Writes (on) or deletes (off) the autorun entry naming the running executable. False when
// the entry could not be written or deleted.
bool SetAutorun(platform::ProgramStore& store, const platform::SystemFacts& facts, bool on);

} // namespace calventa::core
