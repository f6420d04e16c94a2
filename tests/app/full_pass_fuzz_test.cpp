// Random boards and random settings images through the whole monitor: start-up, passes,
// layout, tray, alarm list and fan release. The sanitizer build proves that nothing reads
// or writes outside the block, the chip table, the disk table or an existing chip.
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "app/monitor.h"
#include "core/fakes.h"
#include "platform/sim/sim_machine.h"

namespace calventa::app {
namespace {

constexpr int kRounds = 300;

sim::ChipDescription RandomChip(std::mt19937& rng, sim::ChipModel model)
{
    sim::ChipDescription chip;
    chip.model = model;
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 48; ++i) {
        const auto reg = static_cast<uint8_t>(byte(rng));
        if (reg != 0x4E && reg != 0x4F && reg != 0x58) { // keep the identity so the chip is found
            chip.registers[reg] = static_cast<uint8_t>(byte(rng));
        }
        chip.banks[static_cast<uint8_t>(1 + byte(rng) % 7)][static_cast<uint8_t>(0x50 + byte(rng) % 16)] =
            static_cast<uint8_t>(byte(rng));
    }
    return chip;
}

TEST(FullPassFuzz, RandomBoardsAndSettingsStayInBounds)
{
    std::mt19937 rng(20261209);
    const sim::ChipModel isaModels[] = {
        sim::ChipModel::Raw,      sim::ChipModel::W83781D,      sim::ChipModel::W83782D,      sim::ChipModel::W83783S,
        sim::ChipModel::W83627HF, sim::ChipModel::W83627THF,    sim::ChipModel::W83627EHF,    sim::ChipModel::W83637HF,
        sim::ChipModel::W83697HF, sim::ChipModel::As99127fRev1, sim::ChipModel::As99127fRev2, sim::ChipModel::Asb100,
        sim::ChipModel::It8712f};
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < kRounds; ++round) {
        sim::BoardDescription board;
        board.pci = sim::PciDescription{};
        if (byte(rng) % 4 != 0) {
            board.isa = RandomChip(rng, isaModels[static_cast<size_t>(byte(rng)) % std::size(isaModels)]);
        }
        const int smbusChips = byte(rng) % 6;
        std::set<uint8_t> used;
        for (int i = 0; i < smbusChips; ++i) {
            const uint8_t addresses[] = {0x2D, 0x20, 0x2A, 0x48, 0x4A, 0x4C, 0x4F};
            const sim::ChipModel models[] = {sim::ChipModel::W83627EHF, sim::ChipModel::Lm87, sim::ChipModel::Lm87,
                                             sim::ChipModel::Lm75,      sim::ChipModel::Lm75, sim::ChipModel::Lm90,
                                             sim::ChipModel::Lm75};
            const size_t pick = static_cast<size_t>(byte(rng)) % std::size(addresses);
            if (used.insert(addresses[pick]).second) {
                board.smbus.push_back({addresses[pick], RandomChip(rng, models[pick])});
            }
        }
        sim::SimMachine machine(board);
        core::fake::FakeProgramStore store;
        core::fake::FakeFileSystem files;
        std::vector<uint8_t> image(static_cast<size_t>(byte(rng) * 3));
        for (uint8_t& b : image) {
            b = static_cast<uint8_t>(byte(rng));
        }
        files.Files["/sim/settings.dat"] = image;
        platform::NoKernelSensors kernel;
        platform::Platform platform{machine, machine, machine, store, files, machine, kernel};

        Monitor monitor(platform);
        monitor.ApplyCommandWord(round % 7 == 0 ? CommandWord::Test : CommandWord::None);
        monitor.StartUp(std::string("/sim"));
        monitor.State().Disks.DiskCount = static_cast<uint8_t>(byte(rng));
        monitor.AlarmWindowCreated();
        for (int pass = 0; pass < 3; ++pass) {
            monitor.UpdatePass();
        }
        monitor.DiskPass();
        monitor.BuildMainWindow();
        monitor.ShowAlarmWindow();
        monitor.CloseQuery();
        monitor.Close();

        ASSERT_LE(monitor.State().Chips.ChipCount, core::kChipCapacity);
        EXPECT_LE(monitor.MainWindow().Layout().Rows.size(), static_cast<size_t>(core::kSlotCount));
        EXPECT_LE(monitor.AlarmWindow().Lines.size(), static_cast<size_t>(core::kSlotCount));
        // The only registers the monitor ever writes: bank select, the voltage-input enable,
        // and PWM outputs.
        const std::set<uint8_t> writable = {0x4E, 0x5D, 0x5A, 0x5B, 0x5E, 0x01, 0x03, 0x11, 0x61};
        std::vector<sim::SimChip*> chips;
        if (machine.IsaChip() != nullptr) {
            chips.push_back(machine.IsaChip());
        }
        for (const uint8_t address : machine.SmbusAddresses()) {
            chips.push_back(machine.SmbusChip(address));
        }
        for (sim::SimChip* chip : chips) {
            for (const auto& [reg, value] : chip->LastWrites()) {
                EXPECT_TRUE(writable.contains(reg)) << "round " << round << " register " << int(reg);
            }
        }
    }
}

} // namespace
} // namespace calventa::app
