// pwm-restore.txt, the state file a run that drives the kernel's fan outputs leaves behind:
// any bytes through its parser, whose entries must be in range and survive being written
// and read again; and the same bytes as the sysfs attribute texts pwmN and pwmN_enable are
// read with, and as the names their files are listed by.
#include <algorithm>

#include "fuzz_support.h"
#include "hardware/kernel_chips.h"
#include "platform/linux/hwmon_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace calventa;
    const std::string_view text = fuzz::Text({data, size});

    const std::vector<hardware::KernelPwmState> entries = hardware::DecodeKernelPwmState(text);
    for (const hardware::KernelPwmState& entry : entries) {
        FUZZ_CHECK(entry.Pwm >= 1 && entry.Pwm <= 255);
        FUZZ_CHECK(entry.Mode >= 0 && entry.Mode <= 255);
        FUZZ_CHECK(entry.Duty >= 0 && entry.Duty <= 255);
        FUZZ_CHECK(entry.Device.find_first_of("\t\n") == std::string::npos);
        FUZZ_CHECK(entry.BusPath.find_first_of("\t\n") == std::string::npos);
        (void)hardware::DisplayLabel(entry.Device);
    }
    // What was read is written back the same (control bytes, which no written file holds, as
    // '?') and reads the same again.
    const auto clean = [](const std::string& field) {
        return std::none_of(field.begin(), field.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    };
    const std::string encoded = hardware::EncodeKernelPwmState(entries);
    const std::vector<hardware::KernelPwmState> again = hardware::DecodeKernelPwmState(encoded);
    FUZZ_CHECK(again.size() == entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        FUZZ_CHECK(!clean(entries[i].Device) || again[i].Device == entries[i].Device);
        FUZZ_CHECK(!clean(entries[i].BusPath) || again[i].BusPath == entries[i].BusPath);
        FUZZ_CHECK(again[i].Device.size() == entries[i].Device.size());
        FUZZ_CHECK(again[i].Pwm == entries[i].Pwm && again[i].Mode == entries[i].Mode &&
                   again[i].Duty == entries[i].Duty);
    }
    FUZZ_CHECK(hardware::EncodeKernelPwmState(again) == encoded);

    if (const std::optional<int> value = platform::linux_backend::ParseSysfsInteger(text)) {
        FUZZ_CHECK(text.find_first_not_of("+-0123456789\n") == std::string_view::npos);
    }
    if (const std::optional<int> pwm = platform::linux_backend::NumberAfterPrefix(text, "pwm")) {
        FUZZ_CHECK(*pwm >= 0 && text.substr(0, 3) == "pwm");
    }
    return 0;
}
