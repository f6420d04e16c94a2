#include "disks/nvme_commands.h"

#include <algorithm>

#include "core/numeric.h"

namespace calventa::disks {

platform::NvmeAdminCommand IdentifyControllerCommand()
{
    platform::NvmeAdminCommand command;
    command.opcode = kNvmeIdentify;
    command.cdw10 = kNvmeIdentifyController;
    command.dataLength = kNvmeIdentifySize;
    return command;
}

platform::NvmeAdminCommand SmartHealthLogCommand()
{
    // Command dword 10: the log identifier in bits 0..7, the number of dwords less one in
    // bits 16..31 (NUMDL; NUMDU in dword 11 stays 0 for a page this small).
    constexpr uint32_t dwordsLessOne = kNvmeSmartHealthLogSize / 4 - 1;
    platform::NvmeAdminCommand command;
    command.opcode = kNvmeGetLogPage;
    command.namespaceId = kNvmeAllNamespaces;
    command.cdw10 = kNvmeSmartHealthLog | (dwordsLessOne << 16);
    command.dataLength = kNvmeSmartHealthLogSize;
    return command;
}

platform::NvmeAdminCommand PowerStateCommand()
{
    platform::NvmeAdminCommand command;
    command.opcode = kNvmeGetFeatures;
    command.cdw10 = kNvmePowerManagement; // SEL 0: the current value
    return command;
}

uint8_t PowerStateOf(uint32_t completion)
{
    return static_cast<uint8_t>(completion & 0x1F);
}

std::array<bool, kNvmePowerStates> NonOperationalPowerStates(const platform::NvmeDataPage& identify)
{
    std::array<bool, kNvmePowerStates> nonOperational{};
    const size_t count = std::min<size_t>(identify[kNvmeNpssOffset] + size_t{1}, kNvmePowerStates);
    for (size_t state = 0; state < count; ++state) {
        const size_t flags = kNvmePowerStateDescriptors + state * kNvmePowerStateDescriptorSize + 3;
        nonOperational[state] = (identify[flags] & kNvmeNonOperationalBit) != 0;
    }
    return nonOperational;
}

namespace {

std::string FieldText(const uint8_t* bytes, size_t size, size_t length)
{
    std::string text;
    for (size_t i = 0; i < length && i < size; ++i) {
        const uint8_t byte = bytes[i];
        if (byte == 0) {
            break; // some controllers end a short field with a NUL instead of blanks
        }
        text.push_back(byte < 0x20 || byte > 0x7E ? '?' : static_cast<char>(byte));
    }
    const size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

std::string PublishedField(const std::string& text, size_t length)
{
    return FieldText(reinterpret_cast<const uint8_t*>(text.data()), text.size(), length);
}

} // namespace

std::string NvmeString(const platform::NvmeDataPage& page, size_t offset, size_t length)
{
    if (offset >= page.size()) {
        return {};
    }
    return FieldText(page.data() + offset, page.size() - offset, length);
}

IdentityStrings PublishedNvmeIdentity(const platform::NvmePublishedIdentity& published)
{
    return {PublishedField(published.model, kNvmeModelLength), PublishedField(published.serial, kNvmeSerialLength),
            PublishedField(published.firmware, kNvmeFirmwareLength)};
}

std::optional<int32_t> PublishedNvmeCelsius(int64_t milliCelsius)
{
    const int32_t celsius = core::CeilToInt32(static_cast<double>(milliCelsius) / 1000.0);
    if (celsius < kNvmeLowestPlausibleCelsius || celsius > kNvmeHighestPlausibleCelsius) {
        return std::nullopt;
    }
    return celsius;
}

IdentityStrings ReadNvmeIdentity(const platform::NvmeDataPage& identify)
{
    return {NvmeString(identify, kNvmeModelOffset, kNvmeModelLength),
            NvmeString(identify, kNvmeSerialOffset, kNvmeSerialLength),
            NvmeString(identify, kNvmeFirmwareOffset, kNvmeFirmwareLength)};
}

std::optional<int32_t> NvmeCompositeTemperature(const platform::NvmeDataPage& smartHealthLog)
{
    const uint16_t kelvin = static_cast<uint16_t>(smartHealthLog[kNvmeCompositeTemperatureOffset] |
                                                  (smartHealthLog[kNvmeCompositeTemperatureOffset + 1] << 8));
    if (kelvin == 0 || kelvin == 0xFFFF) {
        return std::nullopt;
    }
    const int32_t celsius = static_cast<int32_t>(kelvin) - kKelvinAtZeroCelsius;
    if (celsius < kNvmeLowestPlausibleCelsius || celsius > kNvmeHighestPlausibleCelsius) {
        return std::nullopt;
    }
    return celsius;
}

} // namespace calventa::disks
