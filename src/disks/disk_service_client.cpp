#include "disks/disk_service_client.h"

#include <string>

#include "core/program_store_access.h"

namespace calventa::disks {

namespace {

constexpr uint32_t kTemperatureWriteWaitMs = 100; // the service's promise after code 235

// A disk table image of at most maxBytes over the table, as "sysdata" is taken.
SysdataRead TakeImage(const std::vector<uint8_t>& image, size_t maxBytes, core::DiskTable& table)
{
    if (image.size() > maxBytes) {
        return SysdataRead::TooLong;
    }
    core::DecodeDiskTable(image, table);
    return SysdataRead::Taken;
}

} // namespace

SysdataRead ReadSysdata(platform::ProgramStore& store, size_t maxBytes, core::DiskTable& table)
{
    std::unique_ptr<platform::StoreKey> key =
        store.OpenKey(platform::StoreKeyId::Program, platform::kKeyRead, /*createIfMissing=*/true);
    if (!key) {
        return SysdataRead::Missing;
    }
    // One byte more than accepted tells a value that is too long from one that fits.
    const auto bytes = key->ReadBinary(core::kSysdataValue, maxBytes + 1);
    if (!bytes) {
        return SysdataRead::Missing;
    }
    return TakeImage(*bytes, maxBytes, table);
}

DiskServiceClient::DiskServiceClient(platform::ServiceManager& services, platform::ProgramStore& store,
                                     platform::Clock& clock, core::StartupLog& log)
    : m_services(services), m_store(store), m_clock(clock), m_log(log)
{
}

ServiceDetection DiskServiceClient::Detect()
{
    Close();
    std::unique_ptr<platform::ServiceManagerConnection> manager = m_services.Connect();
    if (!manager) {
        return ServiceDetection::NoServiceManager;
    }
    m_log.WriteLog("Connect SCM OK");
    std::unique_ptr<platform::ServiceHandle> service = manager->OpenService(platform::kDiskServiceName);
    manager.reset();
    if (!service) {
        m_log.WriteLog(std::string("No service detected. SVC name=(") + platform::kDiskServiceName + ")");
        return ServiceDetection::NoService;
    }
    const std::optional<platform::ServiceState> state = service->QueryStatus();
    if (!state) {
        m_log.WriteLog("Error QueryServiceStatus");
        return ServiceDetection::StatusQueryFailed;
    }
    if (*state != platform::ServiceState::Running) {
        m_log.WriteLog("Error Service not running");
        return ServiceDetection::NotRunning;
    }
    m_log.WriteLog("Service detected");
    m_service = std::move(service);
    return ServiceDetection::Detected;
}

ServiceRequestResult DiskServiceClient::RequestScan(core::DiskTable& table)
{
    ServiceRequestResult result;
    if (!m_service) {
        result.error = platform::kErrorServiceNotActive;
        return result;
    }
    std::optional<std::vector<uint8_t>> image;
    result.delivered = m_service->ControlForImage(platform::kDiskScanControl, result.error, image);
    if (result.delivered) {
        result.fromReply = image.has_value();
        result.sysdata = image ? TakeImage(*image, core::kDiskScanImageSize, table)
                               : ReadSysdata(m_store, core::kDiskScanImageSize, table);
    }
    return result;
}

ServiceRequestResult DiskServiceClient::RequestTemperatures(core::DiskTable& table)
{
    ServiceRequestResult result;
    if (!m_service) {
        result.error = platform::kErrorServiceNotActive;
        return result;
    }
    std::optional<std::vector<uint8_t>> image;
    result.delivered = m_service->ControlForImage(platform::kDiskTemperatureControl, result.error, image);
    if (!result.delivered) {
        return result;
    }
    result.fromReply = image.has_value();
    if (image) {
        // The reply is this request's own answer: nothing to wait for, and no other user's
        // request can have replaced it.
        result.sysdata = TakeImage(*image, core::kDiskTemperatureImageSize, table);
        return result;
    }
    m_clock.SleepMs(kTemperatureWriteWaitMs);
    result.sysdata = ReadSysdata(m_store, core::kDiskTemperatureImageSize, table);
    return result;
}

void DiskServiceClient::Close()
{
    m_service.reset();
}

} // namespace calventa::disks
