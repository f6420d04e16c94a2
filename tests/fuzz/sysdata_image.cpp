// The disk table's image ("sysdata" and the disk service's reply) both ways: any bytes laid
// over a listed table, the table's accessors, and encode → decode giving the same image;
// then the same bytes as the program store's "sysdata" value through ReadSysdata at the two
// lengths the monitor accepts.
#include "core/disk_table.h"
#include "core/fakes.h"
#include "core/program_store_access.h"
#include "disks/disk_service_client.h"
#include "fuzz_support.h"

namespace calventa::fuzz {
namespace {

core::DiskTable ListedTable()
{
    core::DiskTable table;
    table.DiskCount = 2;
    table.DriveCount = 2;
    table.Temperature = {41, 35};
    table.Model = {"SIM DISK 1", "SIM NVME"};
    table.Serial = {"SN0001", "NV0002"};
    table.Firmware = {"1.0", "2.0"};
    table.DriveNumbers = {0, core::kNvmeDriveFlag | 1};
    return table;
}

} // namespace
} // namespace calventa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    const fuzz::Bytes input(data, size);

    core::DiskTable table = fuzz::ListedTable();
    core::DecodeDiskTable(input, table);
    fuzz::CheckDiskTable(table);
    if (!input.empty()) {
        FUZZ_CHECK(table.DiskCount == std::min<uint8_t>(input[core::kDiskCountOffset], core::kMaxDisks));
    }
    // Numbers come through unchanged where the image reaches them.
    const std::vector<uint8_t> image = core::EncodeDiskTable(table, core::kDiskRecordSize);
    for (size_t i = core::kDiskTemperatureOffset; i < core::kDiskModelOffset && i < input.size(); ++i) {
        FUZZ_CHECK(image[i] == input[i]);
    }
    for (size_t i = core::kDriveNumbersOffset; i < core::kDiskRecordSize && i < input.size(); ++i) {
        FUZZ_CHECK(image[i] == input[i]);
    }
    // What the table encodes to decodes to itself, at every length the service writes.
    for (const size_t length : {core::kDiskTemperatureImageSize, core::kDiskScanImageSize, core::kDiskRecordSize}) {
        const std::vector<uint8_t> part = core::EncodeDiskTable(table, length);
        FUZZ_CHECK(part.size() == length);
        core::DiskTable again = table;
        core::DecodeDiskTable(part, again);
        FUZZ_CHECK(core::EncodeDiskTable(again, core::kDiskRecordSize) == image);
    }

    // The same bytes as "sysdata": taken when they fit the request's length, never cut.
    for (const size_t limit : {core::kDiskScanImageSize, core::kDiskTemperatureImageSize}) {
        core::fake::FakeProgramStore store;
        store.Keys[platform::StoreKeyId::Program].Values[core::kSysdataValue] =
            std::vector<uint8_t>(input.begin(), input.end());
        core::DiskTable fromStore = fuzz::ListedTable();
        const disks::SysdataRead read = disks::ReadSysdata(store, limit, fromStore);
        FUZZ_CHECK((read == disks::SysdataRead::TooLong) == (input.size() > limit));
        fuzz::CheckDiskTable(fromStore);
        if (read == disks::SysdataRead::Taken) {
            core::DiskTable direct = fuzz::ListedTable();
            core::DecodeDiskTable(input, direct);
            FUZZ_CHECK(fromStore == direct);
        }
    }
    return 0;
}
