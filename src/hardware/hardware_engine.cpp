#include "hardware/hardware_engine.h"

#include <cstdio>

#include "core/numeric.h"
#include "hardware/chip_readers.h"
#include "hardware/port_access.h"

namespace calventa::hardware {

namespace {

// PCI configuration addresses of the Intel host bridge, LPC bridge and SMBus host.
inline constexpr uint32_t kHostBridgeId = PciAddress(0, 0, 0, 0x00);
inline constexpr uint32_t kLpcBridgeId = PciAddress(0, 31, 0, 0x00);
inline constexpr uint32_t kSmbusCommand = PciAddress(0, 31, 3, 0x04); // bit 0: I/O space enable
inline constexpr uint32_t kSmbusBar = PciAddress(0, 31, 3, 0x20);
inline constexpr uint32_t kSmbusHostConfig = PciAddress(0, 31, 3, 0x40); // bit 0: host enable
inline constexpr uint16_t kIntelVendor = 0x8086;

// ICH families whose LPC device identifier starts with these bytes carry the SMBus host
// at device 31 function 3.
bool IsKnownLpcFamily(uint32_t lpcId)
{
    const uint32_t high = lpcId >> 24;
    return high == 0x24 || high == 0x25 || high == 0x1A || high == 0x1B;
}

} // namespace

HardwareEngine::HardwareEngine(core::MonitorState& state)
    : m_state(state), m_ports(state.Platform().ports), m_smbus(state.Platform().ports, state.Platform().clock),
      m_kernelPwms(state.Platform().kernel, [this](const std::string& line) { LogOnce(line); })
{
}

HardwareEngine::~HardwareEngine() = default;

void HardwareEngine::Log(const std::string& message)
{
    m_state.Log().WriteLog(message);
}

void HardwareEngine::LogNewAccessNotes()
{
    const std::vector<std::string> notes = m_ports.AccessNotes();
    for (; m_accessNotesLogged < notes.size(); ++m_accessNotesLogged) {
        Log(notes[m_accessNotesLogged]);
    }
}

void HardwareEngine::CreateBusMutexes()
{
    // Without its lock a bus is never touched (LockBus fails): say why its chips are missing.
    platform::MutexFactory& mutexes = m_state.Platform().mutexes;
    m_isaMutex = mutexes.CreateNamedMutex(platform::kIsaMutexName);
    if (m_isaMutex == nullptr) {
        LogMissingLock(platform::kIsaMutexName, mutexes.CreationError());
    }
    m_smbusMutex = mutexes.CreateNamedMutex(platform::kSmbusMutexName);
    if (m_smbusMutex == nullptr) {
        LogMissingLock(platform::kSmbusMutexName, mutexes.CreationError());
    }
}

void HardwareEngine::LogMissingLock(const char* name, const std::string& why)
{
    Log(std::string("Bus lock ") + name + " unavailable" + (why.empty() ? "" : " (" + why + ")") + ": bus not used");
}

void HardwareEngine::CloseBusMutexes()
{
    m_smbusMutex.reset();
    m_isaMutex.reset();
}

bool HardwareEngine::LockBus(uint8_t bus)
{
    platform::NamedMutex* mutex = bus == core::kBusIsa ? m_isaMutex.get() : m_smbusMutex.get();
    if (mutex == nullptr) {
        return false; // said once, when the lock could not be had at all
    }
    if (mutex->Wait(platform::kBusMutexTimeoutMs)) {
        return true;
    }
    // Another program holds the bus: its search lines would stop here without a word.
    Log(std::string("Bus lock ") + (bus == core::kBusIsa ? platform::kIsaMutexName : platform::kSmbusMutexName) +
        " not obtained within " + std::to_string(platform::kBusMutexTimeoutMs) + " ms: bus not used");
    return false;
}

void HardwareEngine::UnlockBus(uint8_t bus)
{
    platform::NamedMutex* mutex = bus == core::kBusIsa ? m_isaMutex.get() : m_smbusMutex.get();
    if (mutex != nullptr) {
        mutex->Release();
    }
}

bool HardwareEngine::StartHardwareAccess()
{
    Log("Sensors I/O init");
    m_state.Chips.ChipCount = 0;
    if (m_state.Platform().facts.Family() != platform::PlatformFamily::NtFamily) {
        Log("Sensors I/O init successful (98)");
        return true;
    }
    const bool granted = m_ports.RequestAccess();
    LogNewAccessNotes();
    if (!granted) {
        Log("Sensors I/O init failed!");
        return false;
    }
    Log("Sensors I/O init successful (" + m_ports.AccessMethod() + ")");
    return true;
}

bool HardwareEngine::FindSmbusBase()
{
    Log("Get SMB base address..");
    if ((PciConfigRead(m_ports, kHostBridgeId) & 0xFFFF) != kIntelVendor) {
        return false;
    }
    Log("Intel chipset detected");
    if (!IsKnownLpcFamily(PciConfigRead(m_ports, kLpcBridgeId))) {
        return false;
    }
    // The BIOS may leave the host disabled; enable it, and give up if the bit won't stick.
    for (const uint32_t address : {kSmbusCommand, kSmbusHostConfig}) {
        const uint32_t value = PciConfigRead(m_ports, address);
        if ((value & 1) == 0) {
            PciConfigWrite(m_ports, address, value | 1);
            if ((PciConfigRead(m_ports, address) & 1) == 0) {
                return false;
            }
        }
    }
    const uint16_t base = static_cast<uint16_t>(PciConfigRead(m_ports, kSmbusBar) & 0xFFF8);
    if (base == 0xFFF8) {
        return false;
    }
    m_smbus.SetBasePort(base);
    char text[32];
    std::snprintf(text, sizeof text, "SMB address=%04X", static_cast<unsigned>(base));
    Log(text);
    // A kernel driver (i2c-i801) owns the host: its status would read busy for ever, so the
    // bus is empty at once instead of after every transaction's polling.
    if (m_ports.OwnedByKernelDriver(base)) {
        LogNewAccessNotes();
        return false;
    }
    return true;
}

void HardwareEngine::SelectChipBus(uint8_t bus, uint8_t address)
{
    m_currentBus = bus;
    m_currentAddress = address;
}

int32_t HardwareEngine::ReadChipRegister(uint8_t reg)
{
    if (m_currentBus == core::kBusIsa) {
        return IsaReadRegister(m_ports, kIsaBase, reg);
    }
    return m_smbus.SmbusReadByte(m_currentAddress, reg);
}

void HardwareEngine::WriteChipRegister(uint8_t reg, uint8_t value)
{
    if (m_currentBus == core::kBusIsa) {
        IsaWriteRegister(m_ports, kIsaBase, reg, value);
    } else {
        m_smbus.SmbusWriteByte(m_currentAddress, reg, value);
    }
}

void HardwareEngine::ReadChip(uint8_t index)
{
    core::ChipRecord* record = m_state.Chips.At(index);
    if (record == nullptr) {
        return;
    }
    m_currentChipIndex = index;
    record->ClearFilled();
    if (record->IsKernelDevice()) {
        ReadKernelChip(index, *record); // no ports and no bus mutex: the kernel's driver reads the chip
        return;
    }
    SelectChipBus(record->Bus, record->Address);
    BusLock lock(*this, m_currentBus);
    if (!lock.Owned()) {
        return; // another program holds the bus: keep the previous readings
    }
    ReadByChipCode(*this, record->ChipCode, *record);
}

void HardwareEngine::ApplyCorrections()
{
    core::SettingsBlock& settings = m_state.Settings;
    for (int slot = core::kSlotCpu; slot <= core::kSlotAux; ++slot) {
        const core::SensorSlot& s = settings.Slots[static_cast<size_t>(slot)];
        core::ChipRecord* record = s.Chip == core::kNoChip ? nullptr : m_state.Chips.At(s.Chip);
        if (record != nullptr && s.Channel >= 1 && s.Channel <= record->Temps.size() &&
            record->TempFilled[s.Channel - 1u]) {
            int32_t& value = record->Temps[s.Channel - 1u];
            value = core::SaturatingAdd(value, core::CeilToInt32(s.Correction));
        }
    }
    for (int slot = core::kSlotVCoreA; slot <= core::kSlotVBat; ++slot) {
        const core::SensorSlot& s = settings.Slots[static_cast<size_t>(slot)];
        core::ChipRecord* record = s.Chip == core::kNoChip ? nullptr : m_state.Chips.At(s.Chip);
        if (record != nullptr && s.Channel >= 1 && s.Channel <= record->Volts.size() &&
            record->VoltFilled[s.Channel - 1u]) {
            float& value = record->Volts[s.Channel - 1u];
            value = value + s.Correction; // single precision, as stored
        }
    }
}

} // namespace calventa::hardware
