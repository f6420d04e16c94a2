#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/monitor_state.h"
#include "hardware/chip_registers.h"
#include "hardware/kernel_pwm_keeper.h"
#include "hardware/smbus_host.h"
#include "platform/bus_mutex.h"
#include "platform/kernel_sensors.h"

namespace calventa::hardware {

// The monitor's hardware side: port access, the two bus mutexes, the SMBus host, the
// chip search and the reading of every chip into the chip table of the monitor state.
// All register access of the readers flows through the current-chip state kept here.
class HardwareEngine : public ChipRegisters
{
public:
    explicit HardwareEngine(core::MonitorState& state);
    ~HardwareEngine() override;

    // Creates (or opens) "Access_ISABUS.HTP.Method" and "Access_SMBUS.HTP.Method"; a lock
    // that cannot be had is logged, and its bus is then never used.
    void CreateBusMutexes();
    void CloseBusMutexes();

    bool StartHardwareAccess();
    bool FindSmbusBase();

    // Fills the chip table and the default slot assignments; `updatePass` is run at the
    // end, as the search's first reading. True when a chip was recorded.
    bool SearchChips(const std::function<void()>& updatePass);
    bool SearchIsa(uint16_t base);
    bool SearchSmbusWinbondFamily();
    bool SearchLmSensors();
    bool IdentifyWinbond(uint8_t id, uint8_t bus, uint8_t address);
    // Lists the kernel's hwmon devices after the port search's chips (whether or not port
    // access was granted) and puts back pwm modes an earlier run left behind. True when a
    // device was recorded.
    bool SearchKernelChips();
    // Gives every sensor slot still without a chip a kernel input by rule.
    void AssignKernelDefaults();
    bool WinbondVendorSeen() const { return m_winbondVendorSeen; }
    // The back end's words on the last port access request (why it was refused, ranges a
    // kernel driver holds).
    std::vector<std::string> AccessNotes() const { return m_ports.AccessNotes(); }
    // Kernel devices the last kernel search recorded.
    size_t KernelChipCount() const { return m_kernelChips.size(); }
    // The kernel devices that report a drive's temperature (nvme, drivetemp), with the channel
    // of that temperature: the controller's "Composite", else the first.
    struct KernelDrive
    {
        uint8_t Chip = 0;
        bool Nvme = false;
        int Number = 0; // NVMe controller or physical drive
        uint8_t Channel = 1;
    };
    std::vector<KernelDrive> KernelDrives() const;

    // Reads every register of record `index` under its bus mutex. A chip whose mutex
    // cannot be had keeps its previous values.
    void ReadChip(uint8_t index);
    // Adds each slot's correction to the channel it names, for channels read this pass.
    void ApplyCorrections();

    // Fan speed control, once per pass after the corrections.
    void UpdateFanControl();
    void FanControlStep(int channel);
    // Writes the PWM output `output` of the chip named by a fan slot (21..26).
    void SetFanPwm(int fanSlot, uint8_t output, int32_t duty);
    // Puts every (chip, output) the program has driven back to full speed; kernel outputs
    // also get back the pwmN_enable mode they had.
    void ReleaseFanControl();
    const std::set<std::pair<uint8_t, uint8_t>>& DrivenOutputs() const { return m_drivenOutputs; }

    int32_t ReadChipRegister(uint8_t reg) override;
    void WriteChipRegister(uint8_t reg, uint8_t value) override;

    // Makes a chip current for register access without reading it (the PWM writer).
    void SelectChipBus(uint8_t bus, uint8_t address);
    // Takes the mutex of a bus (kBusIsa or anything else = SMBus); false when not owned.
    bool LockBus(uint8_t bus);
    void UnlockBus(uint8_t bus);

    SmbusHost& Smbus() { return m_smbus; }
    uint8_t CurrentChipIndex() const { return m_currentChipIndex; }
    uint8_t CurrentAddress() const { return m_currentAddress; }
    uint8_t CurrentBus() const { return m_currentBus; }

private:
    void Log(const std::string& message);
    // Back-end notes (ports a kernel driver owns) that have not been logged yet.
    void LogNewAccessNotes();
    void LogMissingLock(const char* name, const std::string& why);
    // New record at index ChipCount with its name, code and counts; nullptr when the
    // table is full.
    core::ChipRecord* AddChip(const char* name, uint16_t code, uint8_t bus, uint8_t address, uint8_t temps,
                              uint8_t volts, uint8_t fans, uint8_t pwms);
    void Assign(int slot, uint8_t chip, uint8_t channel);
    void AddAsusFamilyChip(const char* name, uint16_t code, uint8_t bus, uint8_t address);
    bool ProbeIsaVendor(uint8_t high, uint8_t low, const char* searchText, const char* foundText, const char* name,
                        uint16_t code);
    bool ProbeIte();
    bool ProbeIsaWinbondFamily();
    bool WritePwm(uint8_t chip, uint8_t output, int32_t duty);

    // A kernel device's record: which inputs its channels read and its pwm numbers.
    struct KernelChip
    {
        uint8_t Chip = 0;  // chip-table index
        size_t Device = 0; // index in the last scan
        std::string Name;
        std::string BusPath;
        std::vector<size_t> Temps, Volts, Fans; // input index per channel
        std::vector<int> Pwms;                  // pwm number per output
        std::vector<int> FanNumbers;            // N of fanN per fan channel
        std::optional<int> AtaDrive;
        std::optional<int> NvmeController;
    };
    bool AddKernelChip(size_t deviceIndex, const platform::KernelDevice& device);
    const KernelChip* KernelChipOf(uint8_t chip) const;
    void ReadKernelChip(uint8_t index, core::ChipRecord& record);
    std::string PwmProblemText(size_t device, int pwm);
    bool WriteKernelPwm(uint8_t chip, uint8_t output, int32_t duty);
    void ReleaseKernelFanControl();
    void UseKernelPwmStateFile();
    void LogKernelNotes();
    void LogOnce(const std::string& message);

    core::MonitorState& m_state;
    platform::PortIo& m_ports;
    SmbusHost m_smbus;
    std::unique_ptr<platform::NamedMutex> m_isaMutex;
    std::unique_ptr<platform::NamedMutex> m_smbusMutex;
    uint8_t m_currentChipIndex = 0;
    uint8_t m_currentAddress = 0;
    uint8_t m_currentBus = 0;
    bool m_winbondVendorSeen = false;
    size_t m_accessNotesLogged = 0;
    std::set<std::pair<uint8_t, uint8_t>> m_drivenOutputs; // (chip index, output)
    std::vector<KernelChip> m_kernelChips;
    KernelPwmKeeper m_kernelPwms;
    std::set<std::string> m_loggedOnce;
};

// Holds a bus mutex for one sequence of accesses; Owned() tells whether the bus may be used.
class BusLock
{
public:
    BusLock(HardwareEngine& engine, uint8_t bus) : m_engine(engine), m_bus(bus), m_owned(engine.LockBus(bus)) {}
    ~BusLock()
    {
        if (m_owned) {
            m_engine.UnlockBus(m_bus);
        }
    }
    BusLock(const BusLock&) = delete;
    BusLock& operator=(const BusLock&) = delete;
    bool Owned() const { return m_owned; }

private:
    HardwareEngine& m_engine;
    uint8_t m_bus;
    bool m_owned;
};

} // namespace calventa::hardware
