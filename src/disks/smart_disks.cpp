#include "disks/smart_disks.h"

#include "core/numeric.h"
#include "core/program_store_access.h"

namespace calventa::disks {

SmartDisks::SmartDisks(core::MonitorState& state, platform::DiskPlatform& disks, DiskNotices& notices,
                       UserMessages& messages)
    : m_state(state), m_disks(disks), m_notices(notices), m_messages(messages), m_reader(disks.drives),
      m_service(disks.services, state.Platform().store, state.Platform().clock, state.Log())
{
}

SmartDisks::~SmartDisks()
{
    StopSmart();
}

bool SmartDisks::StartSmart(const std::string& programDirectory)
{
    StopSmart();
    m_lastDetection.reset();
    m_programDirectory = programDirectory;
    m_reader.SetPowerCheck(!core::WakeDisks(m_state.Platform().store));
    if (m_state.Platform().facts.Family() == platform::PlatformFamily::Windows9x) {
        return StartSmartVsd();
    }
    return StartNtFamily();
}

bool SmartDisks::StartNtFamily()
{
    platform::DriveOpenResult drive0 = m_disks.drives.OpenPhysicalDrive(0);
    if (drive0.device) {
        m_state.Log().WriteLog("Direct access allowed");
        drive0.device.reset();
        m_mode = DiskAccessMode::Direct;
        return true;
    }
    platform::DriveOpenError refusal = drive0.error;
    if (refusal == platform::DriveOpenError::NotFound) {
        // A machine with NVMe drives only: the first controller decides instead.
        platform::NvmeOpenResult controller0 = m_disks.drives.OpenNvmeController(0);
        if (controller0.device) {
            m_state.Log().WriteLog("Direct access allowed");
            m_mode = DiskAccessMode::Direct;
            return true;
        }
        refusal = controller0.error == platform::DriveOpenError::AccessDenied ? controller0.error : refusal;
    }
    m_state.Log().WriteLog("No direct access to disk");
    // Only a user without the right to open drives is helped by the service; a machine
    // without drive 0 (and without NVMe controller 0) has no disk temperatures at all.
    if (refusal != platform::DriveOpenError::AccessDenied) {
        return false;
    }
    if (UseService()) {
        return true;
    }
    // Without the service the NVMe controllers whose identity and temperature the system
    // publishes to every user are still listed.
    if (m_disks.drives.OpenNvmeController(0).device) {
        m_state.Log().WriteLog("No disk service: NVMe controllers read from what the system publishes");
        m_mode = DiskAccessMode::Direct;
        return true;
    }
    return false;
}

bool SmartDisks::UseService()
{
    m_lastDetection = m_service.Detect();
    switch (*m_lastDetection) {
    case ServiceDetection::Detected:
        m_mode = DiskAccessMode::DiskService;
        return true;
    case ServiceDetection::NoServiceManager:
        return false;
    case ServiceDetection::NoService:
    case ServiceDetection::StatusQueryFailed:
    case ServiceDetection::NotRunning:
        break;
    }
    if (m_state.Settings.ShowAdminNotice != 0) {
        m_notices.ShowAdminNotice();
    }
    return false;
}

bool SmartDisks::StartSmartVsd()
{
    std::unique_ptr<platform::SmartDevice> device = m_disks.drives.OpenSmartVsd();
    if (!device) {
        const platform::SystemFacts& facts = m_state.Platform().facts;
        const std::string source = facts.JoinPath(facts.JoinPath(m_programDirectory, "drv"), kSmartVsdFileName);
        const std::string destination =
            facts.JoinPath(facts.JoinPath(m_disks.drives.SystemDirectory(), "iosubsys"), kSmartVsdFileName);
        if (!m_disks.drives.CopyFile(source, destination)) {
            m_messages.ShowWarning(kMessageCaption, "Copy Error!\n\rSource : " + source + "\n\rDest : " + destination);
            return false;
        }
        device = m_disks.drives.OpenSmartVsd();
        if (!device) {
            return false;
        }
    }
    m_reader.UseSmartVsd(std::move(device));
    m_mode = DiskAccessMode::SmartVsd;
    return true;
}

bool SmartDisks::ScanDisks()
{
    core::DiskTable& table = m_state.Disks;
    table.DriveCount = 0;
    table.DiskCount = 0;
    table.Source.fill(core::DiskTemperatureSource::Unknown);
    switch (m_mode) {
    case DiskAccessMode::Direct: {
        const bool listed = m_reader.ScanDisks(table);
        if (!listed && m_reader.RightsMissing()) {
            // A member of group disk opens the drives, but the system passes raw commands
            // only to a process with the right to send them (CAP_SYS_RAWIO on Linux): such a
            // user is helped by the service like one who may not open the drives.
            m_state.Log().WriteLog(
                "Direct disk commands refused (no right to send raw commands): using the disk service");
            m_reader.Close();
            m_mode = DiskAccessMode::None;
            return UseService() && ScanThroughService();
        }
        if (m_reader.NvmeAccessDenied() && SwitchToServiceForNvme()) {
            return ScanThroughService();
        }
        return listed;
    }
    case DiskAccessMode::SmartVsd:
        return m_reader.ScanDisks(table);
    case DiskAccessMode::DiskService:
        return ScanThroughService();
    case DiskAccessMode::None:
        break;
    }
    return false;
}

bool SmartDisks::SwitchToServiceForNvme()
{
    // The ATA drives open, but the NVMe controllers are root's alone (their device files
    // usually are): the service, when it runs, lists all of them. Without it the drives
    // read directly stay listed, and no notice is shown.
    m_state.Log().WriteLog("NVMe controllers refused (access denied): asking the disk service");
    if (m_service.Detect() != ServiceDetection::Detected) {
        return false;
    }
    m_reader.Close();
    m_mode = DiskAccessMode::DiskService;
    core::DiskTable& table = m_state.Disks;
    table.DriveCount = 0;
    table.DiskCount = 0;
    table.Source.fill(core::DiskTemperatureSource::Unknown);
    return true;
}

bool SmartDisks::ScanThroughService()
{
    const ServiceRequestResult result = m_service.RequestScan(m_state.Disks);
    if (!result.delivered) {
        m_messages.ShowMessage(std::to_string(result.error));
        return false;
    }
    return true;
}

bool SmartDisks::ReadDiskTemperatures()
{
    core::DiskTable& table = m_state.Disks;
    if (table.DriveCount == 0) {
        return false;
    }
    switch (m_mode) {
    case DiskAccessMode::Direct:
    case DiskAccessMode::SmartVsd: {
        const ReadEntries read = m_reader.ReadDiskTemperatures(table);
        for (const std::string& note : m_reader.TakeNotes()) {
            m_state.Log().WriteLog(note);
        }
        bool any = false;
        for (size_t entry = 0; entry < read.size(); ++entry) {
            if (read[entry]) {
                AddCorrection(entry);
                any = true;
            }
        }
        return any;
    }
    case DiskAccessMode::DiskService:
        return ReadThroughService();
    case DiskAccessMode::None:
        break;
    }
    return false;
}

bool SmartDisks::ReadThroughService()
{
    const ServiceRequestResult result = m_service.RequestTemperatures(m_state.Disks);
    // The service hands over raw readings; only a table actually taken gets the corrections,
    // or the previous pass's values would be corrected twice.
    if (result.sysdata == SysdataRead::Taken) {
        for (size_t entry = 0; entry < core::kMaxDisks; ++entry) {
            AddCorrection(entry);
        }
    }
    return result.delivered;
}

void SmartDisks::AddCorrection(size_t entry)
{
    const core::SensorSlot& slot = m_state.Settings.Slots[core::kSlotHd0 + entry];
    int32_t& temperature = m_state.Disks.Temperature[entry];
    temperature = core::SaturatingAdd(temperature, core::CeilToInt32(slot.Correction));
}

void SmartDisks::StopSmart()
{
    m_service.Close();
    m_reader.Close();
    // Without its handles no mode works any more; a later scan must not fall back to
    // opening the drives directly.
    m_mode = DiskAccessMode::None;
}

} // namespace calventa::disks
