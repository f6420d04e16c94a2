// Writes the seed corpora of the fuzz targets from the project's own boards: what each board's
// drives answer, the disk table images its scan gives, the settings.dat a start-up on it
// leaves, framed as each target reads its input. Run by hand when a target's input changes:
//   calventa-fuzz-seeds BOARDS_DIR CORPUS_DIR
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/monitor.h"
#include "core/fakes.h"
#include "disks/disk_reader.h"
#include "disks/nvme_commands.h"
#include "disks/smart_commands.h"
#include "fuzz_support.h"
#include "hardware/kernel_chips.h"
#include "platform/linux/linux_disk_service.h"
#include "platform/sim/sim_disks.h"
#include "platform/sim/sim_machine.h"

namespace fs = std::filesystem;
using namespace calventa;

namespace {

using Seed = std::vector<uint8_t>;

Seed Of(std::string_view text)
{
    return {text.begin(), text.end()};
}

void Append(Seed& seed, std::span<const uint8_t> bytes)
{
    seed.insert(seed.end(), bytes.begin(), bytes.end());
}

void AppendMarker(Seed& seed)
{
    Append(seed, Of(fuzz::kPartMarker));
}

void AppendU32(Seed& seed, uint32_t value)
{
    const auto message = platform::linux_backend::EncodeServiceMessage(value);
    Append(seed, message);
}

class Writer
{
public:
    explicit Writer(fs::path root) : m_root(std::move(root)) {}
    void Write(const std::string& target, const std::string& name, const Seed& seed)
    {
        const fs::path directory = m_root / target;
        fs::create_directories(directory);
        std::ofstream(directory / ("seed-" + name), std::ios::binary)
            .write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
        ++m_count;
    }
    int Count() const { return m_count; }

private:
    fs::path m_root;
    int m_count = 0;
};

struct NoWindows final : disks::DiskNotices, disks::UserMessages
{
    void ShowAdminNotice() override {}
    void ShowMessage(const std::string&) override {}
    void ShowWarning(const std::string&, const std::string&) override {}
};

// settings.dat as a start-up on the board leaves the block (defaults with its chips assigned).
core::SettingsImage SettingsAfterStartUp(const sim::BoardDescription& board)
{
    sim::SimMachine machine(board);
    core::fake::FakeProgramStore store;
    core::fake::FakeFileSystem files;
    platform::Platform platform{machine, machine, machine, store, files, machine, machine};
    sim::SimDisks drives(board);
    fuzz::NoServices services;
    platform::DiskPlatform disks{drives, services};
    NoWindows windows;
    app::Monitor monitor(platform);
    monitor.AttachDisks(disks, windows, windows);
    monitor.StartUp(std::string("/sim"));
    return core::EncodeSettings(monitor.State().Settings);
}

void DriveSeeds(Writer& out, const std::string& name, const sim::BoardDescription& board)
{
    sim::SimDisks drives(board, sim::DiskRights::Service);
    for (int n = 0; n < platform::kMaxPhysicalDrives; ++n) {
        auto opened = drives.OpenPhysicalDrive(n);
        if (!opened.device) {
            continue;
        }
        Seed seed;
        for (const platform::SmartCommand& command : {disks::IdentifyDeviceCommand(static_cast<uint8_t>(n)),
                                                      disks::ReadSmartDataCommand(static_cast<uint8_t>(n)),
                                                      disks::ReadSctStatusCommand(static_cast<uint8_t>(n))}) {
            platform::SmartDataPage page{};
            opened.device->SendSmartCommand(command, page);
            Append(seed, page);
        }
        Append(seed, Seed{0x00, 0xFF, 0xFF, 0x00, 0xFF});
        out.Write("ata_smart", name + "-drive" + std::to_string(n), seed);
    }
    for (int n = 0; n < platform::kMaxNvmeControllers; ++n) {
        auto opened = drives.OpenNvmeController(n);
        if (!opened.device) {
            continue;
        }
        Seed seed;
        platform::NvmeDataPage identify{};
        platform::NvmeDataPage log{};
        opened.device->SendAdminCommand(disks::IdentifyControllerCommand(), identify);
        opened.device->SendAdminCommand(disks::SmartHealthLogCommand(), log);
        Append(seed, identify);
        Append(seed, std::span<const uint8_t>(log).first(disks::kNvmeSmartHealthLogSize));
        seed.push_back(0x00);
        for (int i = 0; i < 4; ++i) {
            AppendU32(seed, static_cast<uint32_t>(i % 2 == 0 ? 0 : 3));
        }
        const disks::IdentityStrings identity = disks::ReadNvmeIdentity(identify);
        const int celsius = disks::NvmeCompositeTemperature(log).value_or(40);
        for (const std::string& text : {identity.model + "  \n", identity.serial + "\n", identity.firmware + "\n",
                                        std::to_string(celsius * 1000)}) {
            AppendMarker(seed);
            Append(seed, Of(text));
        }
        out.Write("nvme_pages", name + "-nvme" + std::to_string(n), seed);
    }

    // The table a scan of the board's drives gives, as "sysdata" and as the service's reply.
    disks::DiskReader reader(drives);
    core::DiskTable table;
    if (!reader.ScanDisks(table)) {
        return;
    }
    for (const size_t length : {core::kDiskScanImageSize, core::kDiskTemperatureImageSize}) {
        const std::vector<uint8_t> image = core::EncodeDiskTable(table, length);
        out.Write("sysdata_image", name + "-" + std::to_string(length), image);
        Seed reply{4};
        AppendU32(reply, 0);
        const std::vector<uint8_t> message = platform::linux_backend::EncodeImageMessage(image);
        reply.push_back(static_cast<uint8_t>(message.size()));
        reply.push_back(static_cast<uint8_t>(message.size() >> 8));
        Append(reply, message);
        out.Write("service_client", name + "-reply-" + std::to_string(length), reply);
        // A service from before the image message: the status alone, the answer in "sysdata".
        Seed old{4};
        AppendU32(old, 0);
        Append(old, Seed{0, 0});
        Append(old, image);
        out.Write("service_client", name + "-sysdata-" + std::to_string(length), old);
    }
}

void SyntheticSeeds(Writer& out)
{
    // The daemon: scan, temperatures at once and after the coalescing second, a bad code,
    // short and long messages.
    Seed requests;
    for (const auto& [header, code] :
         std::initializer_list<std::pair<uint8_t, uint32_t>>{{0x04, platform::kDiskScanControl},
                                                             {0x04, platform::kDiskTemperatureControl},
                                                             {0x54, platform::kDiskTemperatureControl},
                                                             {0x0C, platform::kDiskScanControl},
                                                             {0x04, 236}}) {
        requests.push_back(header);
        AppendU32(requests, code);
    }
    Append(requests, Seed{0x03, 0xEA, 0x00, 0x00, 0x05, 0xEB, 0x00, 0x00, 0x00, 0x00, 0x00});
    out.Write("service_daemon", "requests", requests);
    Seed single{0x04};
    AppendU32(single, platform::kDiskScanControl);
    out.Write("service_daemon", "scan", single);

    Seed refused{4};
    AppendU32(refused, platform::kErrorAccessDenied);
    out.Write("service_client", "refused", refused);

    // Sense data: descriptor format with the ATA status return descriptor (count 0xFF, status
    // 0x50), and fixed format with the registers in the information field.
    Seed descriptor{0x02, 0x00, 0x00, 0x08, 0x00};
    Append(descriptor, Seed{0x72, 0x01, 0x00, 0x1D, 0x00, 0x00, 0x00, 0x0E, 0x09, 0x0C, 0x00, 0x00,
                            0x00, 0xFF, 0x00, 0x00, 0x00, 0x4F, 0x00, 0xC2, 0x00, 0xA0, 0x50});
    out.Write("sgio_sense", "descriptor", descriptor);
    Seed fixed{0x02, 0x00, 0x00, 0x08, 0x00};
    Append(fixed, Seed{0x70, 0x00, 0x01, 0x00, 0x50, 0xA0, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x1D, 0x00, 0x00,
                       0x00, 0x00});
    out.Write("sgio_sense", "fixed", fixed);
    out.Write("sgio_sense", "good", Seed{0x00, 0x00, 0x00, 0x00, 0x00});

    const std::vector<hardware::KernelPwmState> entries = {{"nct6798", "platform/nct6775.656", 1, 5, 255},
                                                           {"nct6798", "platform/nct6775.656", 2, 1, 89}};
    out.Write("pwm_state", "two-outputs", Of(hardware::EncodeKernelPwmState(entries)));
    out.Write("pwm_state", "five-fields", Of("pwm\tit8688\tplatform/it87.2608\t3\t2\n"));
    out.Write("pwm_state", "sysfs-value", Of("128\n"));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: calventa-fuzz-seeds BOARDS_DIR CORPUS_DIR\n";
        return 2;
    }
    Writer out(argv[2]);
    SyntheticSeeds(out);
    std::vector<fs::path> boards;
    for (const auto& entry : fs::directory_iterator(argv[1])) {
        if (entry.path().extension() == ".json") {
            boards.push_back(entry.path());
        }
    }
    std::sort(boards.begin(), boards.end());
    for (const fs::path& path : boards) {
        const std::string name = path.stem().string();
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string error;
        const std::optional<sim::BoardDescription> board = sim::ParseBoard(text, error);
        if (!board) {
            std::cerr << path << ": " << error << "\n";
            return 1;
        }
        out.Write("board_file", name, Of(text));
        const core::SettingsImage settings = SettingsAfterStartUp(*board);
        out.Write("settings_image", name, Seed(settings.begin(), settings.end()));

        // settings.dat, a state file naming the board's first kernel device, the board.
        Seed whole(settings.begin(), settings.end());
        AppendMarker(whole);
        if (!board->kernel.empty()) {
            Append(whole,
                   Of(hardware::EncodeKernelPwmState({{board->kernel[0].name, board->kernel[0].busPath, 1, 2, 255}})));
        }
        AppendMarker(whole);
        Append(whole, Of(text));
        out.Write("whole_monitor", name, whole);
        DriveSeeds(out, name, *board);
    }
    // A short settings.dat and one with every fan-control channel on.
    if (!boards.empty()) {
        core::SettingsBlock block;
        core::DecodeSettings(core::SettingsImage{}, block);
        core::SetDefaultSettings(block, {1024, 768}, core::kDefaultMainWindowWidth);
        for (core::FanControlRecord& record : block.FanControl) {
            record.Enabled = 1;
            record.PwmRegister = 1;
        }
        block.Slots[core::kSlotCpu].Chip = 0;
        block.Slots[core::kSlotCpu].Channel = 2;
        const core::SettingsImage image = core::EncodeSettings(block);
        out.Write("settings_image", "fan-control", Seed(image.begin(), image.end()));
        out.Write("settings_image", "short", Seed(image.begin(), image.begin() + 100));
    }
    std::cout << out.Count() << " seeds written to " << argv[2] << "\n";
    return 0;
}
