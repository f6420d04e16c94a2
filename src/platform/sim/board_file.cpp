#include "platform/sim/board_file.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <set>
#include <span>
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

// Errors echo what the file says, but stay one readable line whatever it holds.
constexpr size_t kEchoCharacters = 64;
constexpr std::string_view kCutMarker = "\xE2\x80\xA6"; // U+2026, after a value cut short

// Length of the well-formed UTF-8 sequence at the start of text and its code point; 0 when malformed.
size_t Utf8Sequence(std::string_view text, char32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    constexpr std::array<char32_t, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000}; // shorter forms are overlong
    if (codePoint < kSmallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

std::string HexByte(unsigned value)
{
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

// Control characters, line separators and malformed bytes written as escapes; with quoted also
// the quote and the backslash. At most maxCharacters characters of text are kept, then the marker.
std::string Escaped(std::string_view text, bool quoted, size_t maxCharacters)
{
    std::string out;
    size_t characters = 0;
    for (size_t at = 0; at < text.size(); ++characters) {
        if (characters == maxCharacters) {
            out += kCutMarker;
            break;
        }
        char32_t c = 0;
        const size_t length = Utf8Sequence(text.substr(at), c);
        if (length == 0) {
            out += "\\x" + HexByte(static_cast<unsigned char>(text[at]));
            ++at;
            continue;
        }
        switch (c) {
        case U'\n':
            out += "\\n";
            break;
        case U'\r':
            out += "\\r";
            break;
        case U'\t':
            out += "\\t";
            break;
        case U'"':
        case U'\\':
            if (quoted) {
                out += '\\';
            }
            out += static_cast<char>(c);
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\x" + HexByte(c);
            } else if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
                out += "\\u" + HexByte(c >> 8) + HexByte(c);
            } else {
                out += text.substr(at, length);
            }
            break;
        }
        at += length;
    }
    return out;
}

// A value as echoed in an error: quoted, escaped and cut to kEchoCharacters.
std::string Quoted(std::string_view text)
{
    return "\"" + Escaped(text, true, kEchoCharacters) + "\"";
}

// The board's own key names stand bare in a path; anything else is quoted: isa.registers."0x20".
std::string KeyPath(const std::string& parent, std::string_view key)
{
    const bool name = !key.empty() && key.size() <= kEchoCharacters && key[0] >= 'a' && key[0] <= 'z' &&
                      key.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string_view::npos;
    const std::string piece = name ? std::string(key) : Quoted(key);
    return parent.empty() ? piece : parent + "." + piece;
}

// Register and bank keys are numbers in the file's words: always quoted.
std::string NumberKeyPath(const std::string& parent, std::string_view key)
{
    return parent + "." + Quoted(key);
}

std::string IndexPath(const std::string& parent, size_t index)
{
    return parent + "[" + std::to_string(index) + "]";
}

// Strings of the file are well-formed UTF-8 (the JSON parser refuses others): a character is
// every byte that is not a continuation byte.
size_t CharacterCount(std::string_view text)
{
    size_t count = 0;
    for (char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

// The keys each object of the format knows; a key not listed is refused by name.
using KeyList = std::span<const std::string_view>;
constexpr auto kBoardKeys = std::to_array<std::string_view>({
    "family",
    "port_access",
    "disk_access",
    "pci",
    "isa",
    "smbus",
    "disks",
    "kernel",
});
constexpr auto kKernelKeys = std::to_array<std::string_view>({"devices"});
constexpr auto kKernelDeviceKeys =
    std::to_array<std::string_view>({"name", "bus_path", "inputs", "pwm", "ata_drive", "nvme_controller"});
constexpr auto kKernelInputKeys = std::to_array<std::string_view>({"kind", "number", "label", "value"});
constexpr auto kKernelPwmKeys = std::to_array<std::string_view>({"number", "enable", "value", "writable"});
constexpr auto kPciKeys = std::to_array<std::string_view>({
    "host_vendor",
    "lpc_device",
    "smbus_command",
    "smbus_hostcfg",
    "smbus_bar",
    "enable_bits_stick",
});
constexpr auto kChipKeys = std::to_array<std::string_view>({
    "model",
    "vendor",
    "chip_id",
    "registers",
    "banks",
});
constexpr auto kSmbusEntryKeys = std::to_array<std::string_view>({
    "address", // and the keys of a chip
});
constexpr auto kDiskKeys = std::to_array<std::string_view>({
    "kind",
    "drive",
    "model",
    "serial",
    "firmware",
    "temperature",
    "attribute_entry",
    "smart",
    "airflow_temperature",
    "sct_temperature",
    "power",
});

// No object of the format nests this deep; deeper parts are dropped while parsing and refused.
constexpr size_t kMaxNesting = 16;

// The JSON parser keeps the last of repeated keys; this watches the parse and remembers the
// first repeat, and drops what nests deeper than any board can.
class ParseWatch
{
public:
    bool operator()(int depth, Json::parse_event_t event, const Json& parsed)
    {
        using Event = Json::parse_event_t;
        // Events inside a dropped part are partly withheld; the depth of each event keeps the
        // levels right: an object or array at depth d is level d, its keys and values come at d + 1.
        const auto at = static_cast<size_t>(std::max(depth, 0));
        switch (event) {
        case Event::object_start:
        case Event::array_start:
            if (at >= kMaxNesting) {
                NoteFirst("board: nested deeper than " + std::to_string(kMaxNesting) + " levels");
                return false;
            }
            if (Inside(at)) {
                CountElement();
            }
            m_levels.push_back(Level{event == Event::object_start, {}, {}, 0});
            return true;
        case Event::key:
            if (Inside(at) && at > 0 && m_levels.back().object && parsed.is_string()) {
                Level& level = m_levels.back();
                level.key = parsed.get<std::string>();
                if (!level.keys.insert(level.key).second) {
                    NoteFirst("board: " + Path() + ": duplicate key");
                }
            }
            return true;
        case Event::value:
            if (Inside(at)) {
                CountElement();
            }
            return true;
        case Event::object_end:
        case Event::array_end:
            Inside(at);
            return true;
        }
        return true;
    }

    const std::optional<std::string>& Error() const { return m_error; }

private:
    struct Level
    {
        bool object = false;
        std::set<std::string> keys;
        std::string key;  // the latest key of an object
        size_t count = 0; // elements of an array so far
    };

    // Leaves the levels deeper than depth; true when the parse is directly inside level depth - 1.
    bool Inside(size_t depth)
    {
        if (m_levels.size() > depth) {
            m_levels.resize(depth);
        }
        return m_levels.size() == depth;
    }

    void CountElement()
    {
        if (!m_levels.empty() && !m_levels.back().object) {
            ++m_levels.back().count;
        }
    }

    // Where the parse stands: the latest key of each object, the latest index of each array.
    std::string Path() const
    {
        std::string path;
        for (const Level& level : m_levels) {
            path = level.object ? KeyPath(path, level.key) : IndexPath(path, level.count - 1);
        }
        return path;
    }

    void NoteFirst(std::string error)
    {
        if (!m_error) {
            m_error = std::move(error);
        }
    }

    std::vector<Level> m_levels;
    std::optional<std::string> m_error;
};

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

    // Refuses the first key of object that none of the lists names: a misspelt key would
    // otherwise leave its part of the board silently at the defaults.
    bool KnownKeys(const Json& object, const std::string& path, std::initializer_list<KeyList> lists)
    {
        std::vector<std::string_view> names;
        for (KeyList list : lists) {
            names.insert(names.end(), list.begin(), list.end());
        }
        for (const auto& [key, value] : object.items()) {
            if (std::find(names.begin(), names.end(), key) != names.end()) {
                continue;
            }
            std::string expected;
            for (size_t i = 0; i < names.size(); ++i) {
                expected += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + std::string(names[i]);
            }
            return Refuse(KeyPath(path, key), "unknown key (expected " + expected + ")");
        }
        return true;
    }

    bool ParseTop(const Json& root, BoardDescription& board)
    {
        if (!KnownKeys(root, "", {kBoardKeys})) {
            return false;
        }
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
                                                 " (expected \"direct\", \"denied\", \"absent\" or \"no_rawio\")");
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
            if (!ExpectObject(*it, "isa") || !KnownKeys(*it, "isa", {kChipKeys}) ||
                !ParseChip(*it, "isa", *board.isa)) {
                return false;
            }
        }
        if (auto it = root.find("smbus"); it != root.end() && !ParseSmbus(*it, board.smbus)) {
            return false;
        }
        if (auto it = root.find("disks"); it != root.end() && !ParseDisks(*it, board.disks)) {
            return false;
        }
        if (auto it = root.find("kernel"); it != root.end() && !ParseKernel(*it, board.kernel)) {
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
        if (!ExpectObject(pci, "pci") || !KnownKeys(pci, "pci", {kPciKeys})) {
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
            std::string keyPath = NumberKeyPath(path, key);
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
            // "0x20" and "32" name the same register.
            if (!target.emplace(static_cast<uint8_t>(*reg), static_cast<uint8_t>(*number)).second) {
                return Refuse(keyPath, "register " + Hex(static_cast<uint64_t>(*reg)) + " given twice");
            }
        }
        return true;
    }

    // The keys of a chip; the caller has refused keys that are not the chip's.
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
            std::set<int64_t> seenBanks;
            for (const auto& [key, registers] : it->items()) {
                std::string bankPath = NumberKeyPath(banksPath, key);
                auto bank = ParseKeyNumber(key);
                if (!bank) {
                    return Refuse(bankPath, "bank number must be decimal or \"0x\" hex");
                }
                if (*bank > 7) {
                    return Refuse(bankPath, "bank out of range 0..7");
                }
                if (!seenBanks.insert(*bank).second) {
                    return Refuse(bankPath, "bank " + std::to_string(*bank) + " given twice");
                }
                // Bank 0 is what "registers" describes: one register given in both is given twice.
                auto& target = *bank == 0 ? described.registers : described.banks[static_cast<uint8_t>(*bank)];
                if (!ParseRegisters(registers, bankPath, target)) {
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
            std::string path = IndexPath("smbus", i);
            const Json& entry = list[i];
            if (!ExpectObject(entry, path) || !KnownKeys(entry, path, {kSmbusEntryKeys, kChipKeys})) {
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
        if (CharacterCount(*text) > limit) {
            return Refuse(keyPath, "longer than " + std::to_string(limit) + " characters");
        }
        target = std::move(*text);
        return true;
    }

    // "active", "standby", "unanswered" or the raw CHECK POWER MODE answer 0..255; of an
    // NVMe disk, its power state 0..31 (standby: 4, non-operational).
    bool ParseDiskPower(const Json& value, const std::string& path, DiskDescription& disk)
    {
        const bool nvme = disk.kind == DiskKind::Nvme;
        if (value.is_string() && value.get<std::string>().rfind("0x", 0) != 0) {
            const std::string word = value.get<std::string>();
            if (word == "active") {
                disk.powerMode = 0xFF;
                disk.nvmePowerState = 0;
            } else if (word == "standby") {
                disk.powerMode = 0x00;
                disk.nvmePowerState = 4;
            } else if (word == "unanswered") {
                disk.powerMode = std::nullopt;
                disk.nvmePowerState = std::nullopt;
            } else {
                return Refuse(path, "unknown power state " + Quoted(word) +
                                        " (expected active, standby, unanswered or a number)");
            }
            return true;
        }
        auto number = Number(value, path, 0, nvme ? 31 : 255, nvme ? "power state" : "power mode");
        if (!number) {
            return false;
        }
        disk.powerMode = static_cast<uint8_t>(*number);
        disk.nvmePowerState = static_cast<int>(*number);
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
            std::string path = IndexPath("disks", i);
            const Json& entry = list[i];
            if (!ExpectObject(entry, path) || !KnownKeys(entry, path, {kDiskKeys})) {
                return false;
            }
            DiskDescription disk;
            disk.drive = static_cast<int>(i);
            if (auto it = entry.find("kind"); it != entry.end()) {
                auto word = String(*it, path + ".kind");
                if (!word) {
                    return false;
                }
                if (*word == "nvme") {
                    disk.kind = DiskKind::Nvme;
                } else if (*word != "ata") {
                    return Refuse(path + ".kind", "unknown disk kind " + Quoted(*word) + " (expected ata or nvme)");
                }
                for (const char* ataOnly : {"attribute_entry", "airflow_temperature", "sct_temperature"}) {
                    if (disk.kind == DiskKind::Nvme && entry.contains(ataOnly)) {
                        return Refuse(path + "." + ataOnly, "not a key of an nvme disk");
                    }
                }
            }
            if (auto it = entry.find("drive"); it != entry.end()) {
                auto drive = Number(*it, path + ".drive", 0, 7, "drive");
                if (!drive) {
                    return false;
                }
                disk.drive = static_cast<int>(*drive);
            }
            // ATA drives and NVMe controllers are numbered apart.
            const int numbering = disk.kind == DiskKind::Nvme ? disk.drive + 100 : disk.drive;
            if (!seen.insert(numbering).second) {
                return Refuse(path + ".drive", "drive " + std::to_string(disk.drive) + " listed twice");
            }
            if (!BoundedString(entry, "model", path, kDiskModelLength, disk.model) ||
                !BoundedString(entry, "serial", path, kDiskSerialLength, disk.serial) ||
                !BoundedString(entry, "firmware", path, kDiskFirmwareLength, disk.firmware)) {
                return false;
            }
            if (auto it = entry.find("temperature"); it != entry.end()) {
                // An NVMe disk's may be any Kelvin value the log page can hold (0 and 0xFFFF
                // included, which mean "no reading").
                const bool nvme = disk.kind == DiskKind::Nvme;
                auto temperature =
                    Number(*it, path + ".temperature", nvme ? -273 : -128, nvme ? 65262 : 255, "temperature");
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
            if (auto it = entry.find("power"); it != entry.end() && !ParseDiskPower(*it, path + ".power", disk)) {
                return false;
            }
            for (auto [key, target] : {std::pair{"airflow_temperature", &disk.airflowTemperature},
                                       std::pair{"sct_temperature", &disk.sctTemperature}}) {
                if (auto it = entry.find(key); it != entry.end()) {
                    auto value = Number(*it, path + "." + key, -128, 255, "temperature");
                    if (!value) {
                        return false;
                    }
                    *target = static_cast<int>(*value);
                }
            }
            disks.push_back(std::move(disk));
        }
        return true;
    }

    bool OptionalText(const Json& object, const char* key, const std::string& path, std::string& target)
    {
        auto it = object.find(key);
        if (it == object.end()) {
            return true;
        }
        auto text = String(*it, path + "." + key);
        if (!text) {
            return false;
        }
        if (text->size() > kMaxBoardKernelName) {
            return Refuse(path + "." + key, "longer than " + std::to_string(kMaxBoardKernelName) + " bytes");
        }
        target = std::move(*text);
        return true;
    }

    bool ParseKernelInput(const Json& entry, const std::string& path, KernelInputDescription& input)
    {
        if (!ExpectObject(entry, path) || !KnownKeys(entry, path, {kKernelInputKeys})) {
            return false;
        }
        auto kindIt = entry.find("kind");
        if (kindIt == entry.end()) {
            return Refuse(path + ".kind", "missing: \"temp\", \"in\" or \"fan\"");
        }
        auto kind = String(*kindIt, path + ".kind");
        if (!kind) {
            return false;
        }
        if (*kind == "temp") {
            input.kind = platform::KernelInputKind::Temperature;
        } else if (*kind == "in") {
            input.kind = platform::KernelInputKind::Voltage;
        } else if (*kind == "fan") {
            input.kind = platform::KernelInputKind::Fan;
        } else {
            return Refuse(path + ".kind", "unknown kind " + Quoted(*kind) + " (expected \"temp\", \"in\" or \"fan\")");
        }
        if (auto it = entry.find("number"); it != entry.end()) {
            auto number = Number(*it, path + ".number", 0, 255, "input number");
            if (!number) {
                return false;
            }
            input.number = static_cast<int>(*number);
        }
        if (!OptionalText(entry, "label", path, input.label)) {
            return false;
        }
        if (auto it = entry.find("value"); it != entry.end() && !it->is_null()) {
            if (!it->is_number()) {
                return Refuse(path + ".value", std::string("expected a number or null, got ") + it->type_name());
            }
            input.value = it->get<double>();
        }
        return true;
    }

    bool ParseKernelPwm(const Json& entry, const std::string& path, KernelPwmDescription& pwm)
    {
        if (!ExpectObject(entry, path) || !KnownKeys(entry, path, {kKernelPwmKeys})) {
            return false;
        }
        if (auto it = entry.find("number"); it != entry.end()) {
            auto number = Number(*it, path + ".number", 1, 255, "pwm number");
            if (!number) {
                return false;
            }
            pwm.number = static_cast<int>(*number);
        }
        if (!Field(entry, "enable", path, pwm.enable, 255) || !Field(entry, "value", path, pwm.value, 255)) {
            return false;
        }
        if (auto it = entry.find("writable"); it != entry.end()) {
            auto flag = Boolean(*it, path + ".writable");
            if (!flag) {
                return false;
            }
            pwm.writable = *flag;
        }
        return true;
    }

    bool ParseKernelDevice(const Json& entry, const std::string& path, KernelDeviceDescription& device)
    {
        if (!ExpectObject(entry, path) || !KnownKeys(entry, path, {kKernelDeviceKeys}) ||
            !OptionalText(entry, "name", path, device.name) || !OptionalText(entry, "bus_path", path, device.busPath)) {
            return false;
        }
        if (auto it = entry.find("inputs"); it != entry.end()) {
            if (!it->is_array() || it->size() > kMaxBoardKernelInputs) {
                return Refuse(path + ".inputs",
                              "expected an array of at most " + std::to_string(kMaxBoardKernelInputs) + " inputs");
            }
            for (size_t i = 0; i < it->size(); ++i) {
                KernelInputDescription input;
                const std::string inputPath = path + ".inputs[" + std::to_string(i) + "]";
                if (!ParseKernelInput((*it)[i], inputPath, input)) {
                    return false;
                }
                for (const KernelInputDescription& earlier : device.inputs) {
                    if (earlier.kind == input.kind && earlier.number == input.number) {
                        return Refuse(inputPath + ".number", "input number " + std::to_string(input.number) +
                                                                 " of this kind listed twice");
                    }
                }
                device.inputs.push_back(std::move(input));
            }
        }
        if (auto it = entry.find("pwm"); it != entry.end()) {
            if (!it->is_array() || it->size() > kMaxBoardKernelInputs) {
                return Refuse(path + ".pwm",
                              "expected an array of at most " + std::to_string(kMaxBoardKernelInputs) + " outputs");
            }
            for (size_t i = 0; i < it->size(); ++i) {
                KernelPwmDescription pwm;
                const std::string pwmPath = path + ".pwm[" + std::to_string(i) + "]";
                if (!ParseKernelPwm((*it)[i], pwmPath, pwm)) {
                    return false;
                }
                for (const KernelPwmDescription& earlier : device.pwms) {
                    if (earlier.number == pwm.number) {
                        return Refuse(pwmPath + ".number", "pwm" + std::to_string(pwm.number) + " listed twice");
                    }
                }
                device.pwms.push_back(pwm);
            }
        }
        for (auto [key, target] :
             {std::pair{"ata_drive", &device.ataDrive}, {"nvme_controller", &device.nvmeController}}) {
            if (auto it = entry.find(key); it != entry.end()) {
                auto number = Number(*it, path + "." + key, 0, 255, "drive number");
                if (!number) {
                    return false;
                }
                *target = static_cast<int>(*number);
            }
        }
        return true;
    }

    bool ParseKernel(const Json& kernel, std::vector<KernelDeviceDescription>& devices)
    {
        if (!ExpectObject(kernel, "kernel") || !KnownKeys(kernel, "kernel", {kKernelKeys})) {
            return false;
        }
        auto it = kernel.find("devices");
        if (it == kernel.end()) {
            return true;
        }
        if (!it->is_array() || it->size() > kMaxBoardKernelDevices) {
            return Refuse("kernel.devices",
                          "expected an array of at most " + std::to_string(kMaxBoardKernelDevices) + " devices");
        }
        for (size_t i = 0; i < it->size(); ++i) {
            KernelDeviceDescription device;
            if (!ParseKernelDevice((*it)[i], "kernel.devices[" + std::to_string(i) + "]", device)) {
                return false;
            }
            devices.push_back(std::move(device));
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

// The parser's message quotes what it read up to the fault ("last read: '…'"), which can be a
// whole long string; the fault is at its end, so the end is kept.
std::string ParserMessageLine(const std::string& what)
{
    std::string text = WithoutExceptionTag(what);
    constexpr std::string_view kLastRead = "last read: '";
    if (size_t from = text.find(kLastRead); from != std::string::npos) {
        from += kLastRead.size();
        size_t to = text.find("'; expected", from);
        if (to == std::string::npos) {
            to = text.rfind('\'');
        }
        if (to != std::string::npos && to >= from) {
            const std::string_view token(text.data() + from, to - from);
            size_t cut = token.size();
            for (size_t characters = 0; cut > 0 && characters < kEchoCharacters;) {
                --cut;
                characters += (static_cast<unsigned char>(token[cut]) & 0xC0) != 0x80 ? 1 : 0;
            }
            if (cut > 0) {
                text =
                    text.substr(0, from) + std::string(kCutMarker) + std::string(token.substr(cut)) + text.substr(to);
            }
        }
    }
    return Escaped(text, false, 4 * kEchoCharacters);
}

// A file name in an error: kept whole (the caller chose it) but on one line.
std::string PathText(const std::string& path)
{
    return Escaped(path, false, std::string::npos);
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
        ParseWatch watch;
        Json root = Json::parse(json.begin(), json.end(), [&watch](int depth, Json::parse_event_t event, Json& parsed) {
            return watch(depth, event, parsed);
        });
        if (watch.Error()) {
            error = *watch.Error();
            return std::nullopt;
        }
        return BoardParser(error).Parse(root);
    } catch (const nlohmann::json::parse_error& e) {
        error = "board: malformed JSON: " + ParserMessageLine(e.what());
    } catch (const std::exception& e) {
        error = "board: " + ParserMessageLine(e.what());
    }
    return std::nullopt;
}

std::optional<BoardDescription> LoadBoardFile(const std::string& path, std::string& error)
{
    // Board files are small; anything beyond this is not a board.
    constexpr std::streamsize kMaxBoardBytes = 16 * 1024 * 1024;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "board: cannot open " + PathText(path);
        return std::nullopt;
    }
    std::string text;
    std::array<char, 65536> chunk{};
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        text.append(chunk.data(), static_cast<size_t>(in.gcount()));
        if (static_cast<std::streamsize>(text.size()) > kMaxBoardBytes) {
            error = "board: " + PathText(path) + " is larger than 16 MiB";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        error = "board: cannot read " + PathText(path);
        return std::nullopt;
    }
    return ParseBoard(text, error);
}

} // namespace calventa::sim
