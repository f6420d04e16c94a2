// The monitor's side of the disk service: whatever a service (or whoever holds its socket)
// sends back. The status message and the image message go through the client's framing as
// the socket delivers them (a message longer than the buffer arrives cut, with its true
// length), then through the disk client's scan and temperature requests into a listed
// table; a service that sends no image leaves the answer in "sysdata", the input's rest.
//
// Input: the status message's length byte and bytes, the image message's 16-bit length and
// bytes, then "sysdata".
#include "core/fakes.h"
#include "core/program_store_access.h"
#include "core/startup_log.h"
#include "disks/disk_service_client.h"
#include "fuzz_support.h"
#include "platform/linux/linux_disk_service.h"

namespace calventa::fuzz {
namespace {

using platform::linux_backend::kMaxImageMessageSize;
using platform::linux_backend::kServiceMessageSize;

// What the socket handle makes of one reply, as its buffers keep it.
struct Reply
{
    std::optional<uint32_t> status;
    std::optional<std::vector<uint8_t>> image;
};

class ReplyingService final : public platform::ServiceHandle
{
public:
    explicit ReplyingService(const Reply& reply) : m_reply(reply) {}
    std::optional<platform::ServiceState> QueryStatus() override { return platform::ServiceState::Running; }
    bool Control(uint32_t code, uint32_t& error) override
    {
        std::optional<std::vector<uint8_t>> unused;
        return ControlForImage(code, error, unused);
    }
    bool ControlForImage(uint32_t, uint32_t& error, std::optional<std::vector<uint8_t>>& image) override
    {
        image.reset();
        if (!m_reply.status) {
            error = platform::kErrorInvalidData;
            return false;
        }
        error = *m_reply.status;
        if (*m_reply.status == 0) {
            image = m_reply.image;
        }
        return *m_reply.status == 0;
    }

private:
    const Reply& m_reply;
};

class OneService final : public platform::ServiceManager, public platform::ServiceManagerConnection
{
public:
    explicit OneService(const Reply& reply) : m_reply(reply) {}
    std::unique_ptr<platform::ServiceManagerConnection> Connect() override { return std::make_unique<Forward>(*this); }
    std::unique_ptr<platform::ServiceHandle> OpenService(const std::string&) override
    {
        return std::make_unique<ReplyingService>(m_reply);
    }

private:
    struct Forward final : platform::ServiceManagerConnection
    {
        explicit Forward(OneService& owner) : m_owner(owner) {}
        std::unique_ptr<platform::ServiceHandle> OpenService(const std::string& name) override
        {
            return m_owner.OpenService(name);
        }
        OneService& m_owner;
    };
    const Reply& m_reply;
};

// A message of `length` bytes received into a buffer of `buffer` bytes: only what fits is kept.
Bytes Kept(Bytes message, size_t buffer)
{
    return message.first(std::min(message.size(), buffer));
}

core::DiskTable ListedTable()
{
    core::DiskTable table;
    table.DiskCount = 3;
    table.DriveCount = 3;
    table.Temperature = {41, 35, 44};
    table.Model = {"SIM DISK 1", "SIM DISK 2", "SIM NVME"};
    table.DriveNumbers = {0, 1, core::kNvmeDriveFlag};
    return table;
}

} // namespace
} // namespace calventa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    using platform::linux_backend::kMaxImageMessageSize;
    using platform::linux_backend::kServiceMessageSize;
    using platform::linux_backend::ReplyImageOf;
    using platform::linux_backend::ReplyStatusOf;
    fuzz::Reader reader({data, size});
    const fuzz::Bytes statusMessage = reader.Take(reader.Byte());
    const fuzz::Bytes imageMessage = reader.Take(reader.U16());
    const fuzz::Bytes sysdata = reader.Rest();

    fuzz::Reply reply;
    reply.status = ReplyStatusOf(fuzz::Kept(statusMessage, kServiceMessageSize + 1), statusMessage.size());
    FUZZ_CHECK(reply.status.has_value() == (statusMessage.size() == kServiceMessageSize));
    reply.image = ReplyImageOf(fuzz::Kept(imageMessage, kMaxImageMessageSize + 1), imageMessage.size());
    if (reply.image) {
        FUZZ_CHECK(reply.image->size() + kServiceMessageSize == imageMessage.size());
        FUZZ_CHECK(reply.image->size() <= core::kDiskScanImageSize);
    }

    core::fake::FakeProgramStore store;
    store.Keys[platform::StoreKeyId::Program].Values[core::kSysdataValue] =
        std::vector<uint8_t>(sysdata.begin(), sysdata.end());
    core::fake::FakeClock clock;
    core::fake::FakeFileSystem files;
    core::fake::FakeSystemFacts facts;
    core::StartupLog log(files, clock, facts);
    fuzz::OneService services(reply);
    disks::DiskServiceClient client(services, store, clock, log);
    FUZZ_CHECK(client.Detect() == disks::ServiceDetection::Detected);

    const struct
    {
        bool scan;
        size_t limit;
    } requests[] = {{true, core::kDiskScanImageSize}, {false, core::kDiskTemperatureImageSize}};
    for (const auto& request : requests) {
        core::DiskTable table = fuzz::ListedTable();
        const disks::ServiceRequestResult result =
            request.scan ? client.RequestScan(table) : client.RequestTemperatures(table);
        FUZZ_CHECK(result.delivered == (reply.status == 0u));
        fuzz::CheckDiskTable(table);
        if (!result.delivered) {
            FUZZ_CHECK(table == fuzz::ListedTable());
            continue;
        }
        FUZZ_CHECK(result.fromReply == reply.image.has_value());
        const size_t taken = reply.image ? reply.image->size() : sysdata.size();
        FUZZ_CHECK((result.sysdata == disks::SysdataRead::TooLong) == (taken > request.limit));
    }
    return 0;
}
