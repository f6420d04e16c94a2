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

std::optional<int32_t> FindTemperatureAttribute(const platform::SmartDataPage& smartData)
{
    for (size_t entry = 0; entry < kAttributeEntries; ++entry) {
        const size_t offset = kAttributeTableOffset + entry * kAttributeEntrySize;
        if (smartData[offset] == kTemperatureAttribute) {
            return static_cast<int8_t>(smartData[offset + kAttributeRawLowByte]);
        }
    }
    return std::nullopt;
}

} // namespace calventa::disks
