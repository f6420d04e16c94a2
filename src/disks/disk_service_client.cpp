#include "disks/disk_service_client.h"

#include <string>

#include "core/program_store_access.h"

namespace calventa::disks {

namespace {

constexpr uint32_t kTemperatureWriteWaitMs = 100; // the service's promise after code 235

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
    if (bytes->size() > maxBytes) {
        return SysdataRead::TooLong;
    }
    core::DecodeDiskTable(*bytes, table);
    return SysdataRead::Taken;
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
    result.delivered = m_service->Control(platform::kDiskScanControl, result.error);
    if (result.delivered) {
        result.sysdata = ReadSysdata(m_store, core::kDiskScanImageSize, table);
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
    result.delivered = m_service->Control(platform::kDiskTemperatureControl, result.error);
    if (result.delivered) {
        m_clock.SleepMs(kTemperatureWriteWaitMs);
        result.sysdata = ReadSysdata(m_store, core::kDiskTemperatureImageSize, table);
    }
    return result;
}

void DiskServiceClient::Close()
{
    m_service.reset();
}

} // namespace calventa::disks
