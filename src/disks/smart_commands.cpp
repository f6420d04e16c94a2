#include "disks/smart_commands.h"

namespace calventa::disks {

namespace {

platform::SmartCommand MakeCommand(uint32_t controlCode, uint8_t features, uint8_t cylinderLow, uint8_t cylinderHigh,
                                   uint8_t command, uint8_t driveNumber)
{
    const bool returnsData = controlCode == platform::kSmartRcvDriveData;
    platform::SmartCommand result;
    result.controlCode = controlCode;
    result.bufferSize = returnsData ? static_cast<uint32_t>(platform::kSmartDataSize) : 0;
    result.registers.features = features;
    result.registers.sectorCount = 1;
    result.registers.sectorNumber = 1;
    result.registers.cylinderLow = cylinderLow;
    result.registers.cylinderHigh = cylinderHigh;
    result.registers.driveHead = DriveHeadFor(driveNumber);
    result.registers.command = command;
    result.driveNumber = driveNumber;
    result.outputLength = returnsData ? platform::kSmartDataOutputLength : platform::kSmartStatusOutputLength;
    return result;
}

} // namespace

uint8_t DriveHeadFor(uint8_t driveNumber)
{
    return static_cast<uint8_t>(0xA0 | ((driveNumber & 1) << 4));
}

platform::SmartCommand EnableSmartCommand(uint8_t driveNumber)
{
    return MakeCommand(platform::kSmartSendDriveCommand, kSmartEnableOperations, kSmartCylinderLow, kSmartCylinderHigh,
                       kAtaSmart, driveNumber);
}

platform::SmartCommand IdentifyDeviceCommand(uint8_t driveNumber)
{
    return MakeCommand(platform::kSmartRcvDriveData, 0x00, 0x00, 0x00, kAtaIdentifyDevice, driveNumber);
}

platform::SmartCommand ReadSmartDataCommand(uint8_t driveNumber)
{
    return MakeCommand(platform::kSmartRcvDriveData, kSmartReadData, kSmartCylinderLow, kSmartCylinderHigh, kAtaSmart,
                       driveNumber);
}

platform::SmartCommand ReadSctStatusCommand(uint8_t driveNumber)
{
    platform::SmartCommand command = MakeCommand(platform::kSmartRcvDriveData, kSmartReadLog, kSmartCylinderLow,
                                                 kSmartCylinderHigh, kAtaSmart, driveNumber);
    command.registers.sectorNumber = kSctStatusLog;
    return command;
}

platform::SmartCommand CheckPowerModeCommand(uint8_t driveNumber)
{
    platform::SmartCommand command;
    command.controlCode = platform::kSmartSendDriveCommand;
    command.registers.driveHead = DriveHeadFor(driveNumber);
    command.registers.command = kAtaCheckPowerMode;
    command.driveNumber = driveNumber;
    command.outputLength = platform::kSmartStatusOutputLength;
    command.returnsRegisters = true;
    return command;
}

PowerMode PowerModeOf(std::optional<uint8_t> sectorCount)
{
    if (!sectorCount) {
        return PowerMode::Unknown;
    }
    switch (*sectorCount) {
    case 0x00:
    case 0x01:
    case 0x40:
        return PowerMode::Standby;
    case 0x41:
    case 0x80:
    case 0x81:
    case 0x82:
    case 0x83:
    case 0xFF:
        return PowerMode::Active;
    default:
        return PowerMode::Unknown;
    }
}

std::string AtaString(const platform::SmartDataPage& page, size_t offset, size_t length)
{
    std::string text;
    for (size_t i = 0; i < length && offset + (i ^ 1) < page.size(); ++i) {
        text.push_back(static_cast<char>(page[offset + (i ^ 1)]));
    }
    const size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

IdentityStrings ReadIdentityStrings(const platform::SmartDataPage& identify)
{
    return {AtaString(identify, kIdentifyModelOffset, kIdentifyModelLength),
            AtaString(identify, kIdentifySerialOffset, kIdentifySerialLength),
            AtaString(identify, kIdentifyFirmwareOffset, kIdentifyFirmwareLength)};
}

namespace {

std::optional<int32_t> FindAttributeRawLowByte(const platform::SmartDataPage& smartData, uint8_t attribute)
{
    for (size_t entry = 0; entry < kAttributeEntries; ++entry) {
        const size_t offset = kAttributeTableOffset + entry * kAttributeEntrySize;
        if (smartData[offset] == attribute) {
            return static_cast<int8_t>(smartData[offset + kAttributeRawLowByte]);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<int32_t> FindTemperatureAttribute(const platform::SmartDataPage& smartData)
{
    return FindAttributeRawLowByte(smartData, kTemperatureAttribute);
}

std::optional<AtaTemperature> FindAtaTemperature(const platform::SmartDataPage& smartData)
{
    if (const auto celsius = FindAttributeRawLowByte(smartData, kTemperatureAttribute)) {
        return AtaTemperature{*celsius, core::DiskTemperatureSource::Attribute194};
    }
    if (const auto celsius = FindAttributeRawLowByte(smartData, kAirflowTemperatureAttribute)) {
        return AtaTemperature{*celsius, core::DiskTemperatureSource::Attribute190};
    }
    return std::nullopt;
}

bool SupportsSctStatus(const platform::SmartDataPage& identify)
{
    const uint16_t word =
        static_cast<uint16_t>(identify[kIdentifySctWordOffset] | (identify[kIdentifySctWordOffset + 1] << 8));
    // 0xFFFF is what a word the drive does not implement reads as.
    return word != 0xFFFF && (word & 0x0001) != 0;
}

std::optional<int32_t> SctStatusTemperature(const platform::SmartDataPage& sctStatus)
{
    const uint16_t version = static_cast<uint16_t>(sctStatus[0] | (sctStatus[1] << 8));
    if (version != 2 && version != 3) {
        return std::nullopt;
    }
    const uint8_t raw = sctStatus[kSctCurrentTemperatureOffset];
    if (raw == kSctNoTemperature) {
        return std::nullopt;
    }
    return static_cast<int8_t>(raw);
}

} // namespace calventa::disks
