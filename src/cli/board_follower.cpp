#include "cli/board_follower.h"

#include <sys/stat.h>

#include <utility>

namespace calventa::app {

namespace {

void ApplyChanged(const std::map<uint8_t, uint8_t>& applied, const std::map<uint8_t, uint8_t>& edited,
                  sim::SimChip& chip, uint8_t bank)
{
    for (const auto& [reg, value] : edited) {
        const auto old = applied.find(reg);
        if (old == applied.end() || old->second != value) {
            chip.Poke(reg, value, bank);
        }
    }
}

} // namespace

void ApplyChangedRegisters(const sim::ChipDescription& applied, const sim::ChipDescription& edited, sim::SimChip& chip)
{
    ApplyChanged(applied.registers, edited.registers, chip, 0);
    static const std::map<uint8_t, uint8_t> kNone;
    for (const auto& [bank, registers] : edited.banks) {
        const auto old = applied.banks.find(bank);
        ApplyChanged(old == applied.banks.end() ? kNone : old->second, registers, chip, bank);
    }
}

BoardFollower::BoardFollower(std::string path, sim::SimMachine& machine)
    : m_path(std::move(path)), m_machine(machine), m_applied(machine.Board())
{
    struct stat st = {};
    if (stat(m_path.c_str(), &st) == 0) {
        m_modified = st.st_mtim;
        m_size = st.st_size;
    }
}

bool BoardFollower::Follow(std::string& error)
{
    struct stat st = {};
    if (stat(m_path.c_str(), &st) != 0) {
        return true; // moved away for an edit: the next look sees the new file
    }
    if (st.st_mtim.tv_sec == m_modified.tv_sec && st.st_mtim.tv_nsec == m_modified.tv_nsec && st.st_size == m_size) {
        return true;
    }
    m_modified = st.st_mtim;
    m_size = st.st_size;
    auto edited = sim::LoadBoardFile(m_path, error);
    if (!edited) {
        return false;
    }
    if (edited->isa && m_applied.isa && m_machine.IsaChip() != nullptr) {
        ApplyChangedRegisters(*m_applied.isa, *edited->isa, *m_machine.IsaChip());
    }
    for (const sim::SmbusDeviceDescription& device : edited->smbus) {
        sim::SimChip* chip = m_machine.SmbusChip(device.address);
        for (const sim::SmbusDeviceDescription& old : m_applied.smbus) {
            if (chip != nullptr && old.address == device.address) {
                ApplyChangedRegisters(old.chip, device.chip, *chip);
            }
        }
    }
    m_applied = std::move(*edited);
    return true;
}

} // namespace calventa::app
