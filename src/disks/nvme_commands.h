#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "disks/smart_commands.h"
#include "platform/smart_device.h"

namespace calventa::disks {

// Admin command opcodes and their fixed values.
inline constexpr uint8_t kNvmeGetLogPage = 0x02;
inline constexpr uint8_t kNvmeIdentify = 0x06;
inline constexpr uint8_t kNvmeGetFeatures = 0x0A;
inline constexpr uint32_t kNvmePowerManagement = 0x02;     // feature identifier: the current power state
inline constexpr uint32_t kNvmeIdentifyController = 0x01;  // CNS in command dword 10
inline constexpr uint8_t kNvmeSmartHealthLog = 0x02;       // log identifier
inline constexpr uint32_t kNvmeAllNamespaces = 0xFFFFFFFF; // the controller's log, not one namespace's
inline constexpr uint32_t kNvmeIdentifySize = 4096;
inline constexpr uint32_t kNvmeSmartHealthLogSize = 512;

// Identify Controller: ASCII fields, blank padded.
inline constexpr size_t kNvmeSerialOffset = 4;
inline constexpr size_t kNvmeSerialLength = 20;
inline constexpr size_t kNvmeModelOffset = 24;
inline constexpr size_t kNvmeModelLength = 40;
inline constexpr size_t kNvmeFirmwareOffset = 64;
inline constexpr size_t kNvmeFirmwareLength = 8;

// Identify Controller: the number of power states less one, and their 32-byte descriptors,
// whose byte 3 bit 1 marks a non-operational state.
inline constexpr size_t kNvmeNpssOffset = 263;
inline constexpr size_t kNvmePowerStateDescriptors = 2048;
inline constexpr size_t kNvmePowerStateDescriptorSize = 32;
inline constexpr uint8_t kNvmeNonOperationalBit = 0x02;
inline constexpr size_t kNvmePowerStates = 32;

// SMART / Health Information: the composite temperature, 16-bit little-endian Kelvin.
inline constexpr size_t kNvmeCompositeTemperatureOffset = 1;
inline constexpr int32_t kKelvinAtZeroCelsius = 273;
// A controller reporting beyond these has no usable reading (0 and 0xFFFF are "none").
inline constexpr int32_t kNvmeHighestPlausibleCelsius = 200;
inline constexpr int32_t kNvmeLowestPlausibleCelsius = -60;

platform::NvmeAdminCommand IdentifyControllerCommand();
// The SMART / Health Information log of the whole controller, 512 bytes.
platform::NvmeAdminCommand SmartHealthLogCommand();

// An Identify Controller text field: ends at the first NUL, trailing blanks cut, bytes that
// are not printable ASCII shown as '?'. Never reads beyond the page.
// Get Features of Power Management: the completion's bits 0..4 are the current power state.
// No data, so it is no I/O command and leaves the controller's power state alone.
platform::NvmeAdminCommand PowerStateCommand();
uint8_t PowerStateOf(uint32_t completion);
// Which of the controller's power states are non-operational; states beyond its count are not.
std::array<bool, kNvmePowerStates> NonOperationalPowerStates(const platform::NvmeDataPage& identify);

std::string NvmeString(const platform::NvmeDataPage& page, size_t offset, size_t length);
IdentityStrings ReadNvmeIdentity(const platform::NvmeDataPage& identify);

// The composite temperature in °C (Kelvin − 273); nullopt for 0, 0xFFFF or a value outside
// kNvmeLowestPlausibleCelsius..kNvmeHighestPlausibleCelsius.
std::optional<int32_t> NvmeCompositeTemperature(const platform::NvmeDataPage& smartHealthLog);

// The identity the system publishes, cut to the Identify fields' lengths (the table's
// fields) and shown as NvmeString shows Identify's.
IdentityStrings PublishedNvmeIdentity(const platform::NvmePublishedIdentity& published);

// A published composite temperature (thousandths of a °C) in whole °C, rounded up as the
// kernel chips' readings are; nullopt outside the plausible range NvmeCompositeTemperature keeps.
std::optional<int32_t> PublishedNvmeCelsius(int64_t milliCelsius);

} // namespace calventa::disks
