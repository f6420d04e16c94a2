#include "platform/windows/storage_buffers.h"

#include <algorithm>

namespace calventa::platform::windows_backend {

namespace {

constexpr uint8_t kAdminGetLogPage = 0x02;
constexpr uint8_t kAdminIdentify = 0x06;
constexpr uint8_t kAdminGetFeatures = 0x0A;
constexpr uint32_t kIdentifyController = 0x01; // CNS
constexpr uint32_t kHealthInformationLog = 0x02;
constexpr size_t kDeviceDescriptorFixedSize = 36; // up to RawDeviceProperties

uint32_t Dword(std::span<const uint8_t> bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

uint16_t Word(std::span<const uint8_t> bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

void PutDword(std::span<uint8_t> bytes, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// The bytes the driver really returned: never more than the buffer holds.
std::span<const uint8_t> Returned(std::span<const uint8_t> answer, size_t returned)
{
    return answer.first(std::min(answer.size(), returned));
}

// A string the descriptor points at: from offset to its terminator or the end of what came
// back, blanks cut at both ends, bytes other than printable ASCII shown as '?'. Offset 0
// means none; one inside the fixed part points at no string.
std::string DescriptorString(std::span<const uint8_t> bytes, uint32_t offset)
{
    if (offset < kDeviceDescriptorFixedSize || offset >= bytes.size()) {
        return {};
    }
    std::string text;
    for (size_t i = offset; i < bytes.size() && bytes[i] != 0; ++i) {
        const uint8_t c = bytes[i];
        text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

std::optional<SmartVersion> ParseSmartVersion(std::span<const uint8_t> answer)
{
    if (answer.size() < kGetVersionSize) {
        return std::nullopt;
    }
    SmartVersion version;
    version.version = answer[0];
    version.revision = answer[1];
    version.ideDeviceMap = answer[3];
    version.capabilities = Dword(answer, 4);
    return version;
}

std::array<uint8_t, kSendCmdInSize> BuildSendCmdIn(const SmartCommand& command)
{
    std::array<uint8_t, kSendCmdInSize> block{};
    PutDword(block, 0, command.bufferSize);
    const IdeRegisters& r = command.registers;
    block[4] = r.features;
    block[5] = r.sectorCount;
    block[6] = r.sectorNumber;
    block[7] = r.cylinderLow;
    block[8] = r.cylinderHigh;
    block[9] = r.driveHead;
    block[10] = r.command;
    block[12] = command.driveNumber;
    return block;
}

std::optional<DriverStatus> ParseDriverStatus(std::span<const uint8_t> answer, size_t returned)
{
    const auto bytes = Returned(answer, returned);
    if (bytes.size() < kSendCmdOutHeaderSize) {
        return std::nullopt;
    }
    return DriverStatus{bytes[4], bytes[5]};
}

std::optional<SmartDataPage> ParseSmartDataPage(std::span<const uint8_t> answer, size_t returned)
{
    const auto bytes = Returned(answer, returned);
    if (bytes.size() < kSendCmdOutHeaderSize + kSmartDataSize) {
        return std::nullopt;
    }
    SmartDataPage page{};
    std::copy_n(bytes.begin() + kSendCmdOutHeaderSize, kSmartDataSize, page.begin());
    return page;
}

std::vector<uint8_t> BuildPropertyQuery(uint32_t propertyId)
{
    std::vector<uint8_t> query(kPropertyQuerySize, 0);
    PutDword(query, 0, propertyId);
    PutDword(query, 4, kPropertyStandardQuery);
    return query;
}

std::optional<StorageDeviceDescriptor> ParseStorageDeviceDescriptor(std::span<const uint8_t> answer, size_t returned)
{
    auto bytes = Returned(answer, returned);
    if (bytes.size() < kDeviceDescriptorFixedSize) {
        return std::nullopt;
    }
    // The descriptor's own size bounds its strings too.
    const uint32_t size = Dword(bytes, 4);
    if (size < kDeviceDescriptorFixedSize) {
        return std::nullopt;
    }
    bytes = bytes.first(std::min<size_t>(bytes.size(), size));
    StorageDeviceDescriptor descriptor;
    descriptor.removable = bytes[10] != 0;
    descriptor.vendor = DescriptorString(bytes, Dword(bytes, 12));
    descriptor.product = DescriptorString(bytes, Dword(bytes, 16));
    descriptor.revision = DescriptorString(bytes, Dword(bytes, 20));
    descriptor.serial = DescriptorString(bytes, Dword(bytes, 24));
    descriptor.busType = Dword(bytes, 28);
    return descriptor;
}

std::optional<int16_t> ParseDeviceTemperature(std::span<const uint8_t> answer, size_t returned)
{
    auto bytes = Returned(answer, returned);
    if (bytes.size() < kTemperatureDescriptorHeaderSize + kTemperatureInfoSize) {
        return std::nullopt;
    }
    const uint32_t size = Dword(bytes, 4);
    if (size < kTemperatureDescriptorHeaderSize + kTemperatureInfoSize) {
        return std::nullopt;
    }
    bytes = bytes.first(std::min<size_t>(bytes.size(), size));
    const size_t count =
        std::min<size_t>(Word(bytes, 12), (bytes.size() - kTemperatureDescriptorHeaderSize) / kTemperatureInfoSize);
    std::optional<int16_t> first;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kTemperatureDescriptorHeaderSize + i * kTemperatureInfoSize;
        const auto celsius = static_cast<int16_t>(Word(bytes, at + 2));
        if (Word(bytes, at) == 0) {
            return celsius;
        }
        if (!first) {
            first = celsius;
        }
    }
    return first;
}

std::optional<ProtocolQuery> ProtocolQueryFor(const NvmeAdminCommand& command)
{
    ProtocolQuery query;
    switch (command.opcode) {
    case kAdminIdentify:
        // Only the controller's identity: the namespaces' are not asked for.
        if (command.cdw10 != kIdentifyController || command.dataLength == 0 || command.dataLength > kNvmeDataSize) {
            return std::nullopt;
        }
        query.propertyId = kStorageAdapterProtocolSpecificProperty;
        query.dataType = kNvmeDataTypeIdentify;
        query.requestValue = kIdentifyController;
        query.dataLength = command.dataLength;
        return query;
    case kAdminGetLogPage:
        if ((command.cdw10 & 0xFF) != kHealthInformationLog || command.dataLength == 0 ||
            command.dataLength > kNvmeDataSize) {
            return std::nullopt;
        }
        query.propertyId = kStorageDeviceProtocolSpecificProperty;
        query.dataType = kNvmeDataTypeLogPage;
        query.requestValue = kHealthInformationLog;
        query.dataLength = command.dataLength;
        return query;
    case kAdminGetFeatures:
        if (command.dataLength != 0) {
            return std::nullopt;
        }
        query.propertyId = kStorageDeviceProtocolSpecificProperty;
        query.dataType = kNvmeDataTypeFeature;
        query.requestValue = command.cdw10 & 0xFF; // the feature; SEL 0, the current value
        query.requestSubValue = command.cdw11;
        return query;
    default:
        return std::nullopt;
    }
}

std::vector<uint8_t> BuildProtocolQuery(const ProtocolQuery& query)
{
    std::vector<uint8_t> buffer(kProtocolQueryHeaderSize + query.dataLength, 0);
    PutDword(buffer, 0, query.propertyId);
    PutDword(buffer, 4, kPropertyStandardQuery);
    PutDword(buffer, 8, kProtocolTypeNvme);
    PutDword(buffer, 12, query.dataType);
    PutDword(buffer, 16, query.requestValue);
    PutDword(buffer, 20, query.requestSubValue);
    PutDword(buffer, 24, query.dataLength == 0 ? 0 : static_cast<uint32_t>(kProtocolSpecificDataSize));
    PutDword(buffer, 28, query.dataLength);
    return buffer;
}

std::optional<ProtocolAnswer> ParseProtocolAnswer(std::span<const uint8_t> answer, size_t returned,
                                                  const ProtocolQuery& query)
{
    const auto bytes = Returned(answer, returned);
    if (bytes.size() < kProtocolDataDescriptorSize || Dword(bytes, 0) != kProtocolDataDescriptorSize ||
        Dword(bytes, 4) != kProtocolDataDescriptorSize) {
        return std::nullopt;
    }
    ProtocolAnswer result;
    result.fixedReturnData = Dword(bytes, 8 + 24);
    if (query.dataLength == 0) {
        return result;
    }
    // The data lies at the offset the driver gives, counted from the protocol data's start;
    // it must hold the whole page asked for, inside what came back.
    const uint64_t offset = Dword(bytes, 8 + 16);
    const uint64_t length = Dword(bytes, 8 + 20);
    if (offset < kProtocolSpecificDataSize || length < query.dataLength ||
        8 + offset + query.dataLength > bytes.size()) {
        return std::nullopt;
    }
    const auto start = bytes.begin() + static_cast<std::ptrdiff_t>(8 + offset);
    result.data.assign(start, start + query.dataLength);
    return result;
}

} // namespace calventa::platform::windows_backend
