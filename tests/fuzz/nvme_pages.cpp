// What an NVMe controller answers: Identify Controller (strings, power state count and
// descriptors), the SMART / Health log and Get Features' power state, each any bytes; and what
// the system publishes of a controller it refuses admin commands for (the sysfs texts). The
// parsers on their own, then controllers answering with them through a scan and two reads.
//
// Input: Identify Controller (4096 bytes), the SMART / Health log (512), a byte of failures
// (bit 0 Identify, bit 1 the log, bit 2 Get Features gives no answer, bit 3 admin commands
// refused for lack of rights, bit 7 the power check off), Get Features' completions (4 bytes
// per call), then the published texts: model, serial, firmware and temp1_input, one a part.
#include "disks/disk_reader.h"
#include "disks/nvme_commands.h"
#include "fuzz_support.h"
#include "platform/linux/linux_nvme_sysfs.h"

namespace calventa::fuzz {
namespace {

using platform::NvmeDataPage;

struct Answers
{
    NvmeDataPage identify;
    NvmeDataPage healthLog;
    uint8_t failures = 0;
    Reader completions{{}};
    std::optional<platform::NvmePublishedIdentity> published;
    std::optional<int64_t> publishedMilli;
};

class FuzzController final : public platform::NvmeDevice
{
public:
    explicit FuzzController(Answers& answers) : m_answers(answers) {}

    platform::SmartCommandResult SendAdminCommand(const platform::NvmeAdminCommand& command,
                                                  NvmeDataPage& data) override
    {
        const uint8_t failures = m_answers.failures;
        if ((failures & 0x08) != 0) {
            return platform::SmartCommandStatus::RightsMissing;
        }
        switch (command.opcode) {
        case disks::kNvmeIdentify:
            return Answer(failures & 0x01, m_answers.identify, command, data);
        case disks::kNvmeGetLogPage:
            return Answer(failures & 0x02, m_answers.healthLog, command, data);
        case disks::kNvmeGetFeatures: {
            platform::SmartCommandResult result(platform::SmartCommandStatus::Done);
            if ((failures & 0x04) == 0) {
                result.completion = m_answers.completions.U32();
            }
            return result;
        }
        default:
            return false;
        }
    }
    std::optional<platform::NvmePublishedIdentity> PublishedIdentity() override { return m_answers.published; }
    std::optional<int64_t> PublishedMilliCelsius() override { return m_answers.publishedMilli; }

private:
    // The first dataLength bytes of the page, the rest zero, as the device promises.
    static platform::SmartCommandResult Answer(bool fail, const NvmeDataPage& page,
                                               const platform::NvmeAdminCommand& command, NvmeDataPage& data)
    {
        if (fail) {
            return false;
        }
        data.fill(0);
        std::copy_n(page.begin(), std::min<size_t>(command.dataLength, page.size()), data.begin());
        return true;
    }

    Answers& m_answers;
};

// Controllers 0 and 5 answer alike; no ATA drive.
class FuzzControllers final : public platform::SmartDevices
{
public:
    explicit FuzzControllers(Answers& answers) : m_answers(answers) {}
    platform::NvmeOpenResult OpenNvmeController(int controller) override
    {
        if (controller != 0 && controller != 5) {
            return {nullptr, platform::DriveOpenError::NotFound};
        }
        return {std::make_unique<FuzzController>(m_answers), platform::DriveOpenError::None};
    }
    platform::DriveOpenResult OpenPhysicalDrive(int) override { return {nullptr, platform::DriveOpenError::NotFound}; }
    std::unique_ptr<platform::SmartDevice> OpenSmartVsd() override { return nullptr; }
    std::string SystemDirectory() override { return {}; }
    bool CopyFile(const std::string&, const std::string&) override { return false; }

private:
    Answers& m_answers;
};

void CheckIdentity(const disks::IdentityStrings& identity)
{
    FUZZ_CHECK(identity.model.size() <= disks::kNvmeModelLength);
    FUZZ_CHECK(identity.serial.size() <= disks::kNvmeSerialLength);
    FUZZ_CHECK(identity.firmware.size() <= disks::kNvmeFirmwareLength);
    for (const std::string* text : {&identity.model, &identity.serial, &identity.firmware}) {
        for (const char c : *text) {
            FUZZ_CHECK(c >= 0x20 && c <= 0x7E);
        }
    }
}

} // namespace
} // namespace calventa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    using namespace platform::linux_backend;
    const fuzz::Bytes input(data, size);
    fuzz::Answers answers;
    answers.identify = fuzz::PageAt<platform::kNvmeDataSize>(input, 0);
    answers.healthLog = fuzz::PageAt<platform::kNvmeDataSize>(input, platform::kNvmeDataSize);
    std::fill(answers.healthLog.begin() + disks::kNvmeSmartHealthLogSize, answers.healthLog.end(), 0);
    constexpr size_t kPages = platform::kNvmeDataSize + disks::kNvmeSmartHealthLogSize;
    fuzz::Reader control(input.subspan(std::min(input.size(), kPages)));
    answers.failures = control.Byte();
    const fuzz::Bytes completions = control.Take(16);
    answers.completions = fuzz::Reader(completions);
    const std::vector<fuzz::Bytes> texts = fuzz::SplitParts(control.Rest());

    // The sysfs texts as the back end reads them.
    if (texts.size() >= 3) {
        answers.published = platform::NvmePublishedIdentity{TrimTrailingBlanks(std::string(fuzz::Text(texts[0]))),
                                                            TrimTrailingBlanks(std::string(fuzz::Text(texts[1]))),
                                                            TrimTrailingBlanks(std::string(fuzz::Text(texts[2])))};
        fuzz::CheckIdentity(disks::PublishedNvmeIdentity(*answers.published));
    }
    if (texts.size() >= 4) {
        answers.publishedMilli = ParseDecimal(std::string(fuzz::Text(texts[3])));
    }
    if (answers.publishedMilli) {
        const std::optional<int32_t> celsius = disks::PublishedNvmeCelsius(*answers.publishedMilli);
        FUZZ_CHECK(!celsius ||
                   (*celsius >= disks::kNvmeLowestPlausibleCelsius && *celsius <= disks::kNvmeHighestPlausibleCelsius));
    }

    // The parsers on their own.
    fuzz::CheckIdentity(disks::ReadNvmeIdentity(answers.identify));
    for (const size_t offset : {size_t{4090}, platform::kNvmeDataSize, size_t{1} << 20}) {
        FUZZ_CHECK(disks::NvmeString(answers.identify, offset, 40).size() <= 40);
    }
    const auto nonOperational = disks::NonOperationalPowerStates(answers.identify);
    FUZZ_CHECK(disks::PowerStateOf(answers.completions.U32()) < nonOperational.size());
    const std::optional<int32_t> composite = disks::NvmeCompositeTemperature(answers.healthLog);
    FUZZ_CHECK(!composite ||
               (*composite >= disks::kNvmeLowestPlausibleCelsius && *composite <= disks::kNvmeHighestPlausibleCelsius));
    answers.completions = fuzz::Reader(completions); // the controllers' calls start afresh

    // Controllers that answer with them.
    fuzz::FuzzControllers controllers(answers);
    disks::DiskReader reader(controllers);
    reader.SetPowerCheck((answers.failures & 0x80) == 0);
    core::DiskTable table;
    const bool listed = reader.ScanDisks(table);
    fuzz::CheckDiskTable(table);
    if (listed) {
        FUZZ_CHECK(table.IsNvme(0));
        FUZZ_CHECK((answers.failures & 0x08) != 0 || table.Temperature[0] == composite);
    }
    for (int pass = 0; pass < 2; ++pass) {
        (void)reader.ReadDiskTemperatures(table);
        fuzz::CheckDiskTable(table);
    }
    return 0;
}
