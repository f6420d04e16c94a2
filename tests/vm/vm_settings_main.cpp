// calventa-vm-settings OUT: the settings.dat the real-kernel test gives calventa-cli for its
// fan-control runs. In the guest the kernel's devices are the only chips, in name order:
// lm63 (0), lm75 (1), nvme (2). CPU is the lm63's temp1, CPU fan its fan1, and fan-control
// channel 1 drives its pwm1 from CPU with a nominal 40 °C.
#include <cstdio>

#include "core/settings_block.h"

int main(int argc, char** argv)
{
    using namespace calventa::core;
    if (argc != 2) {
        std::fprintf(stderr, "usage: calventa-vm-settings OUT\n");
        return 2;
    }
    SettingsBlock block;
    SetDefaultSettings(block, {1024, 768}, kDefaultMainWindowWidth);
    block.SensorInterval = 3;
    block.DiskInterval = 120;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        SensorSlot& s = block.Slots[static_cast<size_t>(slot)];
        s.Chip = KindOfSlot(slot) == SlotKind::Disk ? static_cast<uint8_t>(slot - kSlotHd0) : kNoChip;
        s.Enabled = 0;
    }
    block.Slots[kSlotCpu] = {0, 1, 0, 0.0f, -10, 90, 1, 0, 0.0f};
    block.Slots[kSlotCpuFan] = {0, 1, 0, 0.0f, 0, 10000, 1, 0, 0.0f};
    block.FanControl[0] = {kSourceCpu, 40, 1, 0};
    const SettingsImage image = EncodeSettings(block);
    FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr || std::fwrite(image.data(), 1, image.size(), file) != image.size() || std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
