#include "disks/disk_reader.h"

#include <algorithm>
#include <cstdio>

#include "disks/nvme_commands.h"
#include "disks/smart_commands.h"

namespace calventa::disks {

DiskReader::DiskReader(platform::SmartDevices& devices) : m_devices(devices) {}

DiskReader::~DiskReader()
{
    Close();
}

void DiskReader::UseSmartVsd(std::unique_ptr<platform::SmartDevice> smartVsd)
{
    CloseDrives();
    m_smartVsd = std::move(smartVsd);
}

bool DiskReader::ScanDisks(core::DiskTable& table)
{
    table.DriveCount = 0;
    table.DiskCount = 0;
    table.Source.fill(core::DiskTemperatureSource::Unknown);
    table.ReadState.fill(core::DiskReadState::Current);
    m_sctStatus.fill(false);
    m_reportsPowerMode.fill(false);
    m_rightsMissing = false;
    m_nvmeAccessDenied = false;
    if (m_smartVsd) {
        for (uint8_t drive = 0; drive < platform::kMaxPhysicalDrives; ++drive) {
            if (ProbeDrive(*m_smartVsd, drive, table)) {
                break;
            }
        }
        return table.DiskCount > 0;
    }

    CloseDrives();
    for (uint8_t drive = 0; drive < platform::kMaxPhysicalDrives; ++drive) {
        platform::DriveOpenResult opened = m_devices.OpenPhysicalDrive(drive);
        if (!opened.device) {
            continue;
        }
        // A drive that is not listed has its handle closed at once.
        if (ProbeDrive(*opened.device, drive, table)) {
            m_drives[drive] = std::move(opened.device);
        }
    }
    ScanNvmeControllers(table);
    return table.DiskCount > 0;
}

void DiskReader::ScanNvmeControllers(core::DiskTable& table)
{
    for (uint8_t controller = 0; controller < platform::kMaxNvmeControllers && table.DiskCount < core::kMaxDisks;
         ++controller) {
        platform::NvmeOpenResult opened = m_devices.OpenNvmeController(controller);
        // A controller this user may not open can still come with what the system publishes.
        m_nvmeAccessDenied = m_nvmeAccessDenied || opened.error == platform::DriveOpenError::AccessDenied;
        if (!opened.device) {
            continue;
        }
        if (ProbeNvmeController(*opened.device, controller, table)) {
            m_nvme[controller] = std::move(opened.device);
        }
    }
}

bool DiskReader::ProbeNvmeController(platform::NvmeDevice& device, uint8_t controller, core::DiskTable& table)
{
    const size_t entry = table.DiskCount;
    platform::NvmeDataPage page{};
    const platform::SmartCommandResult identified = device.SendAdminCommand(IdentifyControllerCommand(), page);
    m_nvmePublished[controller] = false;
    if (identified.status == platform::SmartCommandStatus::RightsMissing) {
        return ProbePublishedNvmeController(device, controller, table);
    }
    if (!identified) {
        return false;
    }
    m_nvmeNonOperational[controller] = NonOperationalPowerStates(page);
    m_nvmeReportsPowerState[controller] = false;
    if (m_powerCheck) {
        // A controller that cannot say its power state is read in every pass.
        platform::NvmeDataPage unused{};
        const platform::SmartCommandResult answer = device.SendAdminCommand(PowerStateCommand(), unused);
        m_nvmeReportsPowerState[controller] = answer && answer.completion.has_value();
    }
    IdentityStrings identity = ReadNvmeIdentity(page);
    table.Model[entry] = std::move(identity.model);
    table.Serial[entry] = std::move(identity.serial);
    table.Firmware[entry] = std::move(identity.firmware);
    if (!ReadNvmeTemperature(device, controller, table)) {
        return false;
    }
    table.DriveNumbers[table.DriveCount] = static_cast<uint8_t>(core::kNvmeDriveFlag | controller);
    ++table.DriveCount;
    ++table.DiskCount;
    return true;
}

bool DiskReader::ProbePublishedNvmeController(platform::NvmeDevice& device, uint8_t controller, core::DiskTable& table)
{
    // The system passes admin commands only to a privileged process (CAP_SYS_ADMIN on
    // Linux) but publishes the identity and the composite temperature to everyone; the
    // power state stays unknown, so the controller is read in every pass.
    const std::string name = "NVMe controller " + std::to_string(controller);
    const std::optional<platform::NvmePublishedIdentity> published = device.PublishedIdentity();
    if (!published) {
        m_rightsMissing = true;
        return false;
    }
    m_nvmePublished[controller] = true;
    m_nvmeNonOperational[controller] = {};
    m_nvmeReportsPowerState[controller] = false;
    const size_t entry = table.DiskCount;
    IdentityStrings identity = PublishedNvmeIdentity(*published);
    table.Model[entry] = std::move(identity.model);
    table.Serial[entry] = std::move(identity.serial);
    table.Firmware[entry] = std::move(identity.firmware);
    if (!ReadNvmeTemperature(device, controller, table)) {
        Note(name + ": admin commands refused and no published temperature: not listed");
        return false;
    }
    Note(name + ": admin commands refused, identity and temperature read from what the system publishes "
                "(power state unknown)");
    table.DriveNumbers[table.DriveCount] = static_cast<uint8_t>(core::kNvmeDriveFlag | controller);
    ++table.DriveCount;
    ++table.DiskCount;
    return true;
}

bool DiskReader::ReadNvmeTemperature(platform::NvmeDevice& device, size_t controller, core::DiskTable& table)
{
    if (m_nvmePublished[controller]) {
        const std::optional<int64_t> milli = device.PublishedMilliCelsius();
        const std::optional<int32_t> celsius = milli ? PublishedNvmeCelsius(*milli) : std::nullopt;
        if (!celsius) {
            return false;
        }
        table.Temperature[table.DiskCount] = *celsius;
        table.Source[table.DiskCount] = core::DiskTemperatureSource::NvmeComposite;
        return true;
    }
    platform::NvmeDataPage page{};
    const platform::SmartCommandResult result = device.SendAdminCommand(SmartHealthLogCommand(), page);
    m_rightsMissing = m_rightsMissing || result.status == platform::SmartCommandStatus::RightsMissing;
    if (!result) {
        return false;
    }
    const std::optional<int32_t> celsius = NvmeCompositeTemperature(page);
    if (!celsius) {
        return false;
    }
    table.Temperature[table.DiskCount] = *celsius;
    table.Source[table.DiskCount] = core::DiskTemperatureSource::NvmeComposite;
    return true;
}

bool DiskReader::Send(platform::SmartDevice& device, const platform::SmartCommand& command,
                      platform::SmartDataPage& page)
{
    const platform::SmartCommandResult result = device.SendSmartCommand(command, page);
    m_rightsMissing = m_rightsMissing || result.status == platform::SmartCommandStatus::RightsMissing;
    return static_cast<bool>(result);
}

bool DiskReader::ProbeDrive(platform::SmartDevice& device, uint8_t drive, core::DiskTable& table)
{
    const size_t entry = table.DiskCount;
    if (entry >= core::kMaxDisks) {
        return false;
    }
    platform::SmartDataPage page{};
    if (m_powerCheck) {
        // A drive (or a bridge) that cannot say its power mode is read in every pass as before.
        const platform::SmartCommandResult answer = device.SendSmartCommand(CheckPowerModeCommand(drive), page);
        m_reportsPowerMode[drive] = answer && PowerModeOf(answer.sectorCount) != PowerMode::Unknown;
    }
    if (!Send(device, EnableSmartCommand(drive), page) || !Send(device, IdentifyDeviceCommand(drive), page)) {
        return false;
    }
    // The strings go into the entry before the drive has passed every step; a drive that
    // fails later leaves them there for the next listed disk to overwrite.
    IdentityStrings identity = ReadIdentityStrings(page);
    table.Model[entry] = std::move(identity.model);
    table.Serial[entry] = std::move(identity.serial);
    table.Firmware[entry] = std::move(identity.firmware);
    m_sctStatus[drive] = SupportsSctStatus(page);
    if (!ReadTemperature(device, drive, table)) {
        return false;
    }
    table.DriveNumbers[table.DriveCount] = drive;
    ++table.DriveCount;
    ++table.DiskCount;
    return true;
}

bool DiskReader::ReadTemperature(platform::SmartDevice& device, uint8_t drive, core::DiskTable& table)
{
    platform::SmartDataPage page{};
    if (!Send(device, ReadSmartDataCommand(drive), page)) {
        return false;
    }
    // Attribute 194, else 190, else the SCT status: a drive with 194 is read exactly as
    // always, one without it is still listed.
    std::optional<AtaTemperature> temperature = FindAtaTemperature(page);
    if (!temperature && m_sctStatus[drive]) {
        if (!Send(device, ReadSctStatusCommand(drive), page)) {
            return false;
        }
        if (const auto celsius = SctStatusTemperature(page)) {
            temperature = AtaTemperature{*celsius, core::DiskTemperatureSource::SctStatus};
        }
    }
    if (!temperature) {
        return false;
    }
    table.Temperature[table.DiskCount] = temperature->celsius;
    table.Source[table.DiskCount] = temperature->source;
    return true;
}

ReadEntries DiskReader::ReadDiskTemperatures(core::DiskTable& table)
{
    ReadEntries read{};
    // The count may come from an image; entries beyond the table do not exist.
    const uint8_t count = std::min<uint8_t>(table.DriveCount, core::kMaxDisks);
    for (uint8_t entry = 0; entry < count; ++entry) {
        table.DiskCount = entry;
        const uint8_t drive = table.DriveNumbers[entry];
        if ((drive & core::kNvmeDriveFlag) != 0) {
            const size_t controller = drive & ~core::kNvmeDriveFlag;
            if (m_smartVsd || controller >= m_nvme.size() || !m_nvme[controller] ||
                !NvmeAwakeForReading(*m_nvme[controller], controller, entry, table)) {
                continue;
            }
            if (ReadNvmeTemperature(*m_nvme[controller], controller, table)) {
                read[entry] = true;
                if (table.ReadState[entry] != core::DiskReadState::Current) {
                    Note("Disk HD" + std::to_string(entry) + " awake: read again");
                }
                table.ReadState[entry] = core::DiskReadState::Current;
            }
            continue;
        }
        platform::SmartDevice* device = DeviceFor(drive);
        if (device == nullptr || !AwakeForReading(*device, drive, entry, table)) {
            continue;
        }
        if (ReadTemperature(*device, drive, table)) {
            read[entry] = true;
            if (table.ReadState[entry] != core::DiskReadState::Current) {
                Note("Disk HD" + std::to_string(entry) + " awake: read again");
            }
            table.ReadState[entry] = core::DiskReadState::Current;
        }
    }
    table.DiskCount = count;
    return read;
}

bool DiskReader::AwakeForReading(platform::SmartDevice& device, uint8_t drive, size_t entry, core::DiskTable& table)
{
    if (!m_powerCheck || !m_reportsPowerMode[drive]) {
        return true;
    }
    platform::SmartDataPage unused{};
    const platform::SmartCommandResult answer = device.SendSmartCommand(CheckPowerModeCommand(drive), unused);
    const PowerMode mode = answer ? PowerModeOf(answer.sectorCount) : PowerMode::Unknown;
    if (mode == PowerMode::Active) {
        return true;
    }
    const core::DiskReadState state =
        mode == PowerMode::Standby ? core::DiskReadState::Asleep : core::DiskReadState::PowerModeUnknown;
    if (table.ReadState[entry] != state) {
        const std::string disk = "Disk HD" + std::to_string(entry);
        if (state == core::DiskReadState::Asleep) {
            Note(disk + " asleep (standby): not read, last value kept");
        } else if (!answer || !answer.sectorCount) {
            Note(disk + " did not answer the power-mode check: not read, last value kept");
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", *answer.sectorCount);
            Note(disk + " answered power mode " + code + ", neither active nor standby: not read, last value kept");
        }
    }
    table.ReadState[entry] = state;
    return false;
}

bool DiskReader::NvmeAwakeForReading(platform::NvmeDevice& device, size_t controller, size_t entry,
                                     core::DiskTable& table)
{
    if (!m_powerCheck || !m_nvmeReportsPowerState[controller]) {
        return true;
    }
    platform::NvmeDataPage unused{};
    const platform::SmartCommandResult answer = device.SendAdminCommand(PowerStateCommand(), unused);
    const std::string disk = "Disk HD" + std::to_string(entry);
    if (!answer || !answer.completion) {
        if (table.ReadState[entry] != core::DiskReadState::PowerModeUnknown) {
            Note(disk + " did not answer the power-state question: not read, last value kept");
        }
        table.ReadState[entry] = core::DiskReadState::PowerModeUnknown;
        return false;
    }
    const uint8_t state = PowerStateOf(*answer.completion);
    if (!m_nvmeNonOperational[controller][state]) {
        return true;
    }
    if (table.ReadState[entry] != core::DiskReadState::Asleep) {
        Note(disk + " asleep (non-operational power state " + std::to_string(state) + "): not read, last value kept");
    }
    table.ReadState[entry] = core::DiskReadState::Asleep;
    return false;
}

void DiskReader::Note(std::string text)
{
    if (m_notes.size() >= kMaxNotes) {
        m_notes.erase(m_notes.begin());
    }
    m_notes.push_back(std::move(text));
}

std::vector<std::string> DiskReader::TakeNotes()
{
    std::vector<std::string> notes;
    notes.swap(m_notes);
    return notes;
}

platform::SmartDevice* DiskReader::DeviceFor(uint8_t drive)
{
    if (drive >= platform::kMaxPhysicalDrives) {
        return nullptr;
    }
    return m_smartVsd ? m_smartVsd.get() : m_drives[drive].get();
}

bool DiskReader::NvmeControllerOpen(int controller) const
{
    return controller >= 0 && controller < platform::kMaxNvmeControllers &&
           m_nvme[static_cast<size_t>(controller)] != nullptr;
}

bool DiskReader::DriveOpen(int drive) const
{
    return drive >= 0 && drive < platform::kMaxPhysicalDrives && m_drives[static_cast<size_t>(drive)] != nullptr;
}

void DiskReader::CloseDrives()
{
    for (auto& drive : m_drives) {
        drive.reset();
    }
    for (auto& controller : m_nvme) {
        controller.reset();
    }
}

void DiskReader::Close()
{
    CloseDrives();
    m_smartVsd.reset();
}

} // namespace calventa::disks
