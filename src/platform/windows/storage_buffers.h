#pragma once

// The byte layouts of the Windows disk driver's S.M.A.R.T. and storage-query blocks, built
// and read field by field. No system header: the same code is tested on recorded answers on
// every build, and nothing here trusts a byte the driver returned.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/smart_device.h"

namespace calventa::platform::windows_backend {

// SMART_GET_VERSION's control code and its answer (GETVERSIONINPARAMS, 24 bytes).
inline constexpr uint32_t kSmartGetVersion = 0x74080;
inline constexpr size_t kGetVersionSize = 24;
inline constexpr uint32_t kCapSmartCommands = 0x04; // CAP_SMART_CMD

struct SmartVersion
{
    uint8_t version = 0;
    uint8_t revision = 0;
    uint8_t ideDeviceMap = 0;
    uint32_t capabilities = 0;
    bool SmartCommands() const { return (capabilities & kCapSmartCommands) != 0; }
};
std::optional<SmartVersion> ParseSmartVersion(std::span<const uint8_t> answer);

// SENDCMDINPARAMS as passed to the driver: the first 32 bytes (its one-byte data buffer is
// not passed). SENDCMDOUTPARAMS: a 16-byte header (buffer size, DRIVERSTATUS), then data.
inline constexpr size_t kSendCmdInSize = kSmartInputLength;
inline constexpr size_t kSendCmdOutHeaderSize = kSmartStatusOutputLength;
std::array<uint8_t, kSendCmdInSize> BuildSendCmdIn(const SmartCommand& command);

struct DriverStatus
{
    uint8_t driverError = 0;
    uint8_t ideError = 0;
};
// The status header of an answer; nullopt when fewer than 16 bytes came back.
std::optional<DriverStatus> ParseDriverStatus(std::span<const uint8_t> answer, size_t returned);
// The data page of an answer to a command that returns one; nullopt unless the whole page
// came back (returned counts the header too).
std::optional<SmartDataPage> ParseSmartDataPage(std::span<const uint8_t> answer, size_t returned);

// IOCTL_STORAGE_QUERY_PROPERTY and its properties.
inline constexpr uint32_t kIoctlStorageQueryProperty = 0x2D1400;
inline constexpr uint32_t kStorageDeviceProperty = 0;
inline constexpr uint32_t kStorageAdapterProtocolSpecificProperty = 49;
inline constexpr uint32_t kStorageDeviceProtocolSpecificProperty = 50;
inline constexpr uint32_t kStorageDeviceTemperatureProperty = 52;
inline constexpr uint32_t kPropertyStandardQuery = 0;
inline constexpr size_t kPropertyQuerySize = 12;

std::vector<uint8_t> BuildPropertyQuery(uint32_t propertyId);

// STORAGE_BUS_TYPE values that matter here.
inline constexpr uint32_t kBusTypeAta = 3;
inline constexpr uint32_t kBusTypeSata = 11;
inline constexpr uint32_t kBusTypeNvme = 17;

// STORAGE_DEVICE_DESCRIPTOR: the bus and the identity strings (vendor, product, revision,
// serial) that Windows publishes to every user.
struct StorageDeviceDescriptor
{
    uint32_t busType = 0;
    bool removable = false;
    std::string vendor;
    std::string product;
    std::string revision;
    std::string serial;
};
std::optional<StorageDeviceDescriptor> ParseStorageDeviceDescriptor(std::span<const uint8_t> answer, size_t returned);

// STORAGE_TEMPERATURE_DATA_DESCRIPTOR (the mingw headers lack it): the temperature of the
// whole device (sensor index 0, else the first one reported) in °C.
inline constexpr size_t kTemperatureDescriptorHeaderSize = 24;
inline constexpr size_t kTemperatureInfoSize = 16;
std::optional<int16_t> ParseDeviceTemperature(std::span<const uint8_t> answer, size_t returned);

// The NVMe protocol-specific queries: STORAGE_PROPERTY_QUERY's first 8 bytes, then
// STORAGE_PROTOCOL_SPECIFIC_DATA (40 bytes), then room for the returned data. The answer
// comes back in the same buffer as STORAGE_PROTOCOL_DATA_DESCRIPTOR (version and size 48).
inline constexpr uint32_t kProtocolTypeNvme = 3;
inline constexpr uint32_t kNvmeDataTypeIdentify = 1;
inline constexpr uint32_t kNvmeDataTypeLogPage = 2;
inline constexpr uint32_t kNvmeDataTypeFeature = 3;
inline constexpr size_t kProtocolSpecificDataSize = 40;
inline constexpr size_t kProtocolQueryHeaderSize = 8 + kProtocolSpecificDataSize;
inline constexpr uint32_t kProtocolDataDescriptorSize = 48;

struct ProtocolQuery
{
    uint32_t propertyId = kStorageDeviceProtocolSpecificProperty;
    uint32_t dataType = 0;
    uint32_t requestValue = 0;
    uint32_t requestSubValue = 0;
    uint32_t dataLength = 0;
};

// How an NVMe admin command travels as a protocol query; nullopt for commands Windows does
// not carry this way (anything but Identify Controller, the SMART / Health log of the whole
// controller and Get Features).
std::optional<ProtocolQuery> ProtocolQueryFor(const NvmeAdminCommand& command);
std::vector<uint8_t> BuildProtocolQuery(const ProtocolQuery& query);

struct ProtocolAnswer
{
    uint32_t fixedReturnData = 0; // a feature's completion dword 0
    std::vector<uint8_t> data;    // at most the requested length
};
std::optional<ProtocolAnswer> ParseProtocolAnswer(std::span<const uint8_t> answer, size_t returned,
                                                  const ProtocolQuery& query);

} // namespace calventa::platform::windows_backend
