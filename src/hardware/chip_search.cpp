// The search for monitoring chips: ISA at 0x295 first (Winbond family, then ITE), then
// the SMBus (Winbond family at 0x2D, LM87 scan, LM90, LM75 scan).
#include <cstdio>

#include "hardware/hardware_engine.h"
#include "hardware/port_access.h"

namespace calventa::hardware {

namespace {

inline constexpr uint8_t kBankSelect = 0x4E; // bit 7 picks the vendor byte shown in 0x4F
inline constexpr uint8_t kVendorByte = 0x4F;
inline constexpr uint8_t kChipId = 0x58;
inline constexpr uint8_t kVendorHigh = 0x80; // 0x4E value showing the vendor's high byte
inline constexpr uint8_t kVendorLow = 0x00;
inline constexpr uint8_t kIteVendor = 0x5B; // ITE: reads 0x12
inline constexpr uint8_t kWinbondFamilyAddress = 0x2D;
inline constexpr uint8_t kLm87CompanyId = 0x3E; // 2
inline constexpr uint8_t kLm87Revision = 0x3F;  // 6
inline constexpr uint8_t kLm90Address = 0x4C;
inline constexpr uint8_t kLm90Manufacturer = 0xFE; // 1
inline constexpr uint8_t kLm90Revision = 0xFF;     // 0x21
inline constexpr uint8_t kAs99127FId = 0x31;

std::string WithHex2(const char* text, unsigned value)
{
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%s%02X", text, value & 0xFF);
    return buffer;
}

} // namespace

core::ChipRecord* HardwareEngine::AddChip(const char* name, uint16_t code, uint8_t bus, uint8_t address, uint8_t temps,
                                          uint8_t volts, uint8_t fans, uint8_t pwms)
{
    if (code != core::chip_code::kKernelDevice && m_state.Chips.ChipCount >= core::kPortChipCapacity) {
        return nullptr; // the port search keeps its eight records; later chips of a scan are dropped
    }
    core::ChipRecord* record = m_state.Chips.At(m_state.Chips.ChipCount);
    if (record == nullptr) {
        return nullptr; // table full
    }
    *record = core::ChipRecord{};
    record->SetName(name);
    record->ChipCode = code;
    record->Bus = bus;
    record->Address = address;
    record->TempCount = temps;
    record->VoltCount = volts;
    record->FanCount = fans;
    record->PwmCount = pwms;
    ++m_state.Chips.ChipCount;
    return record;
}

void HardwareEngine::Assign(int slot, uint8_t chip, uint8_t channel)
{
    core::SensorSlot& s = m_state.Settings.Slots[static_cast<size_t>(slot)];
    s.Chip = chip;
    s.Channel = channel;
}

void HardwareEngine::AddAsusFamilyChip(const char* name, uint16_t code, uint8_t bus, uint8_t address)
{
    const uint8_t n = m_state.Chips.ChipCount;
    if (AddChip(name, code, bus, address, 1, 7, 3, 0) == nullptr) {
        return;
    }
    Assign(core::kSlotSys, n, 1);
    const int volts[] = {core::kSlotVCoreA, core::kSlotVCoreB,   core::kSlot3_3V,   core::kSlot5V,
                         core::kSlot12V,    core::kSlotMinus12V, core::kSlotMinus5V};
    for (uint8_t i = 0; i < 7; ++i) {
        Assign(volts[i], n, static_cast<uint8_t>(i + 1));
    }
    Assign(core::kSlotCpuFan, n, 1);
    Assign(core::kSlotSysFan, n, 2);
    Assign(core::kSlotAuxFan, n, 3);
}

bool HardwareEngine::SearchChips(const std::function<void()>& updatePass)
{
    Log("Search start...");
    core::SettingsBlock& settings = m_state.Settings;
    for (int slot = 0; slot < core::kSlotCount; ++slot) {
        if (core::KindOfSlot(slot) != core::SlotKind::Disk) {
            settings.Slots[static_cast<size_t>(slot)].Chip = core::kNoChip;
        }
    }
    for (core::FanControlRecord& record : settings.FanControl) {
        record.PwmRegister = core::kNoChip;
    }
    m_state.Chips.ChipCount = 0;
    m_winbondVendorSeen = false;

    bool isaFound = false;
    // A driver's ports read all ones without being touched: such values are no readings.
    const bool isaClaimed = m_ports.OwnedByKernelDriver(kIsaBase) || m_ports.OwnedByKernelDriver(kIsaBase + 1);
    if (isaClaimed) {
        LogNewAccessNotes();
        Log("ISA search skipped: its ports belong to a kernel driver");
    } else {
        BusLock lock(*this, core::kBusIsa);
        if (lock.Owned()) {
            isaFound = SearchIsa(kIsaBase);
        }
    }
    if (!isaFound && m_winbondVendorSeen &&
        AddChip("Winbond Unknown", core::chip_code::kWinbondUnknown, core::kBusIsa, 0, 3, 0, 2, 0) != nullptr) {
        Assign(core::kSlotCpu, 0, 2);
        Assign(core::kSlotSys, 0, 1);
        Assign(core::kSlotAux, 0, 3);
        Assign(core::kSlotCpuFan, 0, 1);
        Assign(core::kSlotSysFan, 0, 2);
        isaFound = true;
    }

    bool smbusFound = false;
    if (FindSmbusBase()) {
        BusLock lock(*this, core::kBusSmbus);
        if (lock.Owned()) {
            if (!isaFound) {
                smbusFound = SearchSmbusWinbondFamily();
            }
            smbusFound = SearchLmSensors() || smbusFound;
        }
        LogNewAccessNotes(); // an SMBus host owned by a kernel driver shows up only once used
    }
    const bool kernelFound = SearchKernelChips();
    AssignKernelDefaults();
    if (updatePass) {
        updatePass();
    }
    return isaFound || smbusFound || kernelFound;
}

bool HardwareEngine::SearchIsa(uint16_t base)
{
    m_currentBus = core::kBusIsa; // the probes go through the chip register routing
    (void)base;                   // one port pair exists: ReadChipRegister always uses 0x295
    return ProbeIsaWinbondFamily() || ProbeIte();
}

bool HardwareEngine::ProbeIsaWinbondFamily()
{
    Log("ISA search windbond...");
    m_winbondVendorSeen = false;
    const uint8_t savedBank = static_cast<uint8_t>(ReadChipRegister(kBankSelect));
    bool found = false;

    WriteChipRegister(kBankSelect, kVendorHigh);
    Log(WithHex2("ISA reg $4F(l) =", static_cast<unsigned>(ReadChipRegister(kVendorByte))));
    if (ReadChipRegister(kVendorByte) == 0x5C) {
        WriteChipRegister(kBankSelect, kVendorLow);
        Log(WithHex2("ISA reg $4F(h) =", static_cast<unsigned>(ReadChipRegister(kVendorByte))));
        if (ReadChipRegister(kVendorByte) == 0xA3) {
            m_winbondVendorSeen = true;
            const uint8_t id = static_cast<uint8_t>(ReadChipRegister(kChipId));
            Log(WithHex2("ISA winbond found id=", id));
            found = IdentifyWinbond(id, core::kBusIsa, 0);
        }
    }
    found = ProbeIsaVendor(0x12, 0xC3, "ISA search asus...", "ISA asus found id=", "AS99127F rev1",
                           core::chip_code::kAs99127FRev1) ||
            found;
    found = ProbeIsaVendor(0x06, 0x94, "ISA search asb...", "ISA asb found id=", "ASB100", core::chip_code::kAsb100) ||
            found;
    WriteChipRegister(kBankSelect, savedBank);
    return found;
}

bool HardwareEngine::ProbeIsaVendor(uint8_t high, uint8_t low, const char* searchText, const char* foundText,
                                    const char* name, uint16_t code)
{
    Log(searchText);
    WriteChipRegister(kBankSelect, kVendorHigh);
    if (ReadChipRegister(kVendorByte) != high) {
        return false;
    }
    WriteChipRegister(kBankSelect, kVendorLow);
    if (ReadChipRegister(kVendorByte) != low) {
        return false;
    }
    const int32_t id = ReadChipRegister(kChipId);
    Log(WithHex2(foundText, static_cast<unsigned>(id)));
    if (id != kAs99127FId) {
        return false;
    }
    // Only one ISA chip is ever recorded, always as record 0.
    m_state.Chips.ChipCount = 0;
    AddAsusFamilyChip(name, code, core::kBusIsa, 0);
    return true;
}

bool HardwareEngine::ProbeIte()
{
    if (ReadChipRegister(kIteVendor) != 0x12) {
        return false;
    }
    const int32_t id = ReadChipRegister(kChipId);
    if (id != 0x80 && id != 0x90) {
        return false;
    }
    m_state.Chips.ChipCount = 0;
    if (AddChip(id == 0x80 ? "ITE8712F" : "ITE8705", static_cast<uint16_t>(0x4000 | id), core::kBusIsa, 0, 3, 1, 3,
                0) == nullptr) {
        return false;
    }
    Assign(core::kSlotCpu, 0, 2);
    Assign(core::kSlotSys, 0, 1);
    Assign(core::kSlotAux, 0, 3);
    Assign(core::kSlotVBat, 0, 1);
    Assign(core::kSlotCpuFan, 0, 1);
    Assign(core::kSlotSysFan, 0, 2);
    Assign(core::kSlotAuxFan, 0, 3);
    return true;
}

bool HardwareEngine::SearchSmbusWinbondFamily()
{
    const uint8_t countAtEntry = m_state.Chips.ChipCount;
    SelectChipBus(core::kBusSmbus, kWinbondFamilyAddress);

    // A failed bank select would leave the vendor byte read from whatever bank was selected,
    // so each of the four transactions must succeed; the first that fails ends the probe.
    int32_t high = -1;
    int32_t low = -1;
    if (m_smbus.SmbusWriteByte(kWinbondFamilyAddress, kBankSelect, kVendorHigh) == 0) {
        high = ReadChipRegister(kVendorByte);
    }
    if (high != -1 && m_smbus.SmbusWriteByte(kWinbondFamilyAddress, kBankSelect, kVendorLow) == 0) {
        low = ReadChipRegister(kVendorByte);
    }
    const bool highKnown = high == 0x5C || high == 0x12 || high == 0x06;
    const bool lowKnown = low == 0xA3 || low == 0xC3 || low == 0x94;
    if (highKnown && lowKnown) {
        const int vendor = high << 8 | low;
        const int32_t id = ReadChipRegister(kChipId);
        if (vendor == 0x5CA3) {
            if (id == kAs99127FId) {
                AddAsusFamilyChip("AS99127F rev2", core::chip_code::kAs99127FRev2, core::kBusSmbus,
                                  kWinbondFamilyAddress);
            } else if (id != -1) {
                IdentifyWinbond(static_cast<uint8_t>(id), core::kBusSmbus, kWinbondFamilyAddress);
            }
        } else if (vendor == 0x12C3 && id == kAs99127FId) {
            AddAsusFamilyChip("AS99127F rev1", core::chip_code::kAs99127FRev1, core::kBusSmbus, kWinbondFamilyAddress);
        } else if (vendor == 0x0694 && id == kAs99127FId) {
            AddAsusFamilyChip("ASB100", core::chip_code::kAsb100, core::kBusSmbus, kWinbondFamilyAddress);
        }
    }

    if (m_state.Chips.ChipCount == countAtEntry) {
        for (uint8_t address = 0x20; address <= 0x2F; ++address) {
            SelectChipBus(core::kBusSmbus, address);
            if (ReadChipRegister(kLm87CompanyId) != 2 || ReadChipRegister(kLm87Revision) != 6) {
                continue;
            }
            const uint8_t n = m_state.Chips.ChipCount;
            if (AddChip("LM87", core::chip_code::kLm87, core::kBusSmbus, address, 2, 3, 2, 0) == nullptr) {
                continue;
            }
            Assign(core::kSlotCpu, n, 1);
            Assign(core::kSlotSys, n, 2);
            Assign(core::kSlot2_5V, n, 1);
            Assign(core::kSlot5V, n, 2);
            Assign(core::kSlot12V, n, 3);
            Assign(core::kSlotCpuFan, n, 1);
            Assign(core::kSlotSysFan, n, 2);
        }
    }
    return m_state.Chips.ChipCount != countAtEntry;
}

bool HardwareEngine::SearchLmSensors()
{
    const uint8_t countAtEntry = m_state.Chips.ChipCount;
    SelectChipBus(core::kBusSmbus, kLm90Address);
    if (ReadChipRegister(kLm90Manufacturer) == 1 && ReadChipRegister(kLm90Revision) == 0x21) {
        const uint8_t n = m_state.Chips.ChipCount;
        if (AddChip("LM90", core::chip_code::kLm90, core::kBusSmbus, kLm90Address, 2, 0, 0, 0) != nullptr) {
            Assign(core::kSlotCpu, n, 2);
            Assign(core::kSlotSys, n, 1);
        }
    }

    // An LM75 has no identification register: its configuration/limit registers read
    // back real values and the unused 0x10/0x11 read 0.
    for (uint8_t address = 0x48; address <= 0x4F; ++address) {
        SelectChipBus(core::kBusSmbus, address);
        bool match = true;
        for (const uint8_t reg : {0x00, 0x01, 0x02, 0x03}) {
            const int32_t value = ReadChipRegister(reg);
            if (value == -1 || value == 0xFF) {
                match = false;
                break;
            }
        }
        match = match && ReadChipRegister(0x10) == 0 && ReadChipRegister(0x11) == 0;
        if (!match) {
            continue;
        }
        const uint8_t n = m_state.Chips.ChipCount;
        if (AddChip("LM75", core::chip_code::kLm75, core::kBusSmbus, address, 1, 0, 0, 0) == nullptr) {
            continue;
        }
        const bool auxFree = m_state.Settings.Slots[core::kSlotAux].Chip == core::kNoChip;
        Assign(auxFree ? core::kSlotAux : core::kSlotCpu, n, 1);
    }
    return m_state.Chips.ChipCount != countAtEntry;
}

} // namespace calventa::hardware
