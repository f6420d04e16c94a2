#include "platform/linux/libsensors_kernel_sensors.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sensors/error.h>
#include <sensors/sensors.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <tuple>

#include "platform/linux/hwmon_names.h"
#include "platform/linux/hwmon_pwm_files.h"

namespace calventa::platform::linux_backend {

namespace {

// libsensors reports configuration errors through process-wide hooks without a context
// argument; while one start is running, they append to this list. Only Start sets it.
struct ParseErrorSink
{
    std::vector<std::string>* Errors = nullptr;
    std::string DefaultFile; // libsensors names no file when it was handed a stream
};
thread_local ParseErrorSink t_parseErrors;

void CollectParseError(const char* error, int line)
{
    if (t_parseErrors.Errors != nullptr) {
        t_parseErrors.Errors->push_back(t_parseErrors.DefaultFile + ":" + std::to_string(line) + ": " +
                                        (error != nullptr ? error : "?"));
    }
}

void CollectParseErrorWithFile(const char* error, const char* file, int line)
{
    if (t_parseErrors.Errors != nullptr) {
        std::string where = file != nullptr ? file : t_parseErrors.DefaultFile;
        if (line > 0) {
            where += ":" + std::to_string(line);
        }
        t_parseErrors.Errors->push_back(where + ": " + (error != nullptr ? error : "?"));
    }
}

// Installs the collecting hooks for the length of one sensors_init call.
class ParseErrorCapture
{
public:
    ParseErrorCapture(std::vector<std::string>& sink, const std::string& configFile)
        : m_oldHook(sensors_parse_error), m_oldHookWithFile(sensors_parse_error_wfn)
    {
        t_parseErrors = ParseErrorSink{&sink, configFile.empty() ? "sensors configuration" : configFile};
        sensors_parse_error = CollectParseError;
        sensors_parse_error_wfn = CollectParseErrorWithFile;
    }
    ~ParseErrorCapture()
    {
        sensors_parse_error = m_oldHook;
        sensors_parse_error_wfn = m_oldHookWithFile;
        t_parseErrors = ParseErrorSink{};
    }
    ParseErrorCapture(const ParseErrorCapture&) = delete;
    ParseErrorCapture& operator=(const ParseErrorCapture&) = delete;

private:
    void (*m_oldHook)(const char*, int);
    void (*m_oldHookWithFile)(const char*, const char*, int);
};

} // namespace

// libsensors' state is process-wide: the object that started it last owns it, and a second
// object's start makes the first forget its chips (whose names libsensors frees) instead of
// reading through freed memory.
LibsensorsKernelSensors* LibsensorsKernelSensors::s_owner = nullptr;

namespace {

struct FileCloser
{
    void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// sensors_init with an empty configuration: the detected chips with their drivers' own
// labels. An empty stream, not NULL, which would read the system configuration again.
int StartWithoutConfiguration()
{
    char blank[] = "\n";
    FilePtr empty(fmemopen(blank, 1, "r"));
    return empty ? sensors_init(empty.get()) : -SENSORS_ERR_PARSE;
}

std::string ResolvedPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : std::string();
}

std::string LastComponent(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> DirectoryNames(const std::string& directory)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            names.emplace_back(entry->d_name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool Exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

bool IsDirectory(const std::string& path)
{
    struct stat facts = {};
    return !path.empty() && stat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

std::string ParentName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : LastComponent(path.substr(0, slash));
}

struct InputKindOf
{
    KernelInputKind Kind;
    sensors_subfeature_type Subfeature;
    const char* Prefix;
};

std::optional<InputKindOf> KindOf(sensors_feature_type type)
{
    switch (type) {
    case SENSORS_FEATURE_TEMP:
        return InputKindOf{KernelInputKind::Temperature, SENSORS_SUBFEATURE_TEMP_INPUT, "temp"};
    case SENSORS_FEATURE_IN:
        return InputKindOf{KernelInputKind::Voltage, SENSORS_SUBFEATURE_IN_INPUT, "in"};
    case SENSORS_FEATURE_FAN:
        return InputKindOf{KernelInputKind::Fan, SENSORS_SUBFEATURE_FAN_INPUT, "fan"};
    default:
        return std::nullopt;
    }
}

// A drive monitor's device (a SCSI device such as drivetemp's) has its disk under block/.
std::optional<int> AtaDriveOf(const std::string& deviceDirectory)
{
    for (const std::string& name : DirectoryNames(deviceDirectory + "/block")) {
        if (std::optional<int> drive = AtaDriveOfBlockName(name)) {
            return drive;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ReadSensorsConfiguration(const std::string& path, std::string& error)
{
    // Non-blocking: a FIFO opens at once instead of waiting for a writer, and is refused below.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    struct stat facts = {};
    std::optional<std::string> text;
    if (fstat(fd, &facts) != 0) {
        error = std::strerror(errno);
    } else if (!S_ISREG(facts.st_mode)) {
        error = S_ISDIR(facts.st_mode) ? "a directory, not a file" : "not a regular file";
    } else if (facts.st_size > static_cast<off_t>(kMaxSensorsConfigurationBytes)) {
        error = "larger than " + std::to_string(kMaxSensorsConfigurationBytes / 1024) + " KiB";
    } else {
        // One byte more than allowed tells a file that grew since fstat.
        std::string bytes(kMaxSensorsConfigurationBytes + 1, '\0');
        size_t done = 0;
        ssize_t count = 0;
        while (done < bytes.size() &&
               ((count = read(fd, bytes.data() + done, bytes.size() - done)) > 0 || (count < 0 && errno == EINTR))) {
            done += count > 0 ? static_cast<size_t>(count) : 0;
        }
        if (count < 0) {
            error = std::strerror(errno);
        } else if (done > kMaxSensorsConfigurationBytes) {
            error = "larger than " + std::to_string(kMaxSensorsConfigurationBytes / 1024) + " KiB";
        } else {
            bytes.resize(done);
            text = std::move(bytes);
        }
    }
    close(fd);
    return text;
}

std::string DeviceDirectoryOfChip(const std::string& attributeDirectory)
{
    const std::string resolved = ResolvedPath(attributeDirectory);
    if (resolved.empty()) {
        return {};
    }
    // A hwmon class device (…/hwmon/hwmonN, subsystem "hwmon") is not the device: that is
    // behind its "device" link, and a virtual one has none. Anything else is a device
    // directory holding the attributes itself (the "/device" a library path may end in
    // resolves to it as well); its "device" entry, where there is one, is no link to follow
    // (a PCI device's is its id).
    const bool classDevice =
        LastComponent(ResolvedPath(resolved + "/subsystem")) == "hwmon" || ParentName(resolved) == "hwmon";
    if (!classDevice) {
        return resolved;
    }
    const std::string device = ResolvedPath(resolved + "/device");
    return IsDirectory(device) ? device : std::string();
}

LibsensorsKernelSensors::LibsensorsKernelSensors(std::string configFile) : m_configFile(std::move(configFile)) {}

LibsensorsKernelSensors::~LibsensorsKernelSensors()
{
    Stop();
}

void LibsensorsKernelSensors::Note(std::string line)
{
    m_notes.push_back("Kernel sensors: " + std::move(line));
}

bool LibsensorsKernelSensors::Start()
{
    if (s_owner != nullptr && s_owner != this) {
        s_owner->Stop();
    }
    std::vector<std::string> parseErrors;
    int result;
    {
        ParseErrorCapture capture(parseErrors, m_configFile);
        if (m_configFile.empty()) {
            result = sensors_init(nullptr);
        } else {
            std::string error;
            std::optional<std::string> text = ReadSensorsConfiguration(m_configFile, error);
            if (text && text->empty()) {
                text = "\n"; // fmemopen takes no empty buffer
            }
            FilePtr config{text ? fmemopen(text->data(), text->size(), "r") : nullptr};
            if (config) {
                result = sensors_init(config.get());
            } else {
                parseErrors.push_back(m_configFile + ": " + (text ? std::strerror(errno) : error));
                result = -SENSORS_ERR_PARSE;
            }
        }
        // libsensors skips a statement it cannot parse and carries on, so the lines after it
        // may apply to the wrong chip: any error means no configuration at all.
        if (result == 0 && !parseErrors.empty()) {
            sensors_cleanup();
            result = -SENSORS_ERR_PARSE;
        }
        if (result != 0) {
            // sensors_init has cleaned up after itself; try once more without the user's file.
            const int failure = result;
            result = StartWithoutConfiguration();
            if (result == 0) {
                for (const std::string& error : parseErrors) {
                    Note("configuration error, " + error);
                }
                Note(std::string("the sensors configuration is not used (") + sensors_strerror(failure) + ")");
                parseErrors.clear();
            }
        }
    }
    if (result != 0) {
        for (const std::string& error : parseErrors) {
            Note("configuration error, " + error);
        }
        Note(std::string("libsensors could not start (") + sensors_strerror(result) + ")");
        return false;
    }
    m_started = true;
    s_owner = this;
    return true;
}

void LibsensorsKernelSensors::Stop()
{
    m_chips.clear();
    if (m_started) {
        sensors_cleanup();
        m_started = false;
        s_owner = nullptr;
    }
}

std::vector<KernelDevice> LibsensorsKernelSensors::ScanDevices()
{
    // Start anew: libsensors lists the chips it found when it started, and drivers come and go.
    Stop();
    if (!Start()) {
        return {};
    }
    int chipIndex = 0;
    while (const sensors_chip_name* name = sensors_get_detected_chips(nullptr, &chipIndex)) {
        Chip chip;
        chip.Name = name;
        chip.Directory = name->path != nullptr ? name->path : "";
        chip.Device.Name = name->prefix != nullptr ? name->prefix : "";
        const std::string deviceDirectory = DeviceDirectoryOfChip(chip.Directory);
        chip.Device.BusPath = BusPathOf(deviceDirectory);
        if (!deviceDirectory.empty()) {
            chip.Device.AtaDrive = AtaDriveOf(deviceDirectory);
            if (chip.Device.Name == "nvme") {
                chip.Device.NvmeController = NvmeControllerOfName(LastComponent(deviceDirectory));
            }
        }

        int featureIndex = 0;
        while (const sensors_feature* feature = sensors_get_features(name, &featureIndex)) {
            const std::optional<InputKindOf> kind = KindOf(feature->type);
            const sensors_subfeature* value = kind ? sensors_get_subfeature(name, feature, kind->Subfeature) : nullptr;
            if (value == nullptr || (value->flags & SENSORS_MODE_R) == 0 || feature->name == nullptr) {
                continue;
            }
            KernelInput input;
            input.Kind = kind->Kind;
            input.Number = NumberAfterPrefix(feature->name, kind->Prefix).value_or(0);
            char* label = sensors_get_label(name, feature);
            input.Label = label != nullptr ? label : feature->name;
            free(label);
            chip.Device.Inputs.push_back(input);
            chip.Inputs.push_back(Input{value->number, input.Label, false});
        }
        for (int pwm : HwmonPwmFiles(chip.Directory).List()) {
            chip.Device.Pwms.push_back(KernelPwm{pwm});
        }
        m_chips.push_back(std::move(chip));
    }

    // hwmonN changes between boots; name and bus path do not.
    std::stable_sort(m_chips.begin(), m_chips.end(), [](const Chip& a, const Chip& b) {
        return std::tie(a.Device.Name, a.Device.BusPath) < std::tie(b.Device.Name, b.Device.BusPath);
    });
    std::vector<KernelDevice> devices;
    devices.reserve(m_chips.size());
    for (const Chip& chip : m_chips) {
        devices.push_back(chip.Device);
    }
    return devices;
}

const LibsensorsKernelSensors::Chip* LibsensorsKernelSensors::FindChip(size_t device) const
{
    return device < m_chips.size() ? &m_chips[device] : nullptr;
}

std::optional<double> LibsensorsKernelSensors::ReadInput(size_t device, size_t input)
{
    if (device >= m_chips.size() || input >= m_chips[device].Inputs.size()) {
        return std::nullopt;
    }
    Chip& chip = m_chips[device];
    Input& entry = chip.Inputs[input];
    double value = 0.0;
    if (sensors_get_value(chip.Name, entry.Subfeature, &value) == 0 && std::isfinite(value)) {
        entry.FailureNoted = false;
        return value;
    }
    if (!Exists(chip.Directory)) {
        if (!chip.GoneNoted) {
            Note(chip.Device.Name + " (" + chip.Device.BusPath + ") is gone");
            chip.GoneNoted = true;
        }
    } else if (!entry.FailureNoted) {
        Note("reading " + chip.Device.Name + " \"" + entry.Label + "\" failed");
        entry.FailureNoted = true;
    }
    return std::nullopt;
}

std::optional<HwmonPwmFiles> LibsensorsKernelSensors::PwmFilesOf(size_t device, int pwm) const
{
    const Chip* chip = FindChip(device);
    if (chip == nullptr || chip->Directory.empty()) {
        return std::nullopt;
    }
    const bool listed = std::any_of(chip->Device.Pwms.begin(), chip->Device.Pwms.end(),
                                    [pwm](const KernelPwm& output) { return output.Number == pwm; });
    return listed ? std::optional<HwmonPwmFiles>(HwmonPwmFiles(chip->Directory)) : std::nullopt;
}

std::optional<int> LibsensorsKernelSensors::ReadPwmEnable(size_t device, int pwm)
{
    const std::optional<HwmonPwmFiles> files = PwmFilesOf(device, pwm);
    return files ? files->ReadEnable(pwm) : std::nullopt;
}

bool LibsensorsKernelSensors::WritePwmEnable(size_t device, int pwm, int mode)
{
    const std::optional<HwmonPwmFiles> files = PwmFilesOf(device, pwm);
    return files && files->WriteEnable(pwm, mode);
}

bool LibsensorsKernelSensors::WritePwm(size_t device, int pwm, int value)
{
    const std::optional<HwmonPwmFiles> files = PwmFilesOf(device, pwm);
    return files && files->WriteDuty(pwm, value);
}

std::optional<int> LibsensorsKernelSensors::ReadPwm(size_t device, int pwm)
{
    const std::optional<HwmonPwmFiles> files = PwmFilesOf(device, pwm);
    return files ? files->ReadDuty(pwm) : std::nullopt;
}

PwmAccess LibsensorsKernelSensors::CheckPwmAccess(size_t device, int pwm)
{
    const std::optional<HwmonPwmFiles> files = PwmFilesOf(device, pwm);
    return files ? files->Access(pwm) : PwmAccess::Missing;
}

std::vector<std::string> LibsensorsKernelSensors::TakeNotes()
{
    std::vector<std::string> notes;
    notes.swap(m_notes);
    return notes;
}

} // namespace calventa::platform::linux_backend
