#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/disk_table.h"
#include "platform/smart_device.h"

namespace calventa::disks {

// Which entries of the table got a temperature in one read pass.
using ReadEntries = std::array<bool, core::kMaxDisks>;

// Sends the S.M.A.R.T. commands to the disks themselves: either one handle per physical
// drive (direct access), or the Windows 9x driver's one handle for all drives. Used by the
// monitor when it may open the drives and by the disk service, which always may.
class DiskReader
{
public:
    static constexpr size_t kMaxNotes = 32;

    explicit DiskReader(platform::SmartDevices& devices);
    ~DiskReader();
    DiskReader(const DiskReader&) = delete;
    DiskReader& operator=(const DiskReader&) = delete;

    // From now on every command goes through the 9x driver's handle.
    void UseSmartVsd(std::unique_ptr<platform::SmartDevice> smartVsd);
    bool UsesSmartVsd() const { return m_smartVsd != nullptr; }

    // Lists the disks that answer enable, identify and read data and report a temperature
    // (attribute 194, else 190, else the SCT status), from drive 0 up. Directly every such
    // drive is listed and its handle kept (handles of an earlier scan are closed first),
    // then the NVMe controllers from 0 up that answer Identify Controller and report a
    // composite temperature, while the table has room (a controller that refuses admin
    // commands for lack of rights with what the system publishes of it, and a note); through
    // the 9x driver only the first ATA drive. True when a disk was listed.
    bool ScanDisks(core::DiskTable& table);

    // Reads the temperature of every listed drive into its entry, from the source found by
    // the scan's order, without corrections. While
    // it runs DiskCount is the entry being read; afterwards it equals DriveCount again. A
    // drive that fails keeps its previous temperature.
    ReadEntries ReadDiskTemperatures(core::DiskTable& table);

    // Closes every handle, the 9x driver's included.
    void Close();

    // On (the default): an ATA drive that told its power mode at the scan is asked it before
    // each read and is not read while in standby (or when it cannot tell), so that the
    // monitor never spins it up; likewise an NVMe controller in a non-operational power
    // state. Its entry keeps the last value, marked in ReadState. Off: every listed drive is
    // read in every pass.
    void SetPowerCheck(bool on) { m_powerCheck = on; }
    // Log lines since the last call: a disk that went to sleep, woke up, or answered the
    // power-mode question with something else; each change once. Only the last kMaxNotes
    // are kept for a caller that seldom asks.
    std::vector<std::string> TakeNotes();

    // Whether a command of the last scan was refused because the system lets this process
    // open the drives but send them no raw command.
    bool RightsMissing() const { return m_rightsMissing; }

    // Whether the handle of physical drive n is open and kept.
    bool DriveOpen(int drive) const;
    bool NvmeControllerOpen(int controller) const;

    // Whether the last scan found an NVMe controller it was not allowed to open.
    bool NvmeAccessDenied() const { return m_nvmeAccessDenied; }

private:
    bool Send(platform::SmartDevice& device, const platform::SmartCommand& command, platform::SmartDataPage& page);
    bool ProbeDrive(platform::SmartDevice& device, uint8_t drive, core::DiskTable& table);
    bool ReadTemperature(platform::SmartDevice& device, uint8_t drive, core::DiskTable& table);
    // False when the drive must not be read now; the entry's state and a note say why.
    bool AwakeForReading(platform::SmartDevice& device, uint8_t drive, size_t entry, core::DiskTable& table);
    bool NvmeAwakeForReading(platform::NvmeDevice& device, size_t controller, size_t entry, core::DiskTable& table);
    void Note(std::string text);
    void ScanNvmeControllers(core::DiskTable& table);
    bool ProbeNvmeController(platform::NvmeDevice& device, uint8_t controller, core::DiskTable& table);
    bool ProbePublishedNvmeController(platform::NvmeDevice& device, uint8_t controller, core::DiskTable& table);
    bool ReadNvmeTemperature(platform::NvmeDevice& device, size_t controller, core::DiskTable& table);
    platform::SmartDevice* DeviceFor(uint8_t drive);
    void CloseDrives();

    platform::SmartDevices& m_devices;
    std::unique_ptr<platform::SmartDevice> m_smartVsd;
    std::array<std::unique_ptr<platform::SmartDevice>, platform::kMaxPhysicalDrives> m_drives;
    std::array<bool, platform::kMaxPhysicalDrives> m_sctStatus{}; // the drive's IDENTIFY offers SCT
    std::array<std::unique_ptr<platform::NvmeDevice>, platform::kMaxNvmeControllers> m_nvme;
    // Per controller, from the scan: which power states are non-operational, and whether
    // it answered Get Features of its power state.
    std::array<std::array<bool, 32>, platform::kMaxNvmeControllers> m_nvmeNonOperational{};
    std::array<bool, platform::kMaxNvmeControllers> m_nvmeReportsPowerState{};
    // Per controller: admin commands were refused, it is read from what the system publishes.
    std::array<bool, platform::kMaxNvmeControllers> m_nvmePublished{};
    std::array<bool, platform::kMaxPhysicalDrives> m_reportsPowerMode{}; // answered CHECK POWER MODE at the scan
    bool m_rightsMissing = false;
    bool m_nvmeAccessDenied = false;
    bool m_powerCheck = true;
    std::vector<std::string> m_notes;
};

} // namespace calventa::disks
