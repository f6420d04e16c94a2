#include <gtest/gtest.h>

#include "case_name.h"

#include "linux_test_support.h"
#include "platform/linux/io_port_claims.h"
#include "platform/linux/linux_port_io.h"

namespace calventa::platform::linux_backend {
namespace {

using testing::TempDir;
using testing::WriteText;

// A board with the Winbond driver and the Intel SMBus driver loaded, as root sees it.
constexpr const char* kIoports = "0000-0cf7 : PCI Bus 0000:00\n"
                                 "  0000-001f : dma1\n"
                                 "  0070-0071 : rtc_cmos\n"
                                 "  0290-029f : pnp 00:07\n"
                                 "    0295-0296 : w83627hf\n"
                                 "  0400-041f : 0000:00:1f.3\n"
                                 "    0400-041f : i801_smbus\n"
                                 "  0500-051f : 0000:00:1f.4\n"
                                 "  0800-087f : ACPI PM1a_EVT_BLK\n"
                                 "    0805-0806 : nct6775\n"
                                 "  0a00-0a0f : reserved\n"
                                 "0cf8-0cff : PCI conf1\n"
                                 "0d00-ffff : PCI Bus 0000:00\n"
                                 "  e000-efff : PCI Bus 0000:01\n"
                                 "    e000-e0ff : 0000:01:00.0\n";

TEST(IoPortsParse, KeepsNestingAndNames)
{
    const auto ranges = ParseIoPorts(kIoports);
    ASSERT_EQ(ranges.size(), 15u);
    EXPECT_EQ(ranges[0], (IoPortRange{0x0000, 0x0cf7, 0, "PCI Bus 0000:00"}));
    EXPECT_EQ(ranges[4], (IoPortRange{0x0295, 0x0296, 4, "w83627hf"}));
    EXPECT_EQ(ranges[14], (IoPortRange{0xe000, 0xe0ff, 4, "0000:01:00.0"}));
    EXPECT_EQ(ParseIoPorts("0295-0296 : w83627hf\r\n  0400-041f : i801_smbus").back().depth, 2);
}

class IoPortsMalformedLine : public ::testing::TestWithParam<const char*>
{
};

TEST_P(IoPortsMalformedLine, IsSkippedWithoutLosingItsNeighbours)
{
    const std::string text = std::string("0070-0071 : rtc_cmos\n") + GetParam() + "\n0295-0296 : w83627hf";
    const auto ranges = ParseIoPorts(text);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].name, "rtc_cmos");
    EXPECT_EQ(ranges[1].name, "w83627hf");
}

INSTANTIATE_TEST_SUITE_P(Lines, IoPortsMalformedLine,
                         ::testing::Values("", "garbage", "0295 : w83627hf", "0295- : w83627hf", "-0296 : w83627hf",
                                           "0296-0295 : backwards", "0295-0296 :", "0295-0296 :   ", "0295-0296 x",
                                           "0295-0296:w83627hf", "123456789-123456789 : too long", "zzzz-0296 : x"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return calventa::testnames::CaseName(c) + "_" + std::to_string(info.index);
                         });

struct OwnerCase
{
    uint16_t port;
    const char* owner; // "" when no driver claims it
};

void PrintTo(const OwnerCase& c, std::ostream* os)
{
    *os << "port 0x" << std::hex << c.port << " -> \"" << c.owner << '"';
}

class IoPortOwner : public ::testing::TestWithParam<OwnerCase>
{
};

TEST_P(IoPortOwner, IsTheDeepestDriverRange)
{
    const IoPortClaims claims(kIoports);
    const auto owner = claims.OwnerOf(GetParam().port);
    EXPECT_EQ(owner ? owner->name : "", GetParam().owner);
}

INSTANTIATE_TEST_SUITE_P(Ports, IoPortOwner,
                         ::testing::Values(OwnerCase{0x295, "w83627hf"}, OwnerCase{0x296, "w83627hf"},
                                           OwnerCase{0x294, ""}, // only the PnP window
                                           OwnerCase{0x297, ""}, OwnerCase{0x400, "i801_smbus"},
                                           OwnerCase{0x41f, "i801_smbus"}, OwnerCase{0x420, ""},
                                           OwnerCase{0x500, ""},        // a PCI function without a driver
                                           OwnerCase{0x805, "nct6775"}, // deeper than the ACPI block
                                           OwnerCase{0x800, "ACPI PM1a_EVT_BLK"}, OwnerCase{0xa00, ""},
                                           OwnerCase{0xcf8, ""}, OwnerCase{0xcfc, ""}, OwnerCase{0xe080, ""},
                                           OwnerCase{0x70, "rtc_cmos"}, OwnerCase{0xffff, ""}),
                         [](const ::testing::TestParamInfo<OwnerCase>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return "Port" + std::to_string(c.port) + "_" +
                                    calventa::testnames::CaseName(*c.owner != 0 ? c.owner : "unclaimed");
                         });

TEST(IoPortOwnerName, PlaceholdersAreNotDrivers)
{
    for (const char* name : {"PCI Bus 0000:00", "PCI Bus 0000:3a", "PCI conf1", "0000:00:1f.3", "10000:e1:00.7",
                             "pnp 00:07", "reserved", "Reserved"}) {
        EXPECT_TRUE(IsPlaceholderOwner(name)) << name;
    }
    for (const char* name : {"it87", "w83627hf", "w83627ehf", "i801_smbus", "nct6775", "0000:00:1f", "pnpacpi",
                             "00:1f.3", "0000:00:1f.8"}) {
        EXPECT_FALSE(IsPlaceholderOwner(name)) << name;
    }
}

TEST(IoPortClaimNotes, OneLinePerDriverRangeTouched)
{
    const IoPortClaims claims(kIoports);
    const std::vector<uint16_t> ports = {0x295, 0x296, 0xcf8, 0xcfc, 0x400, 0x404, 0x500};
    EXPECT_EQ(ClaimNotes(claims, ports), (std::vector<std::string>{"Port 0295-0296 claimed by w83627hf, not used",
                                                                   "Port 0400-041f claimed by i801_smbus, not used"}));
}

TEST(IoPortClaims, ZeroedRangesMeanTheOwnersAreHidden)
{
    EXPECT_TRUE(IoPortClaims("0000-0000 : PCI Bus 0000:00\n  0000-0000 : w83627hf\n").OwnersHidden());
    EXPECT_FALSE(IoPortClaims(kIoports).OwnersHidden());
    EXPECT_FALSE(IoPortClaims("").OwnersHidden());
}

TEST(KernelLockdown, OnlyABracketedModeOtherThanNoneCounts)
{
    EXPECT_EQ(ActiveLockdownMode("none integrity [confidentiality]\n"), "confidentiality");
    EXPECT_EQ(ActiveLockdownMode("none [integrity] confidentiality\n"), "integrity");
    EXPECT_EQ(ActiveLockdownMode("[none] integrity confidentiality\n"), std::nullopt);
    EXPECT_EQ(ActiveLockdownMode("none integrity confidentiality"), std::nullopt);
    EXPECT_EQ(ActiveLockdownMode("[]"), std::nullopt);
    EXPECT_EQ(ActiveLockdownMode("[integrity"), std::nullopt);
    EXPECT_EQ(ActiveLockdownMode(""), std::nullopt);
}

// Access is refused before the privilege level is touched, so these never raise it.
TEST(LinuxPortIo, RefusesWhenThePortOwnersCannotBeRead)
{
    TempDir dir;
    LinuxPortIo ports(dir / "missing", dir / "lockdown");
    EXPECT_FALSE(ports.RequestAccess());
    ASSERT_EQ(ports.AccessNotes().size(), 1u);
    EXPECT_NE(ports.AccessNotes()[0].find("Cannot read"), std::string::npos);
    EXPECT_EQ(ports.AccessMethod(), "iopl");
}

// CapEff of /proc/self/status: bit 17 is CAP_SYS_RAWIO, bit 21 CAP_SYS_ADMIN.
struct CapabilityCase
{
    const char* name;
    const char* status;
    const char* missing;
};

class MissingCapabilities : public ::testing::TestWithParam<CapabilityCase>
{
};

TEST_P(MissingCapabilities, NamesWhatTheEffectiveSetLacks)
{
    EXPECT_EQ(MissingPortCapabilities(GetParam().status), GetParam().missing);
}

INSTANTIATE_TEST_SUITE_P(
    StatusTexts, MissingCapabilities,
    ::testing::Values(CapabilityCase{"PlainUser", "Name:\tx\nCapEff:\t0000000000000000\n",
                                     "CAP_SYS_ADMIN and CAP_SYS_RAWIO"},
                      CapabilityCase{"RawioOnly", "Name:\tx\nCapEff:\t0000000000020000\n", "CAP_SYS_ADMIN"},
                      CapabilityCase{"AdminOnly", "Name:\tx\nCapEff:\t0000000000200000\n", "CAP_SYS_RAWIO"},
                      CapabilityCase{"Root", "Name:\tx\nCapEff:\t000001ffffffffff\n", ""},
                      CapabilityCase{"NoCapEffLine", "Name:\tx\nCapPrm:\t0000000000000000\n", ""},
                      CapabilityCase{"MalformedCapEff", "Name:\tx\nCapEff:\tzz\n", ""}),
    [](const ::testing::TestParamInfo<CapabilityCase>& info) { return std::string(info.param.name); });

// Hidden owners refuse access even to a process that could raise the I/O level: the note
// says what is missing and why that matters.
TEST(LinuxPortIo, RefusesWhenThePortOwnersAreHiddenAndNamesTheMissingCapabilities)
{
    TempDir dir;
    WriteText(dir / "ioports", "0000-0000 : PCI Bus 0000:00\n  0000-0000 : w83627hf\n");
    WriteText(dir / "status", "Name:\tcalventa\nCapEff:\t0000000000020000\n"); // CAP_SYS_RAWIO only
    LinuxPortIo ports(dir / "ioports", dir / "lockdown", dir / "status");
    EXPECT_FALSE(ports.RequestAccess());
    ASSERT_EQ(ports.AccessNotes().size(), 1u);
    EXPECT_EQ(ports.AccessNotes()[0],
              "Port owners hidden in " + dir / "ioports" +
                  " (reading them needs CAP_SYS_ADMIN; missing: CAP_SYS_ADMIN), port access not "
                  "requested: the ranges kernel drivers hold are unknown");
}

// A plain user sees the owners (a kernel that shows them to all) but may not raise the level;
// a kernel built without iopl refuses everyone, with its own error.
TEST(LinuxPortIo, ARefusedIoplIsNotedWithItsErrorAndAMissingCapability)
{
    TempDir dir;
    WriteText(dir / "ioports", kIoports);
    WriteText(dir / "status", "Name:\tcalventa\nCapEff:\t0000000000000000\n");
    const std::string refused = "iopl refused port access (";
    const std::string noRawio = "iopl refused port access (Operation not permitted): it needs CAP_SYS_RAWIO, which "
                                "this process lacks";
    EXPECT_TRUE(testing::AsAttacker([&] {
        LinuxPortIo ports(dir / "ioports", dir / "lockdown", dir / "status");
        if (ports.RequestAccess() || ports.AccessNotes().empty()) {
            return false;
        }
        const std::string note = ports.AccessNotes().back();
        const bool eperm = note.find("Operation not permitted") != std::string::npos;
        return note.starts_with(refused) && (!eperm || note == noRawio);
    }));
}

TEST(LinuxPortIo, WithoutAccessReadsAllOnesAndWritesNothing)
{
    LinuxPortIo ports("/nonexistent/ioports");
    EXPECT_EQ(ports.ReadByte(0x295), 0xFF);
    EXPECT_EQ(ports.ReadDword(0xCFC), 0xFFFFFFFFu);
    ports.WriteByte(0x80, 0x12); // a fault here would end the test process
    ports.WriteDword(0xCF8, 0x80000000u);
    EXPECT_TRUE(ports.AccessNotes().empty());
}

} // namespace
} // namespace calventa::platform::linux_backend
