#include "service/disk_service_work.h"

#include "core/program_store_access.h"
#include "platform/disk_service.h"

namespace calventa::service {

namespace {

size_t KindOf(uint32_t code)
{
    return code == platform::kDiskScanControl ? 0 : 1;
}

} // namespace

DiskServiceWork::DiskServiceWork(platform::SmartDevices& drives, platform::ProgramStore& store, uint32_t coalesceMs,
                                 std::function<Clock::time_point()> now)
    : m_reader(drives), m_store(store), m_coalesceMs(coalesceMs), m_now(std::move(now))
{
}

DiskServiceWork::Clock::time_point DiskServiceWork::Now() const
{
    return m_now ? m_now() : Clock::now();
}

ControlAnswer DiskServiceWork::HandleControl(uint32_t code)
{
    ControlAnswer answer;
    if (code != platform::kDiskScanControl && code != platform::kDiskTemperatureControl) {
        answer.status = platform::kErrorInvalidServiceControl;
        return answer;
    }
    LastResult& last = m_last[KindOf(code)];
    const auto now = Now();
    if (last.valid && now - last.at < std::chrono::milliseconds(m_coalesceMs)) {
        answer.image = last.image;
        // "sysdata" is rewritten only when a request of the other kind replaced it, so that a
        // client that reads it finds an image of the kind it asked for.
        answer.status = m_stored == answer.image ? 0 : Publish(answer.image);
        return answer;
    }
    if (code == platform::kDiskScanControl) {
        Scan();
        // A listing may change the drive order: a temperature image of the old one is stale.
        m_last[KindOf(platform::kDiskTemperatureControl)].valid = false;
        answer.image = core::EncodeDiskTable(m_table, core::kDiskScanImageSize);
    } else {
        // A service restarted since the monitor's scan lists the disks again first, in the
        // same drive order, so that the monitor's entries still match.
        if (!m_scanned) {
            Scan();
        } else {
            m_reader.ReadDiskTemperatures(m_table);
        }
        answer.image = core::EncodeDiskTable(m_table, core::kDiskTemperatureImageSize);
    }
    answer.fresh = true;
    answer.status = Publish(answer.image);
    last.valid = answer.status == 0;
    last.at = now;
    last.image = answer.image;
    return answer;
}

void DiskServiceWork::Scan()
{
    m_table = core::DiskTable{};
    // The same choice as the monitor's: the service must not spin up the disks either.
    m_reader.SetPowerCheck(!core::WakeDisks(m_store));
    m_reader.ScanDisks(m_table);
    m_scanned = true;
}

uint32_t DiskServiceWork::Publish(const std::vector<uint8_t>& image)
{
    std::unique_ptr<platform::StoreKey> key =
        m_store.OpenKey(platform::StoreKeyId::Program, platform::kKeyWrite, /*createIfMissing=*/true);
    if (!key) {
        return platform::kErrorAccessDenied;
    }
    if (!key->WriteBinary(core::kSysdataValue, image)) {
        m_stored.clear();
        return platform::kErrorWriteFault;
    }
    m_stored = image;
    return 0;
}

} // namespace calventa::service
