#include "core/disk_table.h"

#include <algorithm>

namespace calventa::core {

namespace {

constexpr size_t kTemperatureSize = 4;

struct StringField
{
    size_t offset;
    size_t maxLength; // the field is one length byte and this many characters
    std::array<std::string, kMaxDisks> DiskTable::*member;
};

constexpr std::array<StringField, 3> kStringFields = {{
    {kDiskModelOffset, kDiskModelMax, &DiskTable::Model},
    {kDiskSerialOffset, kDiskSerialMax, &DiskTable::Serial},
    {kDiskFirmwareOffset, kDiskFirmwareMax, &DiskTable::Firmware},
}};

void PutInt32(std::span<uint8_t> image, size_t offset, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (size_t i = 0; i < kTemperatureSize; ++i) {
        image[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

int32_t GetInt32(std::span<const uint8_t> image, size_t offset)
{
    uint32_t bits = 0;
    for (size_t i = 0; i < kTemperatureSize; ++i) {
        bits |= static_cast<uint32_t>(image[offset + i]) << (8 * i);
    }
    return static_cast<int32_t>(bits);
}

void PutString(std::span<uint8_t> image, size_t offset, size_t maxLength, const std::string& text)
{
    const size_t length = std::min(text.size(), maxLength);
    image[offset] = static_cast<uint8_t>(length);
    std::copy_n(text.begin(), length, image.begin() + static_cast<std::ptrdiff_t>(offset + 1));
}

std::string GetString(std::span<const uint8_t> image, size_t offset, size_t maxLength)
{
    const size_t length = std::min<size_t>(image[offset], maxLength);
    const auto first = image.begin() + static_cast<std::ptrdiff_t>(offset + 1);
    return std::string(first, first + static_cast<std::ptrdiff_t>(length));
}

uint8_t ClampCount(uint8_t count)
{
    return std::min<uint8_t>(count, kMaxDisks);
}

} // namespace

std::vector<uint8_t> EncodeDiskTable(const DiskTable& table, size_t length)
{
    std::vector<uint8_t> image(kDiskRecordSize, 0);
    image[kDiskCountOffset] = table.DiskCount;
    for (size_t i = 0; i < kMaxDisks; ++i) {
        PutInt32(image, kDiskTemperatureOffset + i * kTemperatureSize, table.Temperature[i]);
        for (const StringField& field : kStringFields) {
            PutString(image, field.offset + i * (field.maxLength + 1), field.maxLength, (table.*field.member)[i]);
        }
        image[kDriveNumbersOffset + i] = table.DriveNumbers[i];
    }
    image[kDriveCountOffset] = table.DriveCount;
    image.resize(std::min(length, kDiskRecordSize));
    return image;
}

void DecodeDiskTable(std::span<const uint8_t> bytes, DiskTable& table)
{
    const size_t covered = std::min(bytes.size(), kDiskRecordSize);
    if (covered == 0) {
        return;
    }
    // A field the image reaches only partly takes the new bytes over its old ones, exactly
    // like a raw copy; so the current table is the background the image is laid on.
    std::vector<uint8_t> image = EncodeDiskTable(table, kDiskRecordSize);
    std::copy_n(bytes.begin(), covered, image.begin());
    const auto reaches = [covered](size_t offset) { return offset < covered; };

    table.DiskCount = ClampCount(image[kDiskCountOffset]);
    for (size_t i = 0; i < kMaxDisks; ++i) {
        const size_t temperatureOffset = kDiskTemperatureOffset + i * kTemperatureSize;
        if (reaches(temperatureOffset)) {
            table.Temperature[i] = GetInt32(image, temperatureOffset);
        }
        for (const StringField& field : kStringFields) {
            const size_t offset = field.offset + i * (field.maxLength + 1);
            if (reaches(offset)) {
                (table.*field.member)[i] = GetString(image, offset, field.maxLength);
            }
        }
        if (reaches(kDriveNumbersOffset + i)) {
            table.DriveNumbers[i] = image[kDriveNumbersOffset + i];
        }
    }
    if (reaches(kDriveCountOffset)) {
        table.DriveCount = ClampCount(image[kDriveCountOffset]);
    }
}

} // namespace calventa::core
