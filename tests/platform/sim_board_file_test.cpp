#include "platform/sim/board_file.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace calventa::sim {
namespace {

BoardDescription MustParse(const std::string& json)
{
    std::string error;
    auto board = ParseBoard(json, error);
    EXPECT_TRUE(board.has_value()) << error;
    return board.value_or(BoardDescription{});
}

TEST(SimBoardFile, ReadsEveryKeyOfAFullBoard)
{
    BoardDescription board = MustParse(R"({
      "family": "9x", "port_access": false, "disk_access": "denied",
      "pci": { "host_vendor": "0x8086", "lpc_device": "0x24D0", "smbus_command": "0x0005",
               "smbus_hostcfg": 9, "smbus_bar": "0xEF01", "enable_bits_stick": false },
      "isa": { "model": "W83627HF", "vendor": "0x1234", "chip_id": "0x50",
               "registers": { "0x20": 112, "39": "0x2D" },
               "banks": { "1": { "0x50": 38 }, "0x5": { "0x50": 190 } } },
      "smbus": [ { "address": "0x48", "model": "LM75", "registers": { "0x00": 30 } },
                 { "address": 45, "model": "AS99127F-rev1" } ],
      "disks": [ { "drive": 3, "model": "SIM DISK 1", "serial": "SN0001", "firmware": "1.0",
                   "temperature": -5, "attribute_entry": -1, "smart": false },
                 { "model": "SIM DISK 2", "airflow_temperature": "0x1F", "sct_temperature": -3,
                   "power": "standby" } ]
    })");
    EXPECT_EQ(board.family, platform::PlatformFamily::Windows9x);
    EXPECT_FALSE(board.portAccess);
    EXPECT_EQ(board.diskAccess, DiskAccess::Denied);

    ASSERT_TRUE(board.pci);
    EXPECT_EQ(board.pci->hostVendor, 0x8086);
    EXPECT_EQ(board.pci->lpcDevice, 0x24D0);
    EXPECT_EQ(board.pci->smbusCommand, 0x0005);
    EXPECT_EQ(board.pci->smbusHostcfg, 9);
    EXPECT_EQ(board.pci->smbusBar, 0xEF01u);
    EXPECT_FALSE(board.pci->enableBitsStick);

    ASSERT_TRUE(board.isa);
    EXPECT_EQ(board.isa->model, ChipModel::W83627HF);
    EXPECT_EQ(board.isa->vendor, 0x1234);
    EXPECT_EQ(board.isa->chipId, 0x50);
    EXPECT_EQ(board.isa->registers, (std::map<uint8_t, uint8_t>{{0x20, 112}, {0x27, 0x2D}}));
    EXPECT_EQ(board.isa->banks.at(1).at(0x50), 38);
    EXPECT_EQ(board.isa->banks.at(5).at(0x50), 190);

    ASSERT_EQ(board.smbus.size(), 2u);
    EXPECT_EQ(board.smbus[0].address, 0x48);
    EXPECT_EQ(board.smbus[0].chip.model, ChipModel::Lm75);
    EXPECT_EQ(board.smbus[0].chip.registers.at(0x00), 30);
    EXPECT_EQ(board.smbus[1].address, 0x2D);
    EXPECT_EQ(board.smbus[1].chip.model, ChipModel::As99127fRev1);

    ASSERT_EQ(board.disks.size(), 2u);
    EXPECT_EQ(board.disks[0].drive, 3);
    EXPECT_EQ(board.disks[0].model, "SIM DISK 1");
    EXPECT_EQ(board.disks[0].serial, "SN0001");
    EXPECT_EQ(board.disks[0].firmware, "1.0");
    EXPECT_EQ(board.disks[0].temperature, -5);
    EXPECT_EQ(board.disks[0].attributeEntry, -1);
    EXPECT_FALSE(board.disks[0].smart);
    // A disk without a drive number takes its place in the list.
    EXPECT_EQ(board.disks[1].drive, 1);
    EXPECT_EQ(board.disks[1].attributeEntry, 0);
    EXPECT_TRUE(board.disks[1].smart);
    EXPECT_FALSE(board.disks[0].airflowTemperature);
    EXPECT_FALSE(board.disks[0].sctTemperature);
    EXPECT_EQ(board.disks[1].airflowTemperature, 31);
    EXPECT_EQ(board.disks[1].sctTemperature, -3);
    EXPECT_EQ(board.disks[0].powerMode, 0xFF); // active unless told
    EXPECT_EQ(board.disks[1].powerMode, 0x00);
}

TEST(SimBoardFile, NvmeDisksAreNumberedApartFromAtaDrives)
{
    BoardDescription board = MustParse(R"({"disks": [
        {"drive": 0, "model": "ATA"},
        {"kind": "nvme", "drive": 0, "model": "NVME", "temperature": 65262, "power": "standby"},
        {"kind": "ata", "drive": 1}]})");
    ASSERT_EQ(board.disks.size(), 3u);
    EXPECT_EQ(board.disks[0].kind, DiskKind::Ata);
    EXPECT_EQ(board.disks[1].kind, DiskKind::Nvme);
    EXPECT_EQ(board.disks[1].drive, 0);
    EXPECT_EQ(board.disks[1].temperature, 65262); // Kelvin 0xFFFF: a controller without a reading
    EXPECT_EQ(board.disks[1].nvmePowerState, 4);  // non-operational
    EXPECT_EQ(board.disks[0].nvmePowerState, 0);
    EXPECT_EQ(board.disks[2].kind, DiskKind::Ata);
}

TEST(SimBoardFile, EmptyBoardTakesTheDefaults)
{
    BoardDescription board = MustParse("{}");
    EXPECT_EQ(board.family, platform::PlatformFamily::NtFamily);
    EXPECT_TRUE(board.portAccess);
    EXPECT_EQ(board.diskAccess, DiskAccess::Direct);
    EXPECT_FALSE(board.pci);
    EXPECT_FALSE(board.isa);
    EXPECT_TRUE(board.smbus.empty());
    EXPECT_TRUE(board.disks.empty());

    BoardDescription intel = MustParse(R"({"pci": {}, "isa": {}})");
    ASSERT_TRUE(intel.pci);
    EXPECT_EQ(intel.pci->hostVendor, 0x8086);
    EXPECT_EQ(intel.pci->smbusCommand, 0x0001);
    EXPECT_EQ(intel.pci->smbusHostcfg, 0x01);
    EXPECT_EQ(intel.pci->smbusBar, 0x0401u);
    EXPECT_TRUE(intel.pci->enableBitsStick);
    ASSERT_TRUE(intel.isa);
    EXPECT_EQ(intel.isa->model, ChipModel::Raw);
}

TEST(SimBoardFile, ModelNamesRoundTrip)
{
    for (const char* name :
         {"W83781D", "W83782D", "W83783S", "W83627HF", "W83627THF", "W83627EHF", "W83637HF", "W83697HF",
          "AS99127F-rev1", "AS99127F-rev2", "ASB100", "IT8712F", "IT8705F", "LM87", "LM90", "LM75", "raw"}) {
        auto model = ChipModelFromName(name);
        ASSERT_TRUE(model) << name;
        EXPECT_EQ(ChipModelName(*model), name);
    }
    EXPECT_FALSE(ChipModelFromName("w83627hf"));
}

struct Refusal
{
    const char* name;
    const char* json;
    const char* error;
};

std::string RefusalName(const ::testing::TestParamInfo<Refusal>& info)
{
    return info.param.name;
}

class SimBoardRefusal : public ::testing::TestWithParam<Refusal>
{
};

TEST_P(SimBoardRefusal, NamesTheKeyInOneLine)
{
    std::string error;
    EXPECT_FALSE(ParseBoard(GetParam().json, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, SimBoardRefusal,
    ::testing::Values(
        Refusal{"RegisterNumberAbove0xFF", R"({"isa": {"registers": {"0x1FF": 1}}})",
                R"(board: isa.registers."0x1FF": register number out of range 0..0xFF)"},
        Refusal{"RegisterValueAbove0xFF", R"({"isa": {"registers": {"0x20": 256}}})",
                R"(board: isa.registers."0x20": register value out of range 0..0xFF)"},
        Refusal{"RegisterValueNegative", R"({"isa": {"registers": {"0x20": -1}}})",
                R"(board: isa.registers."0x20": register value out of range 0..0xFF)"},
        Refusal{"RegisterValueHexAbove0xFF", R"({"isa": {"registers": {"0x20": "0x100"}}})",
                R"(board: isa.registers."0x20": register value out of range 0..0xFF)"},
        Refusal{"RegisterValueDecimalString", R"({"isa": {"registers": {"0x20": "12"}}})",
                R"(board: isa.registers."0x20": expected an integer or a "0x" hex string, got "12")"},
        Refusal{"RegisterValueFraction", R"({"isa": {"registers": {"0x20": 1.5}}})",
                R"(board: isa.registers."0x20": expected an integer or a "0x" hex string, got number)"},
        Refusal{"RegisterNumberNotANumber", R"({"isa": {"registers": {"r1": 1}}})",
                R"(board: isa.registers."r1": register number must be "0x" hex or decimal)"},
        Refusal{"RegisterNumberWithTrailingLetter", R"({"isa": {"registers": {"1234567890123456789x": 1}}})",
                R"(board: isa.registers."1234567890123456789x": register number must be "0x" hex or decimal)"},
        Refusal{"RegisterValueHugeHex", R"({"isa": {"registers": {"0x20": "0xFFFFFFFFFFFFFFFFFFFFFFFF"}}})",
                R"(board: isa.registers."0x20": register value out of range 0..0xFF)"},
        Refusal{"RegisterValueHugeInteger", R"({"isa": {"registers": {"0x20": 18446744073709551615}}})",
                R"(board: isa.registers."0x20": register value out of range 0..0xFF)"},
        Refusal{"BankAbove7", R"({"isa": {"banks": {"8": {"0x50": 1}}}})",
                R"(board: isa.banks."8": bank out of range 0..7)"},
        Refusal{"BankRegisterValueAbove0xFF", R"({"isa": {"banks": {"1": {"0x50": 300}}}})",
                R"(board: isa.banks."1"."0x50": register value out of range 0..0xFF)"},
        Refusal{"UnknownIsaModel", R"({"isa": {"model": "W83627XX"}})",
                R"(board: isa.model: unknown model "W83627XX")"},
        Refusal{"VendorAbove0xFFFF", R"({"isa": {"vendor": "0x10000"}})",
                R"(board: isa.vendor: vendor out of range 0..0xFFFF)"},
        Refusal{"ChipIdAbove0xFF", R"({"isa": {"chip_id": 256}})",
                R"(board: isa.chip_id: chip id out of range 0..0xFF)"},
        Refusal{"SmbusAddressAbove0x7F", R"({"smbus": [{"address": "0x80"}]})",
                R"(board: smbus[0].address: address out of range 0..0x7F)"},
        Refusal{"SmbusAddressTwice", R"({"smbus": [{"address": 72}, {"address": "0x48"}]})",
                R"(board: smbus[1].address: address 0x48 used twice)"},
        Refusal{"SmbusAddressMissing", R"({"smbus": [{"model": "LM75"}]})",
                R"(board: smbus[0].address: missing: every SMBus chip needs its 7-bit address)"},
        Refusal{"UnknownSmbusModel", R"({"smbus": [{"address": 1, "model": "LM76"}]})",
                R"(board: smbus[0].model: unknown model "LM76")"},
        Refusal{"SmbusNotAList", R"({"smbus": {"address": 1}})", R"(board: smbus: expected an array, got object)"},
        Refusal{"LpcDeviceAbove0xFFFF", R"({"pci": {"lpc_device": "0x10000"}})",
                R"(board: pci.lpc_device: value out of range 0..0xFFFF)"},
        Refusal{"SmbusBarAbove32Bits", R"({"pci": {"smbus_bar": 4294967296}})",
                R"(board: pci.smbus_bar: value out of range 0..0xFFFFFFFF)"},
        Refusal{"SmbusHostcfgAbove0xFF", R"({"pci": {"smbus_hostcfg": "0x100"}})",
                R"(board: pci.smbus_hostcfg: value out of range 0..0xFF)"},
        Refusal{"EnableBitsStickNotBoolean", R"({"pci": {"enable_bits_stick": 1}})",
                R"(board: pci.enable_bits_stick: expected true or false, got number)"},
        Refusal{"UnknownFamily", R"({"family": "xp"})",
                R"(board: family: unknown family "xp" (expected "nt" or "9x"))"},
        Refusal{
            "UnknownDiskAccess", R"({"disk_access": "maybe"})",
            R"(board: disk_access: unknown disk access "maybe" (expected "direct", "denied", "absent" or "no_rawio"))"},
        Refusal{"PortAccessNotBoolean", R"({"port_access": "yes"})",
                R"(board: port_access: expected true or false, got string)"},
        Refusal{"DriveAbove7", R"({"disks": [{"drive": 8}]})", R"(board: disks[0].drive: drive out of range 0..7)"},
        Refusal{"DriveTwice", R"({"disks": [{"drive": 1}, {"drive": 1}]})",
                R"(board: disks[1].drive: drive 1 listed twice)"},
        Refusal{"NineDisks", R"({"disks": [{}, {}, {}, {}, {}, {}, {}, {}, {}]})",
                R"(board: disks: more than 8 disks)"},
        Refusal{"AttributeEntryAbove41", R"({"disks": [{"attribute_entry": 42}]})",
                R"(board: disks[0].attribute_entry: attribute entry out of range -1..41)"},
        Refusal{"SctTemperatureAbove255", R"({"disks": [{"sct_temperature": 256}]})",
                R"(board: disks[0].sct_temperature: temperature out of range -128..255)"},
        Refusal{"AttributeEntryBelowMinus1", R"({"disks": [{"attribute_entry": -2}]})",
                R"(board: disks[0].attribute_entry: attribute entry out of range -1..41)"},
        Refusal{"DiskTemperatureAbove255", R"({"disks": [{"temperature": 256}]})",
                R"(board: disks[0].temperature: temperature out of range -128..255)"},
        Refusal{"SerialOf21Characters", R"({"disks": [{"serial": "123456789012345678901"}]})",
                R"(board: disks[0].serial: longer than 20 characters)"},
        Refusal{"SmartNotBoolean", R"({"disks": [{"smart": "no"}]})",
                R"(board: disks[0].smart: expected true or false, got string)"},
        Refusal{"BoardNotAnObject", R"([1, 2])", R"(board: the board must be a JSON object)"},
        // A misspelt key would leave its part at the defaults: every object refuses keys it does not know.
        Refusal{
            "UnknownTopLevelKey", R"({"famly": "9x"})",
            R"(board: famly: unknown key (expected family, port_access, disk_access, pci, isa, smbus, disks or kernel))"},
        Refusal{"UnknownPciKey", R"({"pci": {"host_vendr": 1}})",
                "board: pci.host_vendr: unknown key (expected host_vendor, lpc_device, smbus_command, smbus_hostcfg, "
                "smbus_bar or enable_bits_stick)"},
        Refusal{"UnknownIsaKey", R"({"isa": {"model": "LM87", "register": {"0x20": 1}}})",
                R"(board: isa.register: unknown key (expected model, vendor, chip_id, registers or banks))"},
        Refusal{"UnknownSmbusKeyBeforeMissingAddress", R"({"smbus": [{"address": 1}, {"adress": 72}]})",
                "board: smbus[1].adress: unknown key (expected address, model, vendor, chip_id, registers or banks)"},
        Refusal{"UnknownDiskKey", R"({"disks": [{"model": "A"}, {"temprature": 40}]})",
                "board: disks[1].temprature: unknown key (expected kind, drive, model, serial, firmware, "
                "temperature, attribute_entry, smart, airflow_temperature, sct_temperature or power)"},
        Refusal{"NvmePowerStateAbove31", R"({"disks": [{"kind": "nvme", "power": 32}]})",
                "board: disks[0].power: power state out of range 0..0x1F"},
        Refusal{
            "UnknownPowerWord", R"({"disks": [{"power": "sleep"}]})",
            R"(board: disks[0].power: unknown power state "sleep" (expected active, standby, unanswered or a number))"},
        Refusal{"UnknownDiskKind", R"({"disks": [{"kind": "scsi"}]})",
                R"(board: disks[0].kind: unknown disk kind "scsi" (expected ata or nvme))"},
        Refusal{"AtaKeyOnAnNvmeDisk", R"({"disks": [{"kind": "nvme", "attribute_entry": 2}]})",
                "board: disks[0].attribute_entry: not a key of an nvme disk"},
        Refusal{"NvmeControllerTwice", R"({"disks": [{"kind": "nvme", "drive": 1}, {"kind": "nvme", "drive": 1}]})",
                "board: disks[1].drive: drive 1 listed twice"},
        Refusal{
            "UnknownKeyThatIsNoNameIsQuotedAndEscaped", R"({"fam\nily": "9x"})",
            R"(board: "fam\nily": unknown key (expected family, port_access, disk_access, pci, isa, smbus, disks or kernel))"},
        // The parser alone would keep the last of repeated keys.
        Refusal{"RepeatedTopLevelKey", R"({"family": "9x", "port_access": true, "family": "nt"})",
                R"(board: family: duplicate key)"},
        Refusal{"RepeatedObjectKey", R"({"isa": {"model": "LM87"}, "isa": {}})", R"(board: isa: duplicate key)"},
        Refusal{"RepeatedPciKey", R"({"pci": {"smbus_bar": 1, "smbus_bar": 2}})",
                R"(board: pci.smbus_bar: duplicate key)"},
        Refusal{"RepeatedSmbusKey", R"({"smbus": [{"address": 1}, {"address": 2, "model": "LM75", "model": "LM90"}]})",
                R"(board: smbus[1].model: duplicate key)"},
        Refusal{"RepeatedDiskKey", R"({"disks": [{"serial": "A", "smart": true, "serial": "B"}]})",
                R"(board: disks[0].serial: duplicate key)"},
        Refusal{"RepeatedRegisterKey", R"({"isa": {"registers": {"0x20": 1, "0x20": 2}}})",
                R"(board: isa.registers."0x20": duplicate key)"},
        Refusal{"RepeatedUnknownKeyIsNamedAsRepeated", R"({"extra": 1, "extra": 2})", R"(board: extra: duplicate key)"},
        Refusal{"RegisterInHexAndDecimal", R"({"isa": {"registers": {"0x20": 1, "32": 2}}})",
                R"(board: isa.registers."32": register 0x20 given twice)"},
        Refusal{"RegisterWithLeadingZeros", R"({"smbus": [{"address": 1, "registers": {"0x0": 1, "0x00": 2}}]})",
                R"(board: smbus[0].registers."0x00": register 0x0 given twice)"},
        Refusal{"BankInHexAndDecimal", R"({"isa": {"banks": {"1": {"0x50": 1}, "0x1": {"0x51": 2}}}})",
                R"(board: isa.banks."1": bank 1 given twice)"},
        Refusal{"BankZeroRepeatsRegisters", R"({"isa": {"registers": {"0x50": 1}, "banks": {"0": {"0x50": 2}}}})",
                R"(board: isa.banks."0"."0x50": register 0x50 given twice)"},
        Refusal{"NestedDeeperThanAnyBoard", R"({"isa": [[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]]})",
                R"(board: nested deeper than 16 levels)"},
        // Echoed values stay on one line and short.
        Refusal{"ControlCharactersInAValueAreEscaped", R"({"family": "n\nt\t\r\u0001\u007f\u0085\u2028\\\""})",
                R"(board: family: unknown family "n\nt\t\r\x01\x7F\u0085\u2028\\\"" (expected "nt" or "9x"))"},
        Refusal{"LongValueIsCut",
                R"({"isa": {"model": "0123456789012345678901234567890123456789012345678901234567890123456789"}})",
                "board: isa.model: unknown model \"0123456789012345678901234567890123456789012345678901234567890123"
                "\xE2\x80\xA6\""},
        Refusal{
            "LongValueIsCutBetweenCharacters",
            R"({"isa": {"model": "ÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄ"}})",
            R"(board: isa.model: unknown model "ÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄ…")"},
        // The limits of the drive's strings count characters, not bytes.
        Refusal{"ModelOf41MultiByteCharacters",
                R"({"disks": [{"model": "ÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄ"}]})",
                R"(board: disks[0].model: longer than 40 characters)"},
        Refusal{"FirmwareOf9Characters", R"({"disks": [{"firmware": "°°°°°°°°°"}]})",
                R"(board: disks[0].firmware: longer than 8 characters)"}),
    RefusalName);

std::string KernelDevices(int count)
{
    std::string list;
    for (int i = 0; i < count; ++i) {
        list += std::string(i > 0 ? ", " : "") + R"({"name": "jc42"})";
    }
    return R"({"kernel": {"devices": [)" + list + "]}}";
}

const std::string kSixtyFiveKernelDevices = KernelDevices(65);
const std::string kLabelOf256Bytes =
    R"({"kernel": {"devices": [{"inputs": [{"kind": "in", "label": ")" + std::string(256, 'v') + R"("}]}]}})";

INSTANTIATE_TEST_SUITE_P(
    KernelRefusals, SimBoardRefusal,
    ::testing::Values(
        Refusal{"UnknownKernelDeviceKey", R"({"kernel": {"devices": [{"name": "nct6798", "bus": "platform"}]}})",
                "board: kernel.devices[0].bus: unknown key (expected name, bus_path, inputs, pwm, ata_drive or "
                "nvme_controller)"},
        Refusal{"UnknownKernelInputKind",
                R"({"kernel": {"devices": [{}, {"inputs": [{"kind": "temp"}, {"kind": "volt"}]}]}})",
                R"(board: kernel.devices[1].inputs[1].kind: unknown kind "volt" (expected "temp", "in" or "fan"))"},
        Refusal{"KernelInputValueNotANumber",
                R"({"kernel": {"devices": [{"inputs": [{"kind": "temp", "value": "hot"}]}]}})",
                R"(board: kernel.devices[0].inputs[0].value: expected a number or null, got string)"},
        Refusal{"KernelInputKindMissing", R"({"kernel": {"devices": [{"inputs": [{"number": 1}]}]}})",
                R"(board: kernel.devices[0].inputs[0].kind: missing: "temp", "in" or "fan")"},
        Refusal{"KernelPwmNumberZero", R"({"kernel": {"devices": [{"pwm": [{"number": 0}]}]}})",
                R"(board: kernel.devices[0].pwm[0].number: pwm number out of range 1..0xFF)"},
        Refusal{"KernelPwmListedTwice", R"({"kernel": {"devices": [{"pwm": [{"number": 2}, {"number": 2}]}]}})",
                R"(board: kernel.devices[0].pwm[1].number: pwm2 listed twice)"},
        Refusal{"KernelInputListedTwice",
                R"({"kernel": {"devices": [{"inputs": [{"kind": "fan", "number": 1}, {"kind": "fan", "number": 1}]}]}})",
                R"(board: kernel.devices[0].inputs[1].number: input number 1 of this kind listed twice)"},
        Refusal{"KernelPwmWritableNotBoolean", R"({"kernel": {"devices": [{"pwm": [{"writable": 1}]}]}})",
                R"(board: kernel.devices[0].pwm[0].writable: expected true or false, got number)"},
        Refusal{"KernelLabelLongerThan255Bytes", kLabelOf256Bytes.c_str(),
                R"(board: kernel.devices[0].inputs[0].label: longer than 255 bytes)"},
        Refusal{"SixtyFiveKernelDevices", kSixtyFiveKernelDevices.c_str(),
                R"(board: kernel.devices: expected an array of at most 64 devices)"},
        Refusal{"UnknownKernelKey", R"({"kernel": {"device": []}})",
                R"(board: kernel.device: unknown key (expected devices))"}),
    RefusalName);

TEST(SimBoardFile, MalformedJsonIsRefusedInOneLine)
{
    for (const char* text : {"", "{", R"({"isa": })", "{\"a\": \"\xff\"}", "{} trailing", "{\"a\n\tb\x01\xc3\": 1}",
                             "{\"a\": \"b\nc\"}"}) {
        std::string error;
        EXPECT_FALSE(ParseBoard(text, error)) << text;
        EXPECT_EQ(error.rfind("board: malformed JSON: ", 0), 0u) << error;
        for (char c : error) {
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << error;
        }
        EXPECT_EQ(error.find('\xff'), std::string::npos) << error;
    }
}

TEST(SimBoardFile, MalformedJsonKeepsOnlyTheEndOfALongReading)
{
    // An invalid escape at the end of a 5000-character string: the parser quotes the whole string.
    const std::string text = R"({"isa": {"model": ")" + std::string(5000, 'A') + "\\q\"}}";
    std::string error;
    EXPECT_FALSE(ParseBoard(text, error));
    EXPECT_LT(error.size(), 300u) << error;
    EXPECT_NE(error.find("\xE2\x80\xA6" + std::string(62, 'A') + "\\q'"), std::string::npos) << error;
}

TEST(SimBoardFile, DiskStringsAtTheLimitInMultiByteCharactersAreTaken)
{
    std::string model;
    for (int i = 0; i < 40; ++i) {
        model += "\xC3\x84"; // U+00C4, two bytes
    }
    BoardDescription board = MustParse(R"({"disks": [{"model": ")" + model +
                                       R"(", "serial": "€€€€€€€€€€€€€€€€€€€€", "firmware": "°°°°°°°°"}]})");
    ASSERT_EQ(board.disks.size(), 1u);
    EXPECT_EQ(board.disks[0].model, model);
    EXPECT_EQ(board.disks[0].serial.size(), 60u);
    EXPECT_EQ(board.disks[0].firmware.size(), 16u);
}

TEST(SimBoardFile, FileNameInAnErrorStaysOnOneLine)
{
    std::string error;
    EXPECT_FALSE(LoadBoardFile("/nonexistent/a\nb.json", error));
    EXPECT_EQ(error, R"(board: cannot open /nonexistent/a\nb.json)");
}

TEST(SimBoardFile, MissingFileIsRefused)
{
    std::string error;
    EXPECT_FALSE(LoadBoardFile("/nonexistent/board.json", error));
    EXPECT_EQ(error, "board: cannot open /nonexistent/board.json");
}

TEST(SimBoardFile, ShippedBoardsParse)
{
    const char* sourceDir = std::getenv("CALVENTA_SOURCE_DIR");
    if (sourceDir == nullptr) {
        GTEST_SKIP() << "CALVENTA_SOURCE_DIR not set";
    }
    std::filesystem::path boards = std::filesystem::path(sourceDir) / "boards";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(boards)) {
        if (entry.path().extension() != ".json") {
            continue;
        }
        std::string error;
        EXPECT_TRUE(LoadBoardFile(entry.path().string(), error)) << error;
        ++count;
    }
    EXPECT_GE(count, 2);

    std::string error;
    auto demo = LoadBoardFile((boards / "demo.json").string(), error);
    ASSERT_TRUE(demo) << error;
    ASSERT_TRUE(demo->isa);
    EXPECT_EQ(demo->isa->model, ChipModel::W83627HF);
    ASSERT_EQ(demo->smbus.size(), 1u);
    EXPECT_EQ(demo->smbus[0].chip.model, ChipModel::Lm75);
    EXPECT_EQ(demo->disks.size(), 2u);
}

} // namespace
} // namespace calventa::sim
