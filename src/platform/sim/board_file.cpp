#include "platform/sim/board_file.h"

#include <array>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

namespace calventa::sim {

namespace {

using Json = nlohmann::json;

struct ModelName
{
    ChipModel model;
    std::string_view name;
};

constexpr std::array kModelNames{
    ModelName{ChipModel::Raw, "raw"},
    ModelName{ChipModel::W83781D, "W83781D"},
    ModelName{ChipModel::W83782D, "W83782D"},
    ModelName{ChipModel::W83783S, "W83783S"},
    ModelName{ChipModel::W83627HF, "W83627HF"},
    ModelName{ChipModel::W83627THF, "W83627THF"},
    ModelName{ChipModel::W83627EHF, "W83627EHF"},
    ModelName{ChipModel::W83637HF, "W83637HF"},
    ModelName{ChipModel::W83697HF, "W83697HF"},
    ModelName{ChipModel::As99127fRev1, "AS99127F-rev1"},
    ModelName{ChipModel::As99127fRev2, "AS99127F-rev2"},
    ModelName{ChipModel::Asb100, "ASB100"},
    ModelName{ChipModel::It8712f, "IT8712F"},
    ModelName{ChipModel::It8705f, "IT8705F"},
    ModelName{ChipModel::Lm87, "LM87"},
    ModelName{ChipModel::Lm90, "LM90"},
    ModelName{ChipModel::Lm75, "LM75"},
};

std::string Hex(uint64_t value)
{
    std::ostringstream out;
    out << "0x" << std::uppercase << std::hex << value;
    return out.str();
}

std::string Quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

constexpr int64_t kNumberLimit = int64_t{1} << 40; // far beyond every field; keeps the arithmetic in range

int DigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

// Digits in the given base; values beyond kNumberLimit are clamped so that range checks refuse them.
std::optional<int64_t> ParseDigits(std::string_view digits, int base)
{
    if (digits.empty()) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : digits) {
        int digit = DigitValue(c);
        if (digit >= base) {
            return std::nullopt;
        }
        value = value >= kNumberLimit ? kNumberLimit : value * base + digit;
    }
    return value;
}

bool HasHexPrefix(std::string_view text)
{
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Object keys are always strings: "0x50" or plain decimal "1".
std::optional<int64_t> ParseKeyNumber(std::string_view key)
{
    return HasHexPrefix(key) ? ParseDigits(key.substr(2), 16) : ParseDigits(key, 10);
}

std::string RangeText(int64_t min, int64_t max)
{
    // Register-sized ranges read best in hex, small counts and signed ranges in decimal.
    bool hex = min >= 0 && max > 9;
    return std::to_string(min) + ".." + (hex ? Hex(static_cast<uint64_t>(max)) : std::to_string(max));
}

class BoardParser
{
public:
    explicit BoardParser(std::string& error) : m_error(error) {}

    std::optional<BoardDescription> Parse(const Json& root)
    {
        if (!root.is_object()) {
            return Fail("", "the board must be a JSON object");
        }
        BoardDescription board;
        if (!ParseTop(root, board)) {
            return std::nullopt;
        }
        return board;
    }

private:
    std::nullopt_t Fail(const std::string& path, const std::string& why)
    {
        m_error = path.empty() ? "board: " + why : "board: " + path + ": " + why;
        return std::nullopt;
    }

    bool Refuse(const std::string& path, const std::string& why)
    {
        Fail(path, why);
        return false;
    }

    // A JSON integer or a "0x…" string within min..max.
    std::optional<int64_t> Number(const Json& value, const std::string& path, int64_t min, int64_t max,
                                  const std::string& what)
    {
        std::optional<int64_t> number;
        if (value.is_number_unsigned()) {
            uint64_t raw = value.get<uint64_t>();
            number = raw > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                         ? std::numeric_limits<int64_t>::max()
                         : static_cast<int64_t>(raw);
        } else if (value.is_number_integer()) {
            number = value.get<int64_t>();
        } else if (value.is_string()) {
            const auto& text = value.get_ref<const std::string&>();
            if (!HasHexPrefix(text) || !(number = ParseDigits(std::string_view(text).substr(2), 16))) {
                return Fail(path, "expected an integer or a \"0x\" hex string, got " + Quoted(text));
            }
        } else {
            return Fail(path, std::string("expected an integer or a \"0x\" hex string, got ") + value.type_name());
        }
        if (*number < min || *number > max) {
            return Fail(path, what + " out of range " + RangeText(min, max));
        }
        return number;
    }

    std::optional<bool> Boolean(const Json& value, const std::string& path)
    {
        if (!value.is_boolean()) {
            return Fail(path, std::string("expected true or false, got ") + value.type_name());
        }
        return value.get<bool>();
    }

    std::optional<std::string> String(const Json& value, const std::string& path)
    {
        if (!value.is_string()) {
            return Fail(path, std::string("expected a string, got ") + value.type_name());
        }
        return value.get<std::string>();
    }

    bool ExpectObject(const Json& value, const std::string& path)
    {
        return value.is_object() || Refuse(path, std::string("expected an object, got ") + value.type_name());
    }

    bool ParseTop(const Json& root, BoardDescription& board)
    {
        if (auto it = root.find("family"); it != root.end()) {
            auto word = String(*it, "family");
            if (!word) {
                return false;
            }
            if (*word == "nt") {
                board.family = platform::PlatformFamily::NtFamily;
            } else if (*word == "9x") {
                board.family = platform::PlatformFamily::Windows9x;
            } else {
                return Refuse("family", "unknown family " + Quoted(*word) + " (expected \"nt\" or \"9x\")");
            }
        }
        if (auto it = root.find("port_access"); it != root.end()) {
            auto flag = Boolean(*it, "port_access");
            if (!flag) {
                return false;
            }
            board.portAccess = *flag;
        }
        if (auto it = root.find("disk_access"); it != root.end()) {
            auto word = String(*it, "disk_access");
            if (!word) {
                return false;
            }
            if (*word == "direct") {
                board.diskAccess = DiskAccess::Direct;
            } else if (*word == "denied") {
                board.diskAccess = DiskAccess::Denied;
            } else if (*word == "absent") {
                board.diskAccess = DiskAccess::Absent;
            } else if (*word == "no_rawio") {
                board.diskAccess = DiskAccess::NoRawIo;
            } else {
                return Refuse("disk_access", "unknown disk access " + Quoted(*word) +
                                                 " (expected \"direct\", \"denied\" or \"absent\")");
            }
        }
        if (auto it = root.find("pci"); it != root.end()) {
            board.pci.emplace();
            if (!ParsePci(*it, *board.pci)) {
                return false;
            }
        }
        if (auto it = root.find("isa"); it != root.end()) {
            board.isa.emplace();
            if (!ParseChip(*it, "isa", *board.isa)) {
                return false;
            }
        }
        if (auto it = root.find("smbus"); it != root.end() && !ParseSmbus(*it, board.smbus)) {
            return false;
        }
        if (auto it = root.find("disks"); it != root.end() && !ParseDisks(*it, board.disks)) {
            return false;
        }
        return true;
    }

    template <typename T>
    bool Field(const Json& object, const char* key, const std::string& path, T& target, int64_t max,
               const std::string& what = "value")
    {
        auto it = object.find(key);
        if (it == object.end()) {
            return true;
        }
        auto number = Number(*it, path + "." + key, 0, max, what);
        if (!number) {
            return false;
        }
        target = static_cast<T>(*number);
        return true;
    }

    bool ParsePci(const Json& pci, PciDescription& described)
    {
        if (!ExpectObject(pci, "pci")) {
            return false;
        }
        if (!Field(pci, "host_vendor", "pci", described.hostVendor, 0xFFFF) ||
            !Field(pci, "lpc_device", "pci", described.lpcDevice, 0xFFFF) ||
            !Field(pci, "smbus_command", "pci", described.smbusCommand, 0xFFFF) ||
            !Field(pci, "smbus_hostcfg", "pci", described.smbusHostcfg, 0xFF) ||
            !Field(pci, "smbus_bar", "pci", described.smbusBar, 0xFFFFFFFF)) {
            return false;
        }
        if (auto it = pci.find("enable_bits_stick"); it != pci.end()) {
            auto flag = Boolean(*it, "pci.enable_bits_stick");
            if (!flag) {
                return false;
            }
            described.enableBitsStick = *flag;
        }
        return true;
    }

    bool ParseRegisters(const Json& registers, const std::string& path, std::map<uint8_t, uint8_t>& target)
    {
        if (!ExpectObject(registers, path)) {
            return false;
        }
        for (const auto& [key, value] : registers.items()) {
            std::string keyPath = path + "." + Quoted(key);
            auto reg = ParseKeyNumber(key);
            if (!reg) {
                return Refuse(keyPath, "register number must be \"0x\" hex or decimal");
            }
            if (*reg > 0xFF) {
                return Refuse(keyPath, "register number out of range 0..0xFF");
            }
            auto number = Number(value, keyPath, 0, 0xFF, "register value");
            if (!number) {
                return false;
            }
            target[static_cast<uint8_t>(*reg)] = static_cast<uint8_t>(*number);
        }
        return true;
    }

    bool ParseChip(const Json& chip, const std::string& path, ChipDescription& described)
    {
        if (!ExpectObject(chip, path)) {
            return false;
        }
        if (auto it = chip.find("model"); it != chip.end()) {
            auto name = String(*it, path + ".model");
            if (!name) {
                return false;
            }
            auto model = ChipModelFromName(*name);
            if (!model) {
                return Refuse(path + ".model", "unknown model " + Quoted(*name));
            }
            described.model = *model;
        }
        if (auto it = chip.find("vendor"); it != chip.end()) {
            auto number = Number(*it, path + ".vendor", 0, 0xFFFF, "vendor");
            if (!number) {
                return false;
            }
            described.vendor = static_cast<uint16_t>(*number);
        }
        if (auto it = chip.find("chip_id"); it != chip.end()) {
            auto number = Number(*it, path + ".chip_id", 0, 0xFF, "chip id");
            if (!number) {
                return false;
            }
            described.chipId = static_cast<uint8_t>(*number);
        }
        if (auto it = chip.find("registers");
            it != chip.end() && !ParseRegisters(*it, path + ".registers", described.registers)) {
            return false;
        }
        if (auto it = chip.find("banks"); it != chip.end()) {
            std::string banksPath = path + ".banks";
            if (!ExpectObject(*it, banksPath)) {
                return false;
            }
            for (const auto& [key, registers] : it->items()) {
                std::string bankPath = banksPath + "." + Quoted(key);
                auto bank = ParseKeyNumber(key);
                if (!bank) {
                    return Refuse(bankPath, "bank number must be decimal or \"0x\" hex");
                }
                if (*bank > 7) {
                    return Refuse(bankPath, "bank out of range 0..7");
                }
                if (!ParseRegisters(registers, bankPath, described.banks[static_cast<uint8_t>(*bank)])) {
                    return false;
                }
            }
        }
        return true;
    }

    bool ParseSmbus(const Json& list, std::vector<SmbusDeviceDescription>& devices)
    {
        if (!list.is_array()) {
            return Refuse("smbus", std::string("expected an array, got ") + list.type_name());
        }
        std::set<uint8_t> seen;
        for (size_t i = 0; i < list.size(); ++i) {
            std::string path = "smbus[" + std::to_string(i) + "]";
            const Json& entry = list[i];
            if (!ExpectObject(entry, path)) {
                return false;
            }
            auto it = entry.find("address");
            if (it == entry.end()) {
                return Refuse(path + ".address", "missing: every SMBus chip needs its 7-bit address");
            }
            auto address = Number(*it, path + ".address", 0, 0x7F, "address");
            if (!address) {
                return false;
            }
            SmbusDeviceDescription device;
            device.address = static_cast<uint8_t>(*address);
            if (!seen.insert(device.address).second) {
                return Refuse(path + ".address", "address " + Hex(device.address) + " used twice");
            }
            if (!ParseChip(entry, path, device.chip)) {
                return false;
            }
            devices.push_back(std::move(device));
        }
        return true;
    }

    bool BoundedString(const Json& disk, const char* key, const std::string& path, size_t limit, std::string& target)
    {
        auto it = disk.find(key);
        if (it == disk.end()) {
            return true;
        }
        std::string keyPath = path + "." + key;
        auto text = String(*it, keyPath);
        if (!text) {
            return false;
        }
        if (text->size() > limit) {
            return Refuse(keyPath, "longer than " + std::to_string(limit) + " characters");
        }
        target = std::move(*text);
        return true;
    }

    bool ParseDisks(const Json& list, std::vector<DiskDescription>& disks)
    {
        if (!list.is_array()) {
            return Refuse("disks", std::string("expected an array, got ") + list.type_name());
        }
        if (list.size() > kMaxBoardDisks) {
            return Refuse("disks", "more than 8 disks");
        }
        std::set<int> seen;
        for (size_t i = 0; i < list.size(); ++i) {
            std::string path = "disks[" + std::to_string(i) + "]";
            const Json& entry = list[i];
            if (!ExpectObject(entry, path)) {
                return false;
            }
            DiskDescription disk;
            disk.drive = static_cast<int>(i);
            if (auto it = entry.find("drive"); it != entry.end()) {
                auto drive = Number(*it, path + ".drive", 0, 7, "drive");
                if (!drive) {
                    return false;
                }
                disk.drive = static_cast<int>(*drive);
            }
            if (!seen.insert(disk.drive).second) {
                return Refuse(path + ".drive", "drive " + std::to_string(disk.drive) + " listed twice");
            }
            if (!BoundedString(entry, "model", path, kDiskModelLength, disk.model) ||
                !BoundedString(entry, "serial", path, kDiskSerialLength, disk.serial) ||
                !BoundedString(entry, "firmware", path, kDiskFirmwareLength, disk.firmware)) {
                return false;
            }
            if (auto it = entry.find("temperature"); it != entry.end()) {
                auto temperature = Number(*it, path + ".temperature", -128, 255, "temperature");
                if (!temperature) {
                    return false;
                }
                disk.temperature = static_cast<int>(*temperature);
            }
            if (auto it = entry.find("attribute_entry"); it != entry.end()) {
                auto index = Number(*it, path + ".attribute_entry", -1, 41, "attribute entry");
                if (!index) {
                    return false;
                }
                disk.attributeEntry = static_cast<int>(*index);
            }
            if (auto it = entry.find("smart"); it != entry.end()) {
                auto flag = Boolean(*it, path + ".smart");
                if (!flag) {
                    return false;
                }
                disk.smart = *flag;
            }
            disks.push_back(std::move(disk));
        }
        return true;
    }

    std::string& m_error;
};

// nlohmann's messages start with "[json.exception.parse_error.101] "; the rest says where.
std::string WithoutExceptionTag(const std::string& what)
{
    if (!what.empty() && what[0] == '[') {
        if (auto end = what.find("] "); end != std::string::npos) {
            return what.substr(end + 2);
        }
    }
    return what;
}

std::string FirstLine(std::string text)
{
    if (auto end = text.find('\n'); end != std::string::npos) {
        text.resize(end);
    }
    return text;
}

} // namespace

std::optional<ChipModel> ChipModelFromName(std::string_view name)
{
    for (const auto& entry : kModelNames) {
        if (entry.name == name) {
            return entry.model;
        }
    }
    return std::nullopt;
}

std::string_view ChipModelName(ChipModel model)
{
    for (const auto& entry : kModelNames) {
        if (entry.model == model) {
            return entry.name;
        }
    }
    return "raw";
}

bool IsWinbondStyle(ChipModel model)
{
    switch (model) {
    case ChipModel::W83781D:
    case ChipModel::W83782D:
    case ChipModel::W83783S:
    case ChipModel::W83627HF:
    case ChipModel::W83627THF:
    case ChipModel::W83627EHF:
    case ChipModel::W83637HF:
    case ChipModel::W83697HF:
    case ChipModel::As99127fRev1:
    case ChipModel::As99127fRev2:
    case ChipModel::Asb100:
        return true;
    default:
        return false;
    }
}

std::optional<BoardDescription> ParseBoard(std::string_view json, std::string& error)
{
    try {
        Json root = Json::parse(json.begin(), json.end());
        return BoardParser(error).Parse(root);
    } catch (const nlohmann::json::parse_error& e) {
        error = "board: malformed JSON: " + FirstLine(WithoutExceptionTag(e.what()));
    } catch (const std::exception& e) {
        error = "board: " + FirstLine(WithoutExceptionTag(e.what()));
    }
    return std::nullopt;
}

std::optional<BoardDescription> LoadBoardFile(const std::string& path, std::string& error)
{
    // Board files are small; anything beyond this is not a board.
    constexpr std::streamsize kMaxBoardBytes = 16 * 1024 * 1024;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "board: cannot open " + path;
        return std::nullopt;
    }
    std::string text;
    std::array<char, 65536> chunk{};
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        text.append(chunk.data(), static_cast<size_t>(in.gcount()));
        if (static_cast<std::streamsize>(text.size()) > kMaxBoardBytes) {
            error = "board: " + path + " is larger than 16 MiB";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        error = "board: cannot read " + path;
        return std::nullopt;
    }
    return ParseBoard(text, error);
}

} // namespace calventa::sim
