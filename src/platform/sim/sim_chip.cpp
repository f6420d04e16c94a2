#include "platform/sim/sim_chip.h"

#include "platform/sim/recent_log.h"

namespace calventa::sim {

namespace {

constexpr uint16_t kWinbondVendor = 0x5CA3;
constexpr uint16_t kAsusVendor = 0x12C3;
constexpr uint16_t kAsbVendor = 0x0694;
constexpr uint8_t kAsusChipId = 0x31;
constexpr uint8_t kIteVendorId = 0x5B; // ITE answers 0x12 here
constexpr uint8_t kLm87CompanyId = 0x3E;
constexpr uint8_t kLm87Revision = 0x3F;
constexpr uint8_t kLm90Manufacturer = 0xFE;
constexpr uint8_t kLm90Revision = 0xFF;

struct Identity
{
    uint16_t vendor = 0;
    uint8_t chipId = 0;
};

std::optional<Identity> WinbondIdentity(ChipModel model)
{
    switch (model) {
    case ChipModel::W83781D:
        return Identity{kWinbondVendor, 0x10};
    case ChipModel::W83782D:
        return Identity{kWinbondVendor, 0x30};
    case ChipModel::W83783S:
        return Identity{kWinbondVendor, 0x40};
    case ChipModel::W83627HF:
        return Identity{kWinbondVendor, 0x21};
    case ChipModel::W83627THF:
        return Identity{kWinbondVendor, 0x90};
    case ChipModel::W83627EHF:
        return Identity{kWinbondVendor, 0xA1};
    case ChipModel::W83637HF:
        return Identity{kWinbondVendor, 0x80};
    case ChipModel::W83697HF:
        return Identity{kWinbondVendor, 0x60};
    case ChipModel::As99127fRev1:
        return Identity{kAsusVendor, kAsusChipId};
    case ChipModel::As99127fRev2:
        return Identity{kWinbondVendor, kAsusChipId};
    case ChipModel::Asb100:
        return Identity{kAsbVendor, kAsusChipId};
    default:
        return std::nullopt;
    }
}

} // namespace

SimChip::SimChip(const ChipDescription& described)
    : m_model(described.model), m_winbondStyle(IsWinbondStyle(described.model) || described.vendor.has_value())
{
    auto& bank0 = m_banks[0];
    if (auto identity = WinbondIdentity(m_model)) {
        m_vendor = identity->vendor;
        bank0[kChipId] = identity->chipId;
    }
    switch (m_model) {
    case ChipModel::It8712f:
        bank0[kIteVendorId] = 0x12;
        bank0[kChipId] = 0x80;
        break;
    case ChipModel::It8705f:
        bank0[kIteVendorId] = 0x12;
        bank0[kChipId] = 0x90;
        break;
    case ChipModel::Lm87:
        bank0[kLm87CompanyId] = 0x02;
        bank0[kLm87Revision] = 0x06;
        break;
    case ChipModel::Lm90:
        bank0[kLm90Manufacturer] = 0x01;
        bank0[kLm90Revision] = 0x21;
        break;
    default:
        break;
    }

    for (const auto& [reg, value] : described.registers) {
        bank0[reg] = value;
    }
    for (const auto& [bank, registers] : described.banks) {
        for (const auto& [reg, value] : registers) {
            m_banks[bank % kBankCount][reg] = value;
        }
    }
    // The identity keys are the most specific statement of the board file.
    if (described.vendor) {
        m_vendor = *described.vendor;
    }
    if (described.chipId) {
        bank0[kChipId] = *described.chipId;
    }
}

uint8_t SimChip::CurrentBank() const
{
    return m_winbondStyle ? (m_banks[0][kBankSelect] & 0x07) : 0;
}

bool SimChip::IsBanked(uint8_t reg) const
{
    return m_winbondStyle && reg >= 0x50 && reg <= 0x5F;
}

uint8_t SimChip::Read(uint8_t reg) const
{
    if (m_winbondStyle && reg == kVendorId) {
        bool highHalf = (m_banks[0][kBankSelect] & 0x80) != 0;
        return static_cast<uint8_t>(highHalf ? m_vendor >> 8 : m_vendor & 0xFF);
    }
    return m_banks[IsBanked(reg) ? CurrentBank() : 0][reg];
}

void SimChip::Write(uint8_t reg, uint8_t value)
{
    uint8_t bank = IsBanked(reg) ? CurrentBank() : 0;
    m_banks[bank][reg] = value;
    if (m_winbondStyle && reg == kVendorId) {
        // A write to 0x4F lands in the half that 0x4E selects, so it stays readable.
        bool highHalf = (m_banks[0][kBankSelect] & 0x80) != 0;
        m_vendor = highHalf ? static_cast<uint16_t>((m_vendor & 0x00FF) | (value << 8))
                            : static_cast<uint16_t>((m_vendor & 0xFF00) | value);
    }
    AppendKeepingRecent(m_writeLog, RegisterWrite{reg, bank, value}, kKeptWrites);
    m_lastWrites[reg] = value;
}

uint8_t SimChip::Peek(uint8_t reg, uint8_t bank) const
{
    return bank < kBankCount ? m_banks[bank][reg] : 0;
}

void SimChip::Poke(uint8_t reg, uint8_t value, uint8_t bank)
{
    if (bank < kBankCount) {
        m_banks[bank][reg] = value;
    }
}

void SimChip::ClearWriteLog()
{
    m_writeLog.clear();
    m_lastWrites.clear();
}

} // namespace calventa::sim
