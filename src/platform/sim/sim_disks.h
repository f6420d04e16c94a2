#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/board_file.h"
#include "platform/smart_device.h"

namespace calventa::sim {

// Who opens the drives. The board's disk_access describes the monitor run by a user; the
// disk service runs as root and opens every drive the board has.
enum class DiskRights { User, Service };

// One command as a simulated drive received it.
struct SimDiskCommand
{
    int handle = 0; // which opened device it went through, counted from 1 per SimDisks
    int drive = 0;  // the drive that answered, or the command's drive number through SMARTVSD
    bool smartVsd = false;
    platform::SmartCommand command;
    bool succeeded = false;
};

// One admin command as a simulated NVMe controller received it.
struct SimNvmeCommand
{
    int handle = 0;
    int controller = 0;
    platform::NvmeAdminCommand command;
    bool succeeded = false;
};

// Every command sent since the start or the last ClearCommands, counted.
struct SimDiskCounts
{
    uint64_t sent = 0;
    uint64_t succeeded = 0;
    uint64_t refusedForRights = 0;
};

// The board's disks as S.M.A.R.T. devices. A drive answers exactly the commands the
// monitor sends (enable, identify, read data, and read log of the SCT status when it has
// an SCT temperature) with their register values and fails every other command; "smart":
// false fails the S.M.A.R.T. ones. NVMe disks are controllers that answer Identify
// Controller and the SMART / Health log; a user who may not open the drives, or may send
// them no raw command, may not open them either. On the 9x family the S.M.A.R.T. driver is
// loaded from the start; elsewhere only after SetSmartVsdLoaded or a copy of the driver
// file. With disk_access "no_rawio" a user opens the drives but every command is refused
// for lack of rights. Devices handed out may outlive this object. Only the last
// kKeptCommands commands are kept, so that a machine that runs for ever (the disk service
// on a board) does not grow; the counts cover all of them.
class SimDisks final : public platform::SmartDevices
{
public:
    static constexpr size_t kKeptCommands = 1024;

    explicit SimDisks(const BoardDescription& board, DiskRights rights = DiskRights::User);
    ~SimDisks() override;
    SimDisks(const SimDisks&) = delete;
    SimDisks& operator=(const SimDisks&) = delete;

    // platform::SmartDevices
    platform::DriveOpenResult OpenPhysicalDrive(int drive) override;
    platform::NvmeOpenResult OpenNvmeController(int controller) override;
    std::unique_ptr<platform::SmartDevice> OpenSmartVsd() override;
    std::string SystemDirectory() override;
    bool CopyFile(const std::string& source, const std::string& destination) override;

    // The board disk of physical drive n, changeable while the machine runs; nullptr when
    // the board has none there.
    DiskDescription* Disk(int drive);
    // The board's NVMe disk of controller n, likewise.
    DiskDescription* NvmeDisk(int controller);

    // 9x driver knobs. A successful copy of a file named smartvsd.vxd loads the driver
    // unless SetDriverLoadsOnCopy(false).
    void SetSmartVsdLoaded(bool loaded);
    void SetDriverCopyFails(bool fails);
    void SetDriverLoadsOnCopy(bool loads);
    void SetSystemDirectory(std::string directory);
    const std::vector<std::pair<std::string, std::string>>& Copies() const;

    // The last kKeptCommands commands, oldest first.
    const std::deque<SimDiskCommand>& Commands() const;
    const std::deque<SimNvmeCommand>& NvmeCommands() const; // likewise, to the NVMe controllers
    const SimDiskCounts& Counts() const;
    void ClearCommands();    // and the counts
    int OpenHandles() const; // devices handed out and not yet closed
    int DriveOpens() const;  // successful OpenPhysicalDrive calls

    // The pages a board disk answers with.
    static platform::SmartDataPage IdentifyPage(const DiskDescription& disk);
    static platform::SmartDataPage SmartDataPage(const DiskDescription& disk);
    static platform::SmartDataPage SctStatusPage(const DiskDescription& disk);
    static platform::NvmeDataPage NvmeIdentifyPage(const DiskDescription& disk);
    static platform::NvmeDataPage NvmeHealthLogPage(const DiskDescription& disk);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace calventa::sim
