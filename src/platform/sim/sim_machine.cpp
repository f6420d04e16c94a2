#include "platform/sim/sim_machine.h"

#include "platform/sim/recent_log.h"

#include <cstdio>
#include <set>

namespace calventa::sim {

namespace detail {

struct VirtualTime
{
    uint64_t elapsedMs = 0;
};

struct MutexRegistry
{
    explicit MutexRegistry(std::shared_ptr<VirtualTime> timeSource) : time(std::move(timeSource)) {}

    std::shared_ptr<VirtualTime> time;
    std::map<std::string, MutexStats> stats;
    std::set<std::string> heldElsewhere;
    std::vector<MutexEvent> events;
    bool creationFails = false;
};

} // namespace detail

namespace {

constexpr uint8_t kHostBridgeDevice = 0;
constexpr uint8_t kLpcDevice = 31;
constexpr uint8_t kLpcFunction = 0;
constexpr uint8_t kSmbusFunction = 3;
constexpr uint16_t kIntelVendor = 0x8086;
constexpr uint16_t kViaVendor = 0x1106;
constexpr uint8_t kPciCommand = 0x04; // bit 0: I/O space enable
constexpr uint8_t kSmbusBarOffset = 0x20;
constexpr uint8_t kSmbusHostConfig = 0x40; // bit 0: host enable
constexpr uint32_t kPciEnable = 0x80000000;

// Intel SMBus host I/O registers, offsets from the base.
constexpr uint16_t kHostStatus = 0;
constexpr uint16_t kHostControl = 2;
constexpr uint16_t kHostCommand = 3;
constexpr uint16_t kHostAddress = 4;
constexpr uint16_t kHostData0 = 5;
constexpr uint16_t kHostData1 = 6;
constexpr uint8_t kControlKill = 0x02;
constexpr uint8_t kControlStart = 0x40;
constexpr uint8_t kProtocolQuick = 0;
constexpr uint8_t kProtocolByteData = 2;
constexpr uint8_t kProtocolWordData = 3;

class SimNamedMutex final : public platform::NamedMutex
{
public:
    SimNamedMutex(std::shared_ptr<detail::MutexRegistry> registry, std::string name)
        : m_registry(std::move(registry)), m_name(std::move(name))
    {
    }

    bool Wait(uint32_t timeoutMs) override
    {
        MutexStats& stats = m_registry->stats[m_name];
        ++stats.waits;
        bool owned = m_registry->heldElsewhere.count(m_name) == 0;
        if (owned) {
            ++stats.depth;
        } else {
            // The other holder keeps it for the whole wait.
            ++stats.failedWaits;
            m_registry->time->elapsedMs += timeoutMs;
        }
        AppendKeepingRecent(m_registry->events, MutexEvent{m_name, MutexEvent::Kind::Wait, owned},
                            SimMachine::kKeptMutexEvents);
        return owned;
    }

    void Release() override
    {
        MutexStats& stats = m_registry->stats[m_name];
        ++stats.releases;
        bool owned = stats.depth > 0;
        if (owned) {
            --stats.depth;
        } else {
            ++stats.unownedReleases;
        }
        AppendKeepingRecent(m_registry->events, MutexEvent{m_name, MutexEvent::Kind::Release, owned},
                            SimMachine::kKeptMutexEvents);
    }

private:
    std::shared_ptr<detail::MutexRegistry> m_registry;
    std::string m_name;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back (Howard Hinnant's algorithms).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2 ? 1 : 0;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day)
{
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

platform::LocalDateTime AddSeconds(const platform::LocalDateTime& when, int64_t seconds)
{
    int64_t total = DaysFromCivil(when.year, when.month, when.day) * 86400 + when.hour * 3600 + when.minute * 60 +
                    when.second + seconds;
    int64_t days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
    int64_t secondOfDay = total - days * 86400;
    platform::LocalDateTime result;
    CivilFromDays(days, result.year, result.month, result.day);
    result.hour = static_cast<int>(secondOfDay / 3600);
    result.minute = static_cast<int>(secondOfDay / 60 % 60);
    result.second = static_cast<int>(secondOfDay % 60);
    result.utcOffsetSeconds = when.utcOffsetSeconds;
    return result;
}

} // namespace

SimMachine::SimMachine(BoardDescription board)
    : m_board(std::move(board)), m_time(std::make_shared<detail::VirtualTime>()),
      m_mutexes(std::make_shared<detail::MutexRegistry>(m_time))
{
    // A board without PCI details is a non-Intel chipset: no LPC bridge, no SMBus host.
    PciFunction hostBridge{kHostBridgeDevice, 0, {}};
    uint16_t hostVendor = m_board.pci ? m_board.pci->hostVendor : kViaVendor;
    uint16_t hostDevice = hostVendor == kIntelVendor ? 0x2570 : 0x3189;
    hostBridge.config[0] = static_cast<uint32_t>(hostDevice) << 16 | hostVendor;
    m_pci.push_back(hostBridge);
    if (m_board.pci) {
        const PciDescription& pci = *m_board.pci;
        PciFunction lpc{kLpcDevice, kLpcFunction, {}};
        lpc.config[0] = static_cast<uint32_t>(pci.lpcDevice) << 16 | kIntelVendor;
        m_pci.push_back(lpc);
        // The SMBus function of these hubs sits three identifiers above the LPC bridge.
        PciFunction smbus{kLpcDevice, kSmbusFunction, {}};
        smbus.config[0] = static_cast<uint32_t>(static_cast<uint16_t>(pci.lpcDevice + 3)) << 16 | kIntelVendor;
        smbus.config[kPciCommand / 4] = pci.smbusCommand;
        smbus.config[kSmbusBarOffset / 4] = pci.smbusBar;
        smbus.config[kSmbusHostConfig / 4] = pci.smbusHostcfg;
        m_pci.push_back(smbus);
    }
    if (m_board.isa) {
        m_isaChip = std::make_unique<SimChip>(*m_board.isa);
    }
    m_kernelBound.assign(m_board.kernel.size(), true);
    for (const auto& device : m_board.smbus) {
        m_smbusChips[device.address & 0x7F] = std::make_unique<SimChip>(device.chip);
    }
    SetNow({2004, 12, 8, 14, 5, 33});
}

SimMachine::~SimMachine() = default;

std::unique_ptr<SimMachine> LoadSimMachine(const std::string& path, std::string& error)
{
    auto board = LoadBoardFile(path, error);
    if (!board) {
        return nullptr;
    }
    return std::make_unique<SimMachine>(std::move(*board));
}

// ---- ports ----

bool SimMachine::RequestAccess()
{
    return m_board.portAccess;
}

std::string SimMachine::AccessMethod() const
{
    return m_board.family == platform::PlatformFamily::Windows9x ? "98" : "giveio";
}

uint8_t SimMachine::ReadByte(uint16_t port)
{
    ++m_counters.byteReads;
    // A machine that refuses port access shows nothing behind any port.
    if (!m_board.portAccess) {
        return 0xFF;
    }
    if (m_isaChip && port == kIsaIndexPort) {
        return m_isaIndex;
    }
    if (m_isaChip && port == kIsaDataPort) {
        return m_isaChip->Read(m_isaIndex);
    }
    if (IsSmbusHostPort(port)) {
        return SmbusHostRead(static_cast<uint16_t>(port - SmbusBase()));
    }
    return 0xFF;
}

void SimMachine::WriteByte(uint16_t port, uint8_t value)
{
    ++m_counters.byteWrites;
    if (!m_board.portAccess) {
        return;
    }
    if (m_isaChip && port == kIsaIndexPort) {
        m_isaIndex = value;
    } else if (m_isaChip && port == kIsaDataPort) {
        m_isaChip->Write(m_isaIndex, value);
    } else if (IsSmbusHostPort(port)) {
        SmbusHostWrite(static_cast<uint16_t>(port - SmbusBase()), value);
    }
}

uint32_t SimMachine::ReadDword(uint16_t port)
{
    ++m_counters.dwordReads;
    if (!m_board.portAccess) {
        return 0xFFFFFFFF;
    }
    if (port == kPciAddressPort) {
        return m_pciAddress;
    }
    if (port == kPciDataPort) {
        return PciConfigReadAtLatch();
    }
    return 0xFFFFFFFF;
}

void SimMachine::WriteDword(uint16_t port, uint32_t value)
{
    ++m_counters.dwordWrites;
    if (!m_board.portAccess) {
        return;
    }
    if (port == kPciAddressPort) {
        m_pciAddress = value;
    } else if (port == kPciDataPort) {
        PciConfigWriteAtLatch(value);
    }
}

// ---- PCI configuration space ----

SimMachine::PciFunction* SimMachine::FindPciFunction(uint8_t device, uint8_t function)
{
    for (auto& candidate : m_pci) {
        if (candidate.device == device && candidate.function == function) {
            return &candidate;
        }
    }
    return nullptr;
}

const SimMachine::PciFunction* SimMachine::FindPciFunction(uint8_t device, uint8_t function) const
{
    for (const auto& candidate : m_pci) {
        if (candidate.device == device && candidate.function == function) {
            return &candidate;
        }
    }
    return nullptr;
}

uint32_t SimMachine::PciConfig(uint8_t device, uint8_t function, uint8_t offset) const
{
    const PciFunction* target = FindPciFunction(device, function);
    return target ? target->config[(offset & 0xFC) / 4] : 0xFFFFFFFF;
}

uint32_t SimMachine::PciConfigReadAtLatch()
{
    if ((m_pciAddress & kPciEnable) == 0) {
        return 0xFFFFFFFF;
    }
    ++m_counters.pciConfigReads;
    uint8_t bus = static_cast<uint8_t>(m_pciAddress >> 16);
    if (bus != 0) {
        return 0xFFFFFFFF;
    }
    return PciConfig((m_pciAddress >> 11) & 0x1F, (m_pciAddress >> 8) & 0x07, m_pciAddress & 0xFC);
}

void SimMachine::PciConfigWriteAtLatch(uint32_t value)
{
    if ((m_pciAddress & kPciEnable) == 0) {
        return;
    }
    ++m_counters.pciConfigWrites;
    if (static_cast<uint8_t>(m_pciAddress >> 16) != 0) {
        return;
    }
    PciFunction* target = FindPciFunction((m_pciAddress >> 11) & 0x1F, (m_pciAddress >> 8) & 0x07);
    if (!target) {
        return;
    }
    uint8_t offset = m_pciAddress & 0xFC;
    uint32_t& slot = target->config[offset / 4];
    bool enableRegister = target->device == kLpcDevice && target->function == kSmbusFunction &&
                          (offset == kPciCommand || offset == kSmbusHostConfig);
    if (enableRegister && m_board.pci && !m_board.pci->enableBitsStick) {
        slot = (value & ~uint32_t{1}) | (slot & 1);
    } else {
        slot = value;
    }
}

// ---- Intel SMBus host ----

bool SimMachine::SmbusHostPresent() const
{
    return FindPciFunction(kLpcDevice, kSmbusFunction) != nullptr;
}

uint16_t SimMachine::SmbusBase() const
{
    return static_cast<uint16_t>(PciConfig(kLpcDevice, kSmbusFunction, kSmbusBarOffset) & 0xFFF8);
}

bool SimMachine::IsSmbusHostPort(uint16_t port) const
{
    if (!SmbusHostPresent()) {
        return false;
    }
    // The host decodes its ports only while both enable bits are set, as on the real hub.
    bool ioEnabled = (PciConfig(kLpcDevice, kSmbusFunction, kPciCommand) & 1) != 0;
    bool hostEnabled = (PciConfig(kLpcDevice, kSmbusFunction, kSmbusHostConfig) & 1) != 0;
    uint16_t base = SmbusBase();
    return ioEnabled && hostEnabled && port >= base && port - base <= kHostData1;
}

uint8_t SimMachine::SmbusHostRead(uint16_t offset)
{
    switch (offset) {
    case kHostStatus: {
        uint8_t status = m_hostStatus | m_stickyStatus;
        if (m_stayBusy) {
            status |= kSmbusStatusBusy;
        } else if (m_busyReads > 0) {
            --m_busyReads;
            status |= kSmbusStatusBusy;
        }
        return status;
    }
    case kHostControl:
        return m_hostControl;
    case kHostCommand:
        return m_hostCommand;
    case kHostAddress:
        return m_hostAddress;
    case kHostData0:
        return m_hostData0;
    case kHostData1:
        return m_hostData1;
    default:
        return 0x00;
    }
}

void SimMachine::SmbusHostWrite(uint16_t offset, uint8_t value)
{
    switch (offset) {
    case kHostStatus:
        m_hostStatus &= static_cast<uint8_t>(~value);
        break;
    case kHostControl:
        if (value & kControlKill) {
            ++m_counters.smbusAborts;
            if (!m_stayBusy && m_busyReads > 0) {
                m_busyReads = 0;
                m_hostStatus |= kSmbusStatusFailed;
            }
        }
        m_hostControl = value & static_cast<uint8_t>(~kControlStart);
        if (value & kControlStart) {
            ++m_counters.smbusTransactions;
            RunSmbusTransaction();
        }
        break;
    case kHostCommand:
        m_hostCommand = value;
        break;
    case kHostAddress:
        m_hostAddress = value;
        break;
    case kHostData0:
        m_hostData0 = value;
        break;
    case kHostData1:
        m_hostData1 = value;
        break;
    default:
        break;
    }
}

void SimMachine::RunSmbusTransaction()
{
    if (m_stayBusy) {
        return; // a hung host never finishes
    }
    if (m_hostControl & kControlKill) {
        m_hostStatus |= kSmbusStatusFailed;
        return;
    }
    if (m_failTransactions > 0) {
        --m_failTransactions;
        m_hostStatus |= m_failBits;
        return;
    }
    uint8_t address = m_hostAddress >> 1;
    bool read = (m_hostAddress & 1) != 0;
    SimChip* chip = SmbusChip(address);
    if (!chip) {
        m_hostStatus |= kSmbusStatusDeviceError;
        return;
    }
    switch ((m_hostControl >> 2) & 0x07) {
    case kProtocolQuick:
        break;
    case kProtocolByteData:
        if (read) {
            m_hostData0 = chip->Read(m_hostCommand);
        } else {
            chip->Write(m_hostCommand, m_hostData0);
        }
        break;
    case kProtocolWordData:
        if (read) {
            m_hostData0 = chip->Read(m_hostCommand);
            m_hostData1 = chip->Read(static_cast<uint8_t>(m_hostCommand + 1));
        } else {
            chip->Write(m_hostCommand, m_hostData0);
            chip->Write(static_cast<uint8_t>(m_hostCommand + 1), m_hostData1);
        }
        break;
    default:
        // The simulated devices speak only the protocols above.
        m_hostStatus |= kSmbusStatusDeviceError;
        return;
    }
    m_hostStatus |= kSmbusStatusDone;
}

void SimMachine::SetSmbusStayBusy(bool stayBusy)
{
    m_stayBusy = stayBusy;
}

void SimMachine::SetSmbusBusyForReads(uint32_t statusReads)
{
    m_busyReads = statusReads;
}

void SimMachine::FailNextSmbusTransactions(uint32_t transactions, uint8_t errorBits)
{
    m_failTransactions = transactions;
    m_failBits = errorBits;
}

void SimMachine::SetSmbusStickyStatus(uint8_t bits)
{
    m_stickyStatus = bits;
}

uint8_t SimMachine::SmbusControl() const
{
    return m_hostControl;
}

// ---- chips ----

SimChip* SimMachine::IsaChip()
{
    return m_isaChip.get();
}

SimChip* SimMachine::SmbusChip(uint8_t address)
{
    auto it = m_smbusChips.find(address);
    return it == m_smbusChips.end() ? nullptr : it->second.get();
}

SimChip& SimMachine::SetIsaChip(const ChipDescription& described)
{
    m_isaChip = std::make_unique<SimChip>(described);
    return *m_isaChip;
}

void SimMachine::RemoveIsaChip()
{
    m_isaChip.reset();
}

SimChip& SimMachine::AddSmbusChip(uint8_t address, const ChipDescription& described)
{
    auto& slot = m_smbusChips[address & 0x7F];
    slot = std::make_unique<SimChip>(described);
    return *slot;
}

void SimMachine::RemoveSmbusChip(uint8_t address)
{
    m_smbusChips.erase(address);
}

std::vector<uint8_t> SimMachine::SmbusAddresses() const
{
    std::vector<uint8_t> addresses;
    for (const auto& entry : m_smbusChips) {
        addresses.push_back(entry.first);
    }
    return addresses;
}

// ---- clock ----

platform::LocalDateTime SimMachine::Now()
{
    return AddSeconds(m_baseTime, static_cast<int64_t>((m_time->elapsedMs - m_baseElapsedMs) / 1000));
}

void SimMachine::SleepMs(uint32_t milliseconds)
{
    ++m_counters.sleepCalls;
    m_counters.sleptMs += milliseconds;
    m_time->elapsedMs += milliseconds;
}

void SimMachine::SetNow(const platform::LocalDateTime& when)
{
    m_baseTime = when;
    m_baseElapsedMs = m_time->elapsedMs;
}

void SimMachine::AdvanceMs(uint64_t milliseconds)
{
    m_time->elapsedMs += milliseconds;
}

uint64_t SimMachine::ElapsedMs() const
{
    return m_time->elapsedMs;
}

// ---- mutexes ----

std::unique_ptr<platform::NamedMutex> SimMachine::CreateNamedMutex(const std::string& name)
{
    if (m_mutexes->creationFails) {
        return nullptr;
    }
    ++m_mutexes->stats[name].creations;
    return std::make_unique<SimNamedMutex>(m_mutexes, name);
}

void SimMachine::SetMutexHeldElsewhere(const std::string& name, bool held)
{
    if (held) {
        m_mutexes->heldElsewhere.insert(name);
    } else {
        m_mutexes->heldElsewhere.erase(name);
    }
}

void SimMachine::SetMutexCreationFails(bool fails)
{
    m_mutexes->creationFails = fails;
}

MutexStats SimMachine::MutexStatsFor(const std::string& name) const
{
    auto it = m_mutexes->stats.find(name);
    return it == m_mutexes->stats.end() ? MutexStats{} : it->second;
}

const std::vector<MutexEvent>& SimMachine::MutexEvents() const
{
    return m_mutexes->events;
}

void SimMachine::ClearMutexEvents()
{
    m_mutexes->events.clear();
}

// ---- system facts ----

platform::PlatformFamily SimMachine::Family() const
{
    return m_board.family;
}

platform::ScreenSize SimMachine::PrimaryScreen() const
{
    return m_screen;
}

std::string SimMachine::FormatShortDate(const platform::LocalDateTime& when) const
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", when.day, when.month, when.year);
    return text;
}

std::string SimMachine::FormatLongTime(const platform::LocalDateTime& when) const
{
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", when.hour, when.minute, when.second);
    return text;
}

std::string SimMachine::DecimalSeparator() const
{
    return m_decimalSeparator;
}

std::string SimMachine::DefaultProgramDirectory() const
{
    return m_programDirectory;
}

std::string SimMachine::ExecutablePath() const
{
    return m_executablePath;
}

std::string SimMachine::JoinPath(const std::string& directory, const std::string& name) const
{
    if (directory.empty()) {
        return name;
    }
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

void SimMachine::ResetCounters()
{
    m_counters = SimCounters{};
}

} // namespace calventa::sim
