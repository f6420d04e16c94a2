#pragma once

#include <optional>
#include <string>

#include "core/monitor_state.h"
#include "disks/disk_notices.h"
#include "disks/disk_reader.h"
#include "disks/disk_service_client.h"
#include "platform/disk_platform.h"

namespace calventa::disks {

enum class DiskAccessMode {
    None,        // no mode chosen: no disk temperatures for this run
    Direct,      // the monitor opens the physical drives itself
    DiskService, // the disk service reads them and hands the table over in "sysdata"
    SmartVsd,    // Windows 9x: the S.M.A.R.T. driver's device for all drives
};

inline constexpr const char* kSmartVsdFileName = "smartvsd.vxd";
inline constexpr const char* kMessageCaption = "Calventa";

// S.M.A.R.T. disk temperatures of the monitor, filling state.Disks. The mode is chosen once
// by StartSmart; ScanDisks lists the disks, ReadDiskTemperatures runs on the disk timer,
// StopSmart closes every handle. Everything runs on the user-interface thread.
class SmartDisks
{
public:
    SmartDisks(core::MonitorState& state, platform::DiskPlatform& disks, DiskNotices& notices, UserMessages& messages);
    ~SmartDisks();
    SmartDisks(const SmartDisks&) = delete;
    SmartDisks& operator=(const SmartDisks&) = delete;

    // Chooses the access mode for the program directory (no trailing separator); true when
    // one was chosen.
    bool StartSmart(const std::string& programDirectory);
    // True when a disk was listed; in service mode, when the scan request was delivered.
    // Direct commands refused for lack of rights switch to the service, as for a user who
    // may not open the drives; so do NVMe controllers refused while ATA drives open, when
    // the service runs.
    bool ScanDisks();
    // True when a temperature was read in this pass; in service mode, when the request was
    // delivered. Slot corrections of HD0..HD7 are added, rounded up.
    bool ReadDiskTemperatures();
    // Closes the service, the 9x driver and every drive handle; no mode is left.
    void StopSmart();

    DiskAccessMode AccessMode() const { return m_mode; }
    const DiskReader& Reader() const { return m_reader; }
    // What the last look for the disk service found; none when it was never looked for.
    std::optional<ServiceDetection> LastServiceDetection() const { return m_lastDetection; }

private:
    bool StartNtFamily();
    bool StartSmartVsd();
    // Looks for the disk service and selects it when it runs; otherwise shows the notice.
    bool UseService();
    bool SwitchToServiceForNvme();
    bool ScanThroughService();
    bool ReadThroughService();
    void AddCorrection(size_t entry);

    core::MonitorState& m_state;
    platform::DiskPlatform& m_disks;
    DiskNotices& m_notices;
    UserMessages& m_messages;
    DiskReader m_reader;
    DiskServiceClient m_service;
    DiskAccessMode m_mode = DiskAccessMode::None;
    std::optional<ServiceDetection> m_lastDetection;
    std::string m_programDirectory;
};

} // namespace calventa::disks
