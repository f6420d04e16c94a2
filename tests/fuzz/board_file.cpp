// Board files: any text through the strict parser. A refusal is one line with no control
// character; an accepted board builds its simulated machine and drives, answers the ports
// the chip search reads and a scan of its kernel devices.
#include "platform/sim/board_file.h"
#include "fuzz_support.h"
#include "platform/sim/sim_disks.h"
#include "platform/sim/sim_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    std::string error;
    const std::optional<sim::BoardDescription> board = sim::ParseBoard(fuzz::Text({data, size}), error);
    if (!board) {
        FUZZ_CHECK(!error.empty());
        for (const char c : error) {
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        }
        return 0;
    }
    FUZZ_CHECK(board->disks.size() <= sim::kMaxBoardDisks);
    FUZZ_CHECK(board->kernel.size() <= sim::kMaxBoardKernelDevices);

    sim::SimMachine machine(*board);
    if (machine.RequestAccess()) {
        // The ISA chip's index/data ports, its banked registers, and the SMBus host's base.
        for (unsigned reg = 0; reg < 0x100; reg += 0x11) {
            machine.WriteByte(0x295, static_cast<uint8_t>(reg));
            (void)machine.ReadByte(0x296);
        }
        machine.WriteByte(0x295, 0x4E);
        machine.WriteByte(0x296, 0x81);
        machine.WriteByte(0x295, 0x50);
        (void)machine.ReadByte(0x296);
        machine.WriteDword(0xCF8, 0x8000FB20); // 00:1f.3 offset 0x20, the SMBus BAR
        (void)machine.ReadDword(0xCFC);
    }
    const std::vector<platform::KernelDevice> devices = machine.ScanDevices();
    for (size_t device = 0; device < devices.size(); ++device) {
        for (size_t input = 0; input < devices[device].Inputs.size(); ++input) {
            (void)machine.ReadInput(device, input);
        }
        for (const platform::KernelPwm& pwm : devices[device].Pwms) {
            (void)machine.ReadPwmEnable(device, pwm.Number);
            (void)machine.CheckPwmAccess(device, pwm.Number);
        }
    }
    (void)machine.TakeNotes();

    sim::SimDisks drives(*board, sim::DiskRights::Service);
    for (int drive = 0; drive < platform::kMaxPhysicalDrives; ++drive) {
        (void)drives.OpenPhysicalDrive(drive);
        (void)drives.OpenNvmeController(drive);
    }
    return 0;
}
