#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/bus_mutex.h"
#include "platform/clock.h"
#include "platform/port_io.h"
#include "platform/sim/board_file.h"
#include "platform/sim/sim_chip.h"
#include "platform/system_facts.h"

namespace calventa::sim {

inline constexpr uint16_t kIsaIndexPort = 0x295;
inline constexpr uint16_t kIsaDataPort = 0x296;
inline constexpr uint16_t kPciAddressPort = 0xCF8;
inline constexpr uint16_t kPciDataPort = 0xCFC;

// Intel SMBus host status bits (offset +0), cleared by writing 1s.
inline constexpr uint8_t kSmbusStatusBusy = 0x01;
inline constexpr uint8_t kSmbusStatusDone = 0x02;
inline constexpr uint8_t kSmbusStatusDeviceError = 0x04;
inline constexpr uint8_t kSmbusStatusCollision = 0x08;
inline constexpr uint8_t kSmbusStatusFailed = 0x10;

// Port and time counters for tests and benchmarks.
struct SimCounters
{
    uint64_t byteReads = 0;
    uint64_t byteWrites = 0;
    uint64_t dwordReads = 0;
    uint64_t dwordWrites = 0;
    uint64_t pciConfigReads = 0;    // data-port reads with the enable bit in the address latch
    uint64_t pciConfigWrites = 0;   // data-port writes likewise
    uint64_t smbusTransactions = 0; // every write of the start bit
    uint64_t smbusAborts = 0;       // every write of the kill bit
    uint64_t sleepCalls = 0;
    uint64_t sleptMs = 0; // virtual milliseconds spent in SleepMs
};

// Order of bus-mutex calls across all names, for checking that sequences are bracketed.
struct MutexEvent
{
    enum class Kind { Wait, Release };
    std::string name;
    Kind kind = Kind::Wait;
    bool owned = false; // Wait: ownership obtained; Release: the mutex was owned

    bool operator==(const MutexEvent&) const = default;
};

struct MutexStats
{
    uint64_t creations = 0;
    uint64_t waits = 0;
    uint64_t failedWaits = 0;
    uint64_t releases = 0;
    uint64_t unownedReleases = 0; // releases without a matching successful wait
    int depth = 0;                // successful waits not yet released
};

namespace detail {
struct VirtualTime;
struct MutexRegistry;
} // namespace detail

// The simulated machine of a board file: ports (PCI configuration mechanism #1, the ISA
// monitoring chip behind 0x295/0x296, the Intel SMBus host at the SMBus function's BAR),
// a virtual clock, in-process bus mutexes and fixed system facts. Every test builds its
// own; nothing is shared between machines. Named mutexes handed out may outlive it.
class SimMachine final : public platform::PortIo,
                         public platform::Clock,
                         public platform::MutexFactory,
                         public platform::SystemFacts,
                         public platform::KernelSensors
{
public:
    explicit SimMachine(BoardDescription board);
    ~SimMachine() override;
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    const BoardDescription& Board() const { return m_board; }

    // platform::PortIo
    bool RequestAccess() override;
    std::string AccessMethod() const override;
    uint8_t ReadByte(uint16_t port) override;
    void WriteByte(uint16_t port, uint8_t value) override;
    uint32_t ReadDword(uint16_t port) override;
    void WriteDword(uint16_t port, uint32_t value) override;

    // platform::Clock
    platform::LocalDateTime Now() override;
    void SleepMs(uint32_t milliseconds) override;

    // platform::MutexFactory
    std::unique_ptr<platform::NamedMutex> CreateNamedMutex(const std::string& name) override;

    // platform::SystemFacts
    platform::PlatformFamily Family() const override;
    platform::ScreenSize PrimaryScreen() const override;
    std::string FormatShortDate(const platform::LocalDateTime& when) const override;
    std::string FormatLongTime(const platform::LocalDateTime& when) const override;
    std::string DecimalSeparator() const override;
    std::string DefaultProgramDirectory() const override;
    std::string ExecutablePath() const override;
    std::string JoinPath(const std::string& directory, const std::string& name) const override;

    // platform::KernelSensors: the board's "kernel" devices. Scans list the bound ones.
    std::vector<platform::KernelDevice> ScanDevices() override;
    std::optional<double> ReadInput(size_t device, size_t input) override;
    std::optional<int> ReadPwmEnable(size_t device, int pwm) override;
    std::optional<int> ReadPwm(size_t device, int pwm) override;
    bool WritePwmEnable(size_t device, int pwm, int mode) override;
    bool WritePwm(size_t device, int pwm, int value) override;
    platform::PwmAccess CheckPwmAccess(size_t device, int pwm) override;
    std::vector<std::string> TakeNotes() override;

    // Kernel device knobs; `device` indexes the board's list.
    void SetKernelInput(size_t device, size_t input, std::optional<double> value); // none: reads fail
    void UnbindKernelDevice(size_t device); // the driver goes away: reads fail, scans omit it
    void AddKernelNote(std::string note);
    // pwmN of a board device as the kernel holds it; nullptr when there is none.
    const KernelPwmDescription* KernelPwm(size_t device, int pwm) const;
    uint64_t KernelInputReads() const { return m_kernelReads; }

    // Chips. nullptr when absent. Adding a chip at an address replaces the one there.
    SimChip* IsaChip();
    SimChip* SmbusChip(uint8_t address);
    SimChip& SetIsaChip(const ChipDescription& described);
    void RemoveIsaChip();
    SimChip& AddSmbusChip(uint8_t address, const ChipDescription& described);
    void RemoveSmbusChip(uint8_t address);
    std::vector<uint8_t> SmbusAddresses() const; // ascending

    // PCI configuration space of bus 0 as stored (no access counted). Absent: 0xFFFFFFFF.
    uint32_t PciConfig(uint8_t device, uint8_t function, uint8_t offset) const;
    bool SmbusHostPresent() const;
    // I/O base of the SMBus host (BAR & 0xFFF8); it answers only while the I/O enable
    // bit (offset 0x04) and the host enable bit (offset 0x40) are both set.
    uint16_t SmbusBase() const;

    // SMBus host fault knobs.
    void SetSmbusStayBusy(bool stayBusy);            // every status read shows busy; abort does not help
    void SetSmbusBusyForReads(uint32_t statusReads); // the next n status reads show busy
    // The next `transactions` transactions do not reach the device and end with `errorBits`.
    void FailNextSmbusTransactions(uint32_t transactions, uint8_t errorBits);
    void SetSmbusStickyStatus(uint8_t bits); // always shown in the status, write-back cannot clear them
    uint8_t SmbusControl() const;            // stored host control (start bit reads 0)

    // Clock knobs. Now() = the set time plus the virtual time elapsed since it was set.
    void SetNow(const platform::LocalDateTime& when);
    void AdvanceMs(uint64_t milliseconds); // virtual time passing without a sleep call
    uint64_t ElapsedMs() const;            // all virtual time since construction

    // Mutex knobs and records.
    void SetMutexHeldElsewhere(const std::string& name, bool held); // Wait fails after its timeout
    void SetMutexCreationFails(bool fails);                         // CreateNamedMutex returns nullptr
    MutexStats MutexStatsFor(const std::string& name) const;
    // At least the last kKeptMutexEvents calls, oldest first.
    static constexpr size_t kKeptMutexEvents = 16384;
    const std::vector<MutexEvent>& MutexEvents() const;
    void ClearMutexEvents();

    // System facts knobs.
    void SetPrimaryScreen(platform::ScreenSize size) { m_screen = size; }
    void SetDecimalSeparator(std::string separator) { m_decimalSeparator = std::move(separator); }
    void SetDefaultProgramDirectory(std::string directory) { m_programDirectory = std::move(directory); }
    void SetExecutablePath(std::string path) { m_executablePath = std::move(path); }

    const SimCounters& Counters() const { return m_counters; }
    void ResetCounters(); // port, SMBus and sleep counters; the virtual clock keeps running

private:
    struct PciFunction
    {
        uint8_t device = 0;
        uint8_t function = 0;
        std::array<uint32_t, 64> config{};
    };

    PciFunction* FindPciFunction(uint8_t device, uint8_t function);
    const PciFunction* FindPciFunction(uint8_t device, uint8_t function) const;
    uint32_t PciConfigReadAtLatch();
    void PciConfigWriteAtLatch(uint32_t value);
    bool IsSmbusHostPort(uint16_t port) const;
    uint8_t SmbusHostRead(uint16_t offset);
    void SmbusHostWrite(uint16_t offset, uint8_t value);
    void RunSmbusTransaction();

    struct KernelBinding
    {
        size_t boardIndex = 0; // into m_board.kernel
    };
    KernelPwmDescription* FindKernelPwm(size_t device, int pwm);

    BoardDescription m_board;
    SimCounters m_counters;
    std::vector<bool> m_kernelBound;         // per board device
    std::vector<KernelBinding> m_kernelScan; // the last scan's list
    std::vector<std::string> m_kernelNotes;
    uint64_t m_kernelReads = 0;
    std::shared_ptr<detail::VirtualTime> m_time;
    std::shared_ptr<detail::MutexRegistry> m_mutexes;

    std::vector<PciFunction> m_pci;
    uint32_t m_pciAddress = 0;

    std::unique_ptr<SimChip> m_isaChip;
    uint8_t m_isaIndex = 0;
    std::map<uint8_t, std::unique_ptr<SimChip>> m_smbusChips;

    // Intel SMBus host registers.
    uint8_t m_hostStatus = 0;
    uint8_t m_hostControl = 0;
    uint8_t m_hostCommand = 0;
    uint8_t m_hostAddress = 0;
    uint8_t m_hostData0 = 0;
    uint8_t m_hostData1 = 0;
    bool m_stayBusy = false;
    uint32_t m_busyReads = 0;
    uint32_t m_failTransactions = 0;
    uint8_t m_failBits = 0;
    uint8_t m_stickyStatus = 0;

    platform::LocalDateTime m_baseTime;
    uint64_t m_baseElapsedMs = 0;

    platform::ScreenSize m_screen;
    std::string m_decimalSeparator = ".";
    std::string m_programDirectory;
    std::string m_executablePath = "/usr/bin/calventa";
};

// Loads a board file and builds its machine; nullptr with a one-line error on refusal.
std::unique_ptr<SimMachine> LoadSimMachine(const std::string& path, std::string& error);

} // namespace calventa::sim
