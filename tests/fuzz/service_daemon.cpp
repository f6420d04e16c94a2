// The disk service's side of its socket: a run of request messages of any bytes and length,
// as one or several users send them within and beyond the coalescing time, each answered by
// the daemon over a board's drives. Every reply must read back on the client's side: one
// status message, and after a 0 one image message of the kind asked for.
//
// Input: records of a header byte (bits 0..2 the request's length, bits 3..7 the time since
// the last request in 100 ms steps) and the request's bytes.
#include "core/fakes.h"
#include "core/program_store_access.h"
#include "fuzz_support.h"
#include "platform/linux/linux_disk_service.h"
#include "platform/sim/board_file.h"
#include "platform/sim/sim_disks.h"
#include "service/disk_service_daemon.h"

namespace calventa::fuzz {
namespace {

constexpr const char* kBoard = R"({"disks": [
  {"drive": 0, "model": "SIM DISK 1", "serial": "SN0001", "firmware": "1.0", "temperature": 41},
  {"drive": 2, "model": "SIM COOL", "temperature": 30, "attribute_entry": -1, "airflow_temperature": 29,
   "power": "standby"},
  {"kind": "nvme", "drive": 0, "model": "SIM NVME", "temperature": 45}]})";
constexpr size_t kMaxRequests = 16;

} // namespace
} // namespace calventa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    using platform::linux_backend::ReplyImageOf;
    using platform::linux_backend::ReplyStatusOf;
    static const sim::BoardDescription board = [] {
        std::string error;
        return sim::ParseBoard(fuzz::kBoard, error).value();
    }();

    sim::SimDisks drives(board, sim::DiskRights::Service);
    core::fake::FakeProgramStore store;
    service::DaemonOptions::Clock::time_point now{};
    service::DaemonOptions options;
    options.now = [&now] { return now; };
    service::DiskServiceDaemon daemon(drives, store, options);

    fuzz::Reader reader({data, size});
    for (size_t request = 0; request < fuzz::kMaxRequests && !reader.Empty(); ++request) {
        const uint8_t header = reader.Byte();
        now += std::chrono::milliseconds(100 * (header >> 3));
        const fuzz::Bytes message = reader.Take(header & 0x07);

        const std::vector<std::vector<uint8_t>> replies = daemon.AnswerRequest(message);
        FUZZ_CHECK(replies.size() == 1 || replies.size() == 2);
        const std::optional<uint32_t> status = ReplyStatusOf(replies[0], replies[0].size());
        FUZZ_CHECK(status.has_value());
        const std::optional<uint32_t> code = platform::linux_backend::DecodeServiceMessage(message);
        if (!code) {
            FUZZ_CHECK(*status == platform::kErrorInvalidData && replies.size() == 1);
            continue;
        }
        if (*code != platform::kDiskScanControl && *code != platform::kDiskTemperatureControl) {
            FUZZ_CHECK(*status == platform::kErrorInvalidServiceControl && replies.size() == 1);
            continue;
        }
        FUZZ_CHECK(*status == 0 && replies.size() == 2);
        const std::optional<std::vector<uint8_t>> image = ReplyImageOf(replies[1], replies[1].size());
        FUZZ_CHECK(image.has_value());
        FUZZ_CHECK(image->size() ==
                   (*code == platform::kDiskScanControl ? core::kDiskScanImageSize : core::kDiskTemperatureImageSize));
        // "sysdata" holds what the reply carries, for the clients that read only the status.
        const auto& values = store.Keys[platform::StoreKeyId::Program].Values;
        const auto stored = values.find(core::kSysdataValue);
        FUZZ_CHECK(stored != values.end() && std::get<std::vector<uint8_t>>(stored->second) == *image);
        core::DiskTable table;
        core::DecodeDiskTable(*image, table);
        fuzz::CheckDiskTable(table);
        fuzz::CheckDiskTable(daemon.Table());
    }
    return 0;
}
