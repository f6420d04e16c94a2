#include "platform/sim/sim_disks.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace calventa::sim {

namespace {

constexpr uint8_t kSmartCommand = 0xB0;
constexpr uint8_t kIdentifyCommand = 0xEC;
constexpr uint8_t kEnableFeature = 0xD8;
constexpr uint8_t kReadDataFeature = 0xD0;
constexpr uint8_t kReadLogFeature = 0xD5;
constexpr uint8_t kSctStatusLog = 0xE0;
constexpr size_t kSctTemperatureByte = 200;
constexpr uint16_t kSctStatusVersion = 3;
constexpr uint8_t kAirflowAttribute = 190;
constexpr uint8_t kDecoyAirflowRaw = 33;
constexpr uint8_t kNvmeIdentify = 0x06;
constexpr uint8_t kNvmeGetLogPage = 0x02;
constexpr uint8_t kNvmeGetFeatures = 0x0A;
constexpr size_t kNvmePowerStatesLessOne = 4;       // states 0..4
constexpr size_t kNvmeFirstNonOperationalState = 3; // 3 and 4, as on many client drives
constexpr uint32_t kNvmeIdentifySize = 4096;
constexpr uint32_t kNvmeHealthLogSize = 512;
constexpr int kKelvinAtZeroCelsius = 273;
constexpr uint8_t kTemperatureAttribute = 194;
constexpr size_t kAttributeTable = 2;
constexpr size_t kAttributeEntrySize = 12;
constexpr size_t kAttributeEntries = 42;
constexpr std::string_view kDriverFileName = "smartvsd.vxd";

// Attributes a drive lists besides the temperature; 190 is the airflow temperature, which
// the monitor must not take for attribute 194.
constexpr std::array<uint8_t, 14> kOtherAttributes = {1, 3, 4, 5, 7, 9, 10, 12, 190, 192, 193, 196, 197, 199};

enum class CommandKind { Enable, Identify, ReadData, ReadSctStatus, CheckPowerMode, Unknown };

constexpr uint8_t kCheckPowerModeCommand = 0xE5;

CommandKind Classify(const platform::SmartCommand& c, int drive)
{
    const auto& r = c.registers;
    const uint8_t driveHead = static_cast<uint8_t>(0xA0 | ((drive & 1) << 4));
    if (c.driveNumber == drive && r.driveHead == driveHead && r.command == kCheckPowerModeCommand &&
        c.controlCode == platform::kSmartSendDriveCommand && c.bufferSize == 0 &&
        c.outputLength == platform::kSmartStatusOutputLength && c.returnsRegisters && r.features == 0 &&
        r.sectorCount == 0 && r.sectorNumber == 0 && r.cylinderLow == 0 && r.cylinderHigh == 0) {
        return CommandKind::CheckPowerMode;
    }
    if (c.driveNumber != drive || r.sectorCount != 1 || r.driveHead != driveHead) {
        return CommandKind::Unknown;
    }
    // READ LOG carries the log address in the sector number; every other command 1.
    const bool readsSctLog = r.features == kReadLogFeature && r.sectorNumber == kSctStatusLog;
    if (r.sectorNumber != 1 && !readsSctLog) {
        return CommandKind::Unknown;
    }
    const bool smartSignature = r.cylinderLow == 0x4F && r.cylinderHigh == 0xC2;
    if (c.controlCode == platform::kSmartSendDriveCommand && c.bufferSize == 0 &&
        c.outputLength == platform::kSmartStatusOutputLength && r.command == kSmartCommand &&
        r.features == kEnableFeature && smartSignature) {
        return CommandKind::Enable;
    }
    if (c.controlCode != platform::kSmartRcvDriveData || c.bufferSize != platform::kSmartDataSize ||
        c.outputLength != platform::kSmartDataOutputLength) {
        return CommandKind::Unknown;
    }
    if (r.command == kIdentifyCommand && r.features == 0 && r.cylinderLow == 0 && r.cylinderHigh == 0) {
        return CommandKind::Identify;
    }
    if (r.command == kSmartCommand && r.features == kReadDataFeature && smartSignature) {
        return CommandKind::ReadData;
    }
    if (r.command == kSmartCommand && readsSctLog && smartSignature) {
        return CommandKind::ReadSctStatus;
    }
    return CommandKind::Unknown;
}

// ATA text: blank padded, two characters per little-endian word, the first in the high byte.
// A board's string is counted in characters; one with multi-byte characters may exceed the
// field's bytes and then keeps the whole characters that fit.
void PutAtaString(platform::SmartDataPage& page, size_t offset, size_t length, const std::string& text)
{
    size_t used = std::min(length, text.size());
    while (used < text.size() && used > 0 && (static_cast<unsigned char>(text[used]) & 0xC0) == 0x80) {
        --used; // text[used] continues the sequence before it
    }
    for (size_t i = 0; i < length; ++i) {
        const char c = i < used ? text[i] : ' ';
        page[offset + (i ^ 1)] = static_cast<uint8_t>(c);
    }
}

void PutWord(platform::SmartDataPage& page, size_t word, uint16_t value)
{
    page[2 * word] = static_cast<uint8_t>(value);
    page[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

} // namespace

struct SimDisks::State
{
    BoardDescription board;
    DiskRights rights = DiskRights::User;
    bool smartVsdLoaded = false;
    bool copyFails = false;
    bool loadsOnCopy = true;
    std::string systemDirectory = "/windows/system";
    std::vector<std::pair<std::string, std::string>> copies;
    std::deque<SimDiskCommand> commands;
    std::deque<SimNvmeCommand> nvmeCommands;
    SimDiskCounts counts;
    int nextHandle = 1;
    int openHandles = 0;
    int driveOpens = 0;

    DiskDescription* Find(int drive, DiskKind kind = DiskKind::Ata)
    {
        auto it = std::find_if(board.disks.begin(), board.disks.end(),
                               [drive, kind](const DiskDescription& d) { return d.drive == drive && d.kind == kind; });
        return it == board.disks.end() ? nullptr : &*it;
    }

    void RecordNvme(const SimNvmeCommand& command)
    {
        ++counts.sent;
        counts.succeeded += command.succeeded ? 1 : 0;
        if (nvmeCommands.size() >= kKeptCommands) {
            nvmeCommands.pop_front();
        }
        nvmeCommands.push_back(command);
    }

    // One admin command to controller n: Identify Controller and the SMART / Health log,
    // with exactly the values the monitor sends; nothing else.
    bool AnswerNvme(int controller, const platform::NvmeAdminCommand& command, platform::NvmeDataPage& data,
                    std::optional<uint32_t>& completion)
    {
        const DiskDescription* disk = Find(controller, DiskKind::Nvme);
        if (disk == nullptr || !disk->smart) {
            return false;
        }
        if (command.opcode == kNvmeGetFeatures && command.namespaceId == 0 && command.cdw10 == 2 &&
            command.cdw11 == 0 && command.dataLength == 0) {
            if (!disk->nvmePowerState) {
                return false;
            }
            completion = static_cast<uint32_t>(*disk->nvmePowerState);
            return true;
        }
        if (command.opcode == kNvmeIdentify && command.namespaceId == 0 && command.cdw10 == 1 && command.cdw11 == 0 &&
            command.dataLength == kNvmeIdentifySize) {
            data = SimDisks::NvmeIdentifyPage(*disk);
            return true;
        }
        if (command.opcode == kNvmeGetLogPage && command.namespaceId == 0xFFFFFFFF && command.cdw10 == 0x007F0002 &&
            command.cdw11 == 0 && command.dataLength == kNvmeHealthLogSize) {
            data = SimDisks::NvmeHealthLogPage(*disk);
            return true;
        }
        return false;
    }

    void Record(const SimDiskCommand& command, platform::SmartCommandStatus status)
    {
        ++counts.sent;
        counts.succeeded += status == platform::SmartCommandStatus::Done ? 1 : 0;
        counts.refusedForRights += status == platform::SmartCommandStatus::RightsMissing ? 1 : 0;
        if (commands.size() >= kKeptCommands) {
            commands.pop_front();
        }
        commands.push_back(command);
    }

    // One command to one drive; the page is filled only on success.
    bool Answer(int drive, const platform::SmartCommand& command, platform::SmartDataPage& data,
                std::optional<uint8_t>& sectorCount)
    {
        DiskDescription* disk = Find(drive);
        if (disk == nullptr) {
            return false;
        }
        const CommandKind kind = Classify(command, drive);
        if (kind == CommandKind::CheckPowerMode) {
            sectorCount = disk->powerMode;
            return disk->powerMode.has_value();
        }
        if ((kind == CommandKind::ReadData || kind == CommandKind::ReadSctStatus) && disk->smart &&
            disk->powerMode == 0x00) {
            disk->powerMode = 0xFF; // reading the media spins the drive up
        }
        switch (kind) {
        case CommandKind::Enable:
            return disk->smart;
        case CommandKind::Identify:
            data = SimDisks::IdentifyPage(*disk);
            return true;
        case CommandKind::ReadData:
            if (!disk->smart) {
                return false;
            }
            data = SimDisks::SmartDataPage(*disk);
            return true;
        case CommandKind::ReadSctStatus:
            if (!disk->smart || !disk->sctTemperature) {
                return false;
            }
            data = SimDisks::SctStatusPage(*disk);
            return true;
        case CommandKind::CheckPowerMode:
        case CommandKind::Unknown:
            break;
        }
        return false;
    }
};

namespace {

class SimSmartDevice final : public platform::SmartDevice
{
public:
    // drive < 0: the 9x driver, which takes the drive from each command.
    SimSmartDevice(std::shared_ptr<SimDisks::State> state, int drive)
        : m_state(std::move(state)), m_drive(drive), m_handle(m_state->nextHandle++)
    {
        ++m_state->openHandles;
    }
    ~SimSmartDevice() override { --m_state->openHandles; }

    platform::SmartCommandResult SendSmartCommand(const platform::SmartCommand& command,
                                                  platform::SmartDataPage& data) override
    {
        const bool smartVsd = m_drive < 0;
        // The 9x driver stops answering once it is unloaded.
        const int drive = smartVsd ? command.driveNumber : m_drive;
        platform::SmartCommandStatus status = platform::SmartCommandStatus::Failed;
        std::optional<uint8_t> sectorCount;
        if (!smartVsd && m_state->rights == DiskRights::User && m_state->board.diskAccess == DiskAccess::NoRawIo) {
            status = platform::SmartCommandStatus::RightsMissing;
        } else if ((!smartVsd || m_state->smartVsdLoaded) && m_state->Answer(drive, command, data, sectorCount)) {
            status = platform::SmartCommandStatus::Done;
        }
        m_state->Record({m_handle, drive, smartVsd, command, status == platform::SmartCommandStatus::Done}, status);
        platform::SmartCommandResult result(status);
        if (status == platform::SmartCommandStatus::Done && command.returnsRegisters) {
            result.sectorCount = sectorCount;
        }
        return result;
    }

private:
    std::shared_ptr<SimDisks::State> m_state;
    int m_drive;
    int m_handle;
};

class SimNvmeDevice final : public platform::NvmeDevice
{
public:
    SimNvmeDevice(std::shared_ptr<SimDisks::State> state, int controller)
        : m_state(std::move(state)), m_controller(controller), m_handle(m_state->nextHandle++)
    {
        ++m_state->openHandles;
    }
    ~SimNvmeDevice() override { --m_state->openHandles; }

    platform::SmartCommandResult SendAdminCommand(const platform::NvmeAdminCommand& command,
                                                  platform::NvmeDataPage& data) override
    {
        platform::NvmeDataPage page{};
        std::optional<uint32_t> completion;
        const bool done = m_state->AnswerNvme(m_controller, command, page, completion);
        platform::SmartCommandResult result(done);
        if (done) {
            data = page;
            result.completion = completion.value_or(0);
        }
        m_state->RecordNvme({m_handle, m_controller, command, done});
        return result;
    }

private:
    std::shared_ptr<SimDisks::State> m_state;
    int m_controller;
    int m_handle;
};

// NVMe text: ASCII, blank padded, in byte order.
void PutNvmeString(platform::NvmeDataPage& page, size_t offset, size_t length, const std::string& text)
{
    for (size_t i = 0; i < length; ++i) {
        page[offset + i] = static_cast<uint8_t>(i < text.size() ? text[i] : ' ');
    }
}

} // namespace

SimDisks::SimDisks(const BoardDescription& board, DiskRights rights) : m_state(std::make_shared<State>())
{
    m_state->board = board;
    m_state->rights = rights;
    m_state->smartVsdLoaded = board.family == platform::PlatformFamily::Windows9x;
}

SimDisks::~SimDisks() = default;

platform::DriveOpenResult SimDisks::OpenPhysicalDrive(int drive)
{
    platform::DriveOpenResult result;
    if (drive == 0 && m_state->rights == DiskRights::User) {
        if (m_state->board.diskAccess == DiskAccess::Denied) {
            result.error = platform::DriveOpenError::AccessDenied;
            return result;
        }
        if (m_state->board.diskAccess == DiskAccess::Absent) {
            result.error = platform::DriveOpenError::NotFound;
            return result;
        }
    }
    if (m_state->Find(drive) == nullptr) {
        result.error = platform::DriveOpenError::NotFound;
        return result;
    }
    ++m_state->driveOpens;
    result.device = std::make_unique<SimSmartDevice>(m_state, drive);
    return result;
}

platform::NvmeOpenResult SimDisks::OpenNvmeController(int controller)
{
    platform::NvmeOpenResult result;
    // A user who may not open the drives may not open the controllers either; nor may a
    // member of group disk, the controllers' device files being root's alone.
    if (m_state->rights == DiskRights::User &&
        (m_state->board.diskAccess == DiskAccess::Denied || m_state->board.diskAccess == DiskAccess::NoRawIo)) {
        result.error = platform::DriveOpenError::AccessDenied;
        return result;
    }
    if (m_state->Find(controller, DiskKind::Nvme) == nullptr) {
        result.error = platform::DriveOpenError::NotFound;
        return result;
    }
    result.device = std::make_unique<SimNvmeDevice>(m_state, controller);
    return result;
}

std::unique_ptr<platform::SmartDevice> SimDisks::OpenSmartVsd()
{
    if (!m_state->smartVsdLoaded) {
        return nullptr;
    }
    return std::make_unique<SimSmartDevice>(m_state, -1);
}

std::string SimDisks::SystemDirectory()
{
    return m_state->systemDirectory;
}

bool SimDisks::CopyFile(const std::string& source, const std::string& destination)
{
    if (m_state->copyFails) {
        return false;
    }
    m_state->copies.emplace_back(source, destination);
    const bool isDriver =
        destination.size() >= kDriverFileName.size() &&
        destination.compare(destination.size() - kDriverFileName.size(), kDriverFileName.size(), kDriverFileName) == 0;
    if (isDriver && m_state->loadsOnCopy) {
        m_state->smartVsdLoaded = true;
    }
    return true;
}

DiskDescription* SimDisks::Disk(int drive)
{
    return m_state->Find(drive);
}

DiskDescription* SimDisks::NvmeDisk(int controller)
{
    return m_state->Find(controller, DiskKind::Nvme);
}

const std::deque<SimNvmeCommand>& SimDisks::NvmeCommands() const
{
    return m_state->nvmeCommands;
}

void SimDisks::SetSmartVsdLoaded(bool loaded)
{
    m_state->smartVsdLoaded = loaded;
}

void SimDisks::SetDriverCopyFails(bool fails)
{
    m_state->copyFails = fails;
}

void SimDisks::SetDriverLoadsOnCopy(bool loads)
{
    m_state->loadsOnCopy = loads;
}

void SimDisks::SetSystemDirectory(std::string directory)
{
    m_state->systemDirectory = std::move(directory);
}

const std::vector<std::pair<std::string, std::string>>& SimDisks::Copies() const
{
    return m_state->copies;
}

const std::deque<SimDiskCommand>& SimDisks::Commands() const
{
    return m_state->commands;
}

const SimDiskCounts& SimDisks::Counts() const
{
    return m_state->counts;
}

void SimDisks::ClearCommands()
{
    m_state->commands.clear();
    m_state->nvmeCommands.clear();
    m_state->counts = {};
}

int SimDisks::OpenHandles() const
{
    return m_state->openHandles;
}

int SimDisks::DriveOpens() const
{
    return m_state->driveOpens;
}

platform::SmartDataPage SimDisks::IdentifyPage(const DiskDescription& disk)
{
    platform::SmartDataPage page{};
    PutWord(page, 0, 0x0040); // fixed disk
    PutAtaString(page, 20, 20, disk.serial);
    PutAtaString(page, 46, 8, disk.firmware);
    PutAtaString(page, 54, 40, disk.model);
    PutWord(page, 82, 0x0001); // S.M.A.R.T. supported
    PutWord(page, 85, 0x0001); // and enabled
    if (disk.sctTemperature) {
        PutWord(page, 206, 0x0021); // SCT command transport, data tables
    }
    return page;
}

platform::SmartDataPage SimDisks::SmartDataPage(const DiskDescription& disk)
{
    platform::SmartDataPage page{};
    PutWord(page, 0, 0x0010); // data structure revision
    size_t other = 0;
    for (size_t entry = 0; entry < kAttributeEntries; ++entry) {
        uint8_t* e = page.data() + kAttributeTable + entry * kAttributeEntrySize;
        if (static_cast<int>(entry) == disk.attributeEntry) {
            e[0] = kTemperatureAttribute;
            e[1] = 0x22;
            e[3] = 100;
            e[4] = 100;
            e[5] = static_cast<uint8_t>(disk.temperature & 0xFF);
            e[7] = 20; // lowest seen
            e[9] = 55; // highest seen
        } else if (other < kOtherAttributes.size()) {
            if (kOtherAttributes[other] == kAirflowAttribute && !disk.airflowTemperature && disk.attributeEntry < 0) {
                ++other; // the decoy 190 only beside a 194
            }
            if (other == kOtherAttributes.size()) {
                continue;
            }
            e[0] = kOtherAttributes[other++];
            e[1] = 0x0B;
            e[3] = 100;
            e[4] = 100;
            if (e[0] == kAirflowAttribute) {
                e[5] = static_cast<uint8_t>(disk.airflowTemperature.value_or(kDecoyAirflowRaw) & 0xFF);
            }
        }
    }
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < page.size(); ++i) {
        sum = static_cast<uint8_t>(sum + page[i]);
    }
    page.back() = static_cast<uint8_t>(0x100 - sum); // the page sums to zero
    return page;
}

platform::NvmeDataPage SimDisks::NvmeIdentifyPage(const DiskDescription& disk)
{
    platform::NvmeDataPage page{};
    page[0] = 0x86; // PCI vendor 0x8086
    page[1] = 0x80;
    PutNvmeString(page, 4, 20, disk.serial);
    PutNvmeString(page, 24, 40, disk.model);
    PutNvmeString(page, 64, 8, disk.firmware);
    page[263] = kNvmePowerStatesLessOne;
    for (size_t state = kNvmeFirstNonOperationalState; state <= kNvmePowerStatesLessOne; ++state) {
        page[2048 + 32 * state + 3] = 0x02; // non-operational
    }
    return page;
}

platform::NvmeDataPage SimDisks::NvmeHealthLogPage(const DiskDescription& disk)
{
    platform::NvmeDataPage page{};
    const auto kelvin = static_cast<uint16_t>(disk.temperature + kKelvinAtZeroCelsius);
    page[1] = static_cast<uint8_t>(kelvin);
    page[2] = static_cast<uint8_t>(kelvin >> 8);
    page[3] = 100; // available spare, percent
    page[4] = 10;  // its threshold
    return page;
}

platform::SmartDataPage SimDisks::SctStatusPage(const DiskDescription& disk)
{
    platform::SmartDataPage page{};
    PutWord(page, 0, kSctStatusVersion);
    PutWord(page, 1, 1); // SCT version
    page[kSctTemperatureByte] = static_cast<uint8_t>(disk.sctTemperature.value_or(0x80) & 0xFF);
    return page;
}

} // namespace calventa::sim
