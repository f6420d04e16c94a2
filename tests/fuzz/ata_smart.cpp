// What an ATA drive answers: IDENTIFY DEVICE, the S.M.A.R.T. attribute table, the SCT status
// page and CHECK POWER MODE's sector count, each any bytes. The parsers on their own, then a
// drive answering with them through a disk scan and two temperature reads.
//
// Input: IDENTIFY (512 bytes), READ DATA (512), the SCT status (512), a byte of failures
// (bit n fails the n-th kind of command, bit 4 lets CHECK POWER MODE return no count, bit 5
// refuses READ DATA for lack of rights, bit 6 goes through the 9x driver, bit 7 turns the
// power check off), then the sector counts CHECK POWER MODE returns, one byte per call.
#include "disks/disk_reader.h"
#include "disks/smart_commands.h"
#include "fuzz_support.h"

namespace calventa::fuzz {
namespace {

using platform::SmartDataPage;

struct Answers
{
    SmartDataPage identify;
    SmartDataPage smartData;
    SmartDataPage sctStatus;
    uint8_t failures = 0;
    Reader powerModes{{}};
};

class FuzzDrive final : public platform::SmartDevice
{
public:
    explicit FuzzDrive(Answers& answers) : m_answers(answers) {}

    platform::SmartCommandResult SendSmartCommand(const platform::SmartCommand& command, SmartDataPage& data) override
    {
        const uint8_t failures = m_answers.failures;
        const platform::IdeRegisters& r = command.registers;
        if (r.command == disks::kAtaCheckPowerMode) {
            platform::SmartCommandResult result(platform::SmartCommandStatus::Done);
            if ((failures & 0x10) == 0) {
                result.sectorCount = m_answers.powerModes.Byte();
            }
            return result;
        }
        if (r.command == disks::kAtaIdentifyDevice) {
            return Answer(failures & 0x02, m_answers.identify, data);
        }
        if (r.command != disks::kAtaSmart) {
            return false;
        }
        switch (r.features) {
        case disks::kSmartEnableOperations:
            return (failures & 0x01) == 0;
        case disks::kSmartReadData:
            if ((failures & 0x20) != 0) {
                return platform::SmartCommandStatus::RightsMissing;
            }
            return Answer(failures & 0x04, m_answers.smartData, data);
        case disks::kSmartReadLog:
            return Answer(failures & 0x08, m_answers.sctStatus, data);
        default:
            return false;
        }
    }

private:
    static platform::SmartCommandResult Answer(bool fail, const SmartDataPage& page, SmartDataPage& data)
    {
        if (fail) {
            return false;
        }
        data = page;
        return true;
    }

    Answers& m_answers;
};

// Drives 0 and 3 answer alike; the others are missing.
class FuzzDrives final : public platform::SmartDevices
{
public:
    explicit FuzzDrives(Answers& answers) : m_answers(answers) {}
    platform::DriveOpenResult OpenPhysicalDrive(int drive) override
    {
        if (drive != 0 && drive != 3) {
            return {nullptr, platform::DriveOpenError::NotFound};
        }
        return {std::make_unique<FuzzDrive>(m_answers), platform::DriveOpenError::None};
    }
    std::unique_ptr<platform::SmartDevice> OpenSmartVsd() override { return std::make_unique<FuzzDrive>(m_answers); }
    std::string SystemDirectory() override { return {}; }
    bool CopyFile(const std::string&, const std::string&) override { return false; }

private:
    Answers& m_answers;
};

void CheckIdentity(const disks::IdentityStrings& identity)
{
    FUZZ_CHECK(identity.model.size() <= disks::kIdentifyModelLength);
    FUZZ_CHECK(identity.serial.size() <= disks::kIdentifySerialLength);
    FUZZ_CHECK(identity.firmware.size() <= disks::kIdentifyFirmwareLength);
}

} // namespace
} // namespace calventa::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    const fuzz::Bytes input(data, size);
    constexpr size_t kPage = platform::kSmartDataSize;
    fuzz::Answers answers;
    answers.identify = fuzz::PageAt<kPage>(input, 0);
    answers.smartData = fuzz::PageAt<kPage>(input, kPage);
    answers.sctStatus = fuzz::PageAt<kPage>(input, 2 * kPage);
    fuzz::Reader control(input.subspan(std::min(input.size(), 3 * kPage)));
    answers.failures = control.Byte();
    answers.powerModes = control;

    // The parsers on their own.
    fuzz::CheckIdentity(disks::ReadIdentityStrings(answers.identify));
    for (const size_t offset : {size_t{0}, size_t{500}, size_t{511}, kPage, size_t{4096}}) {
        FUZZ_CHECK(disks::AtaString(answers.identify, offset, 40).size() <= 40);
    }
    const bool sct = disks::SupportsSctStatus(answers.identify);
    const std::optional<disks::AtaTemperature> attribute = disks::FindAtaTemperature(answers.smartData);
    const std::optional<int32_t> attribute194 = disks::FindTemperatureAttribute(answers.smartData);
    FUZZ_CHECK(!attribute194 || (attribute && attribute->celsius == *attribute194));
    const std::optional<int32_t> sctTemperature = disks::SctStatusTemperature(answers.sctStatus);
    for (const std::optional<int32_t> celsius : {attribute194, sctTemperature}) {
        FUZZ_CHECK(!celsius || (*celsius >= -128 && *celsius <= 127));
    }
    (void)disks::PowerModeOf(answers.powerModes.Byte());

    // A drive that answers with them.
    fuzz::FuzzDrives drives(answers);
    disks::DiskReader reader(drives);
    reader.SetPowerCheck((answers.failures & 0x80) == 0);
    if ((answers.failures & 0x40) != 0) {
        reader.UseSmartVsd(drives.OpenSmartVsd());
    }
    core::DiskTable table;
    const bool listed = reader.ScanDisks(table);
    fuzz::CheckDiskTable(table);
    FUZZ_CHECK(listed == (table.DiskCount > 0));
    if (listed) {
        FUZZ_CHECK(table.Model[0] == disks::ReadIdentityStrings(answers.identify).model);
        const bool fromSct = !attribute && sct && sctTemperature;
        FUZZ_CHECK(attribute || fromSct);
        FUZZ_CHECK(table.Temperature[0] == (attribute ? attribute->celsius : *sctTemperature));
    }
    for (int pass = 0; pass < 2; ++pass) {
        (void)reader.ReadDiskTemperatures(table);
        fuzz::CheckDiskTable(table);
        FUZZ_CHECK(reader.TakeNotes().size() <= disks::DiskReader::kMaxNotes);
    }
    return 0;
}
