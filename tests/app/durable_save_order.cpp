// Every save reaches the disk before it replaces the old file: the new content is synced,
// then renamed over the old name, then the directory is synced. This binary is linked with
// fsync, fdatasync and the rename calls wrapped (-Wl,--wrap=...), so the wrappers below see
// the calls the saving code makes and record their order.

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli_watch.h"
#include "case_name.h"
#include "core/fakes.h"
#include "core/monitor_state.h"
#include "core/settings_block.h"
#include "platform/linux/file_program_store.h"
#include "platform/linux/linux_file_system.h"
#include "platform/linux_test_support.h"

namespace {

enum class Call { Sync, Rename };

struct Event
{
    Call call;
    std::string path; // synced file or directory; the rename's source
    std::string target;
};

// The wrappers have no object to hang state on: a record that only a test's RecordedCalls
// turns on is the one global of this binary.
struct Record
{
    bool on = false;
    std::vector<Event> events;
};
Record& TheRecord()
{
    static Record record;
    return record;
}

std::string PathOfDescriptor(int fd)
{
    if (fd == AT_FDCWD) {
        char cwd[PATH_MAX];
        return getcwd(cwd, sizeof cwd) != nullptr ? cwd : "";
    }
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    const ssize_t n = readlink(link, path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : "";
}

// A path relative to a directory descriptor, with the directory's links resolved as the
// descriptors' paths have them.
std::string PathAt(int directoryFd, const char* name)
{
    std::string path = name[0] == '/' ? name : PathOfDescriptor(directoryFd) + "/" + name;
    const size_t slash = path.rfind('/');
    char resolved[PATH_MAX];
    if (slash != std::string::npos && slash > 0 && realpath(path.substr(0, slash).c_str(), resolved) != nullptr) {
        path = resolved + path.substr(slash);
    }
    return path;
}

void Note(Call call, std::string path, std::string target = {})
{
    if (TheRecord().on) {
        TheRecord().events.push_back({call, std::move(path), std::move(target)});
    }
}

} // namespace

extern "C" {
int __real_fsync(int fd);
int __real_fdatasync(int fd);
int __real_rename(const char* from, const char* to);
int __real_renameat(int fromFd, const char* from, int toFd, const char* to);
int __real_renameat2(int fromFd, const char* from, int toFd, const char* to, unsigned flags);

int __wrap_fsync(int fd)
{
    Note(Call::Sync, PathOfDescriptor(fd));
    return __real_fsync(fd);
}
int __wrap_fdatasync(int fd)
{
    Note(Call::Sync, PathOfDescriptor(fd));
    return __real_fdatasync(fd);
}
int __wrap_rename(const char* from, const char* to)
{
    Note(Call::Rename, PathAt(AT_FDCWD, from), PathAt(AT_FDCWD, to));
    return __real_rename(from, to);
}
int __wrap_renameat(int fromFd, const char* from, int toFd, const char* to)
{
    Note(Call::Rename, PathAt(fromFd, from), PathAt(toFd, to));
    return __real_renameat(fromFd, from, toFd, to);
}
int __wrap_renameat2(int fromFd, const char* from, int toFd, const char* to, unsigned flags)
{
    Note(Call::Rename, PathAt(fromFd, from), PathAt(toFd, to));
    return __real_renameat2(fromFd, from, toFd, to, flags);
}
}

namespace calventa {
namespace {

using platform::linux_backend::testing::ReadText;
using platform::linux_backend::testing::TempDir;
using platform::linux_backend::testing::WriteText;

// The calls made while it lives.
class RecordedCalls
{
public:
    RecordedCalls()
    {
        TheRecord().events.clear();
        TheRecord().on = true;
    }
    ~RecordedCalls() { TheRecord().on = false; }
    RecordedCalls(const RecordedCalls&) = delete;
    RecordedCalls& operator=(const RecordedCalls&) = delete;

    const std::vector<Event>& Events() const { return TheRecord().events; }
};

std::string Resolved(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

std::string Describe(const std::vector<Event>& events)
{
    std::string text;
    for (const Event& e : events) {
        text += e.call == Call::Sync ? "fsync " + e.path : "rename " + e.path + " -> " + e.target;
        text += "\n";
    }
    return text.empty() ? "no calls\n" : text;
}

std::span<const uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

struct SaveCase
{
    const char* name;
    const char* fileName; // in the case's directory
    // Saves the file in the directory; what it should then hold, nullopt when the save
    // reported a failure.
    std::function<std::optional<std::string>(const std::string& directory)> save;
};

void PrintTo(const SaveCase& c, std::ostream* os)
{
    *os << c.name;
}

class DurableSave : public ::testing::TestWithParam<SaveCase>
{
};

TEST_P(DurableSave, SyncsTheNewContentBeforeTheRenameAndTheDirectoryAfterIt)
{
    const SaveCase& c = GetParam();
    TempDir dir;
    const std::string path = dir / c.fileName;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteText(path, "old content");
    std::optional<std::string> content;
    {
        RecordedCalls calls;
        content = c.save(dir.Path());
        ASSERT_TRUE(content.has_value());
        const std::vector<Event>& events = calls.Events();
        const std::string target = Resolved(path);
        const auto rename = std::find_if(events.begin(), events.end(),
                                         [&](const Event& e) { return e.call == Call::Rename && e.target == target; });
        ASSERT_NE(rename, events.end()) << "the file was not replaced by a rename:\n" << Describe(events);
        const std::string temporary = rename->path;
        EXPECT_NE(temporary, target);
        const bool syncedBefore = std::any_of(
            events.begin(), rename, [&](const Event& e) { return e.call == Call::Sync && e.path == temporary; });
        EXPECT_TRUE(syncedBefore) << "the new content was not synced before its rename:\n" << Describe(events);
        const std::string directory = Resolved(std::filesystem::path(path).parent_path());
        const bool directorySyncedAfter = std::any_of(
            rename + 1, events.end(), [&](const Event& e) { return e.call == Call::Sync && e.path == directory; });
        EXPECT_TRUE(directorySyncedAfter) << "the rename was not made durable:\n" << Describe(events);
    }
    EXPECT_EQ(ReadText(path), *content);
}

// The monitor's own save of its settings block, on the real file system.
std::optional<std::string> SaveSettingsDat(const std::string& directory)
{
    core::fake::FakeMachine machine;
    platform::linux_backend::LinuxFileSystem files;
    platform::Platform onDisk{machine.Ports, machine.Time,  machine.Mutexes, machine.Store,
                              files,         machine.Facts, machine.Kernel};
    core::MonitorState state(onDisk);
    state.SetDefaultSettings();
    state.ProgramPath = directory;
    state.SaveSettings();
    const core::SettingsImage image = core::EncodeSettings(state.Settings);
    return std::string(image.begin(), image.end());
}

std::optional<std::string> SaveTextfile(const std::string& directory)
{
    const std::string text = "calventa_alarm{slot=\"CPU\"} 0\n";
    std::string error;
    return app::WriteTextfile(directory + "/calventa.prom", text, error) ? std::optional(text) : std::nullopt;
}

std::optional<std::string> SaveFile(const std::string& directory)
{
    const std::string text = "Time,CPU\r\n";
    platform::linux_backend::LinuxFileSystem files;
    return files.ReplaceFile(directory + "/history.csv", Bytes(text)) ? std::optional(text) : std::nullopt;
}

std::optional<std::string> SaveStoreValue(const std::string& directory)
{
    const std::string text(610, '\x5A');
    platform::linux_backend::FileProgramStore store(directory + "/registry", directory + "/autostart");
    auto key = store.OpenKey(platform::StoreKeyId::Program, platform::kKeyWrite, /*createIfMissing=*/true);
    return key && key->WriteBinary("sysdata", {text.begin(), text.end()}) ? std::optional(text) : std::nullopt;
}

INSTANTIATE_TEST_SUITE_P(Saves, DurableSave,
                         ::testing::Values(SaveCase{"settings dat", "settings.dat", SaveSettingsDat},
                                           SaveCase{"metrics textfile", "calventa.prom", SaveTextfile},
                                           SaveCase{"file of the file system", "history.csv", SaveFile},
                                           SaveCase{"program store value", "registry/sysdata.bin", SaveStoreValue}),
                         [](const ::testing::TestParamInfo<SaveCase>& info) {
                             return testnames::CaseName(info.param.name);
                         });

} // namespace
} // namespace calventa
