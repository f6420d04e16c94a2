#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/sim/board_file.h"

namespace calventa::sim {

struct RegisterWrite
{
    uint8_t reg = 0;
    uint8_t bank = 0; // the bank the write landed in (0 for unbanked registers)
    uint8_t value = 0;

    bool operator==(const RegisterWrite&) const = default;
};

// One monitoring chip: 256 registers in each of 8 banks, as a bus (ISA or SMBus) sees it.
// Winbond-style chips bank 0x50..0x5F by bits 0..2 of 0x4E and answer 0x4F with a vendor
// half chosen by bit 7 of 0x4E; other chips have one flat register file.
class SimChip
{
public:
    static constexpr size_t kKeptWrites = 65536;
    static constexpr uint8_t kBankSelect = 0x4E; // bits 0..2 bank, bit 7 vendor half in 0x4F
    static constexpr uint8_t kVendorId = 0x4F;
    static constexpr uint8_t kChipId = 0x58; // bank 0
    static constexpr int kBankCount = 8;

    explicit SimChip(const ChipDescription& described);

    ChipModel Model() const { return m_model; }
    bool WinbondStyle() const { return m_winbondStyle; }
    uint16_t Vendor() const { return m_vendor; }
    uint8_t CurrentBank() const;

    // Bus access: what the chip answers and what a write does (writes are recorded).
    uint8_t Read(uint8_t reg) const;
    void Write(uint8_t reg, uint8_t value);

    // Test access to the stored register file: no banking rules, no recording; banks beyond 7 read 0.
    uint8_t Peek(uint8_t reg, uint8_t bank = 0) const;
    void Poke(uint8_t reg, uint8_t value, uint8_t bank = 0);

    // The bus writes in order (at least the last kKeptWrites), and register → last value
    // written (keyed by number only).
    const std::vector<RegisterWrite>& WriteLog() const { return m_writeLog; }
    const std::map<uint8_t, uint8_t>& LastWrites() const { return m_lastWrites; }
    void ClearWriteLog();

private:
    bool IsBanked(uint8_t reg) const;

    ChipModel m_model;
    bool m_winbondStyle;
    uint16_t m_vendor = 0;
    std::array<std::array<uint8_t, 256>, kBankCount> m_banks{};
    std::vector<RegisterWrite> m_writeLog;
    std::map<uint8_t, uint8_t> m_lastWrites;
};

} // namespace calventa::sim
