#include "core/monitor_state.h"

#include <gtest/gtest.h>

#include "case_name.h"

#include <random>

#include "core/fakes.h"
#include "core/program_store_access.h"

namespace calventa::core {
namespace {

constexpr const char* kDir = "/srv/calventa";
constexpr const char* kSettingsPath = "/srv/calventa/settings.dat";

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return bytes;
}

class MonitorStateTest : public ::testing::Test
{
protected:
    MonitorStateTest()
    {
        m_fake.Store.Keys[platform::StoreKeyId::Program].Values[kPathValue] = std::string(kDir);
        m_fake.Facts.Screen = {1920, 1080};
        m_state.ReadProgramPath();
        m_state.SetDefaultSettings();
    }

    fake::FakeMachine m_fake;
    MonitorState m_state{m_fake.Machine};
};

TEST_F(MonitorStateTest, ProgramPathAndFiles)
{
    EXPECT_EQ(m_state.ProgramPath, kDir);
    EXPECT_EQ(m_state.ProgramFile(kSettingsFileName), kSettingsPath);
    EXPECT_EQ(m_state.ProgramFile(kLogFileName), "/srv/calventa/debug.txt");
}

TEST_F(MonitorStateTest, DefaultsCoverWidthFanDutiesAndScreen)
{
    m_state.MainWindowWidth = 300;
    m_state.FanDuty.SetAll(7);
    m_state.SetDefaultSettings();
    EXPECT_EQ(m_state.MainWindowWidth, 170);
    for (int channel = 1; channel <= 8; ++channel) {
        EXPECT_EQ(m_state.FanDuty.Get(channel), 100) << channel;
    }
    EXPECT_EQ(m_state.Settings.WindowLeft, 1920 - 210);
    EXPECT_EQ(m_state.Settings.WindowTop, 1080 - 500);
    EXPECT_EQ(m_state.Settings.Slots[kSlotCpu].MinLimit, -10);
}

TEST_F(MonitorStateTest, SaveThenLoadRestoresEveryByte)
{
    // Run-time bytes included: the latches and last alarm values travel through the file too.
    const std::vector<uint8_t> image = RandomBytes(kSettingsImageSize, 1);
    DecodeSettings(image, m_state.Settings);
    m_state.SaveSettings();
    ASSERT_TRUE(m_fake.Files.Files.contains(kSettingsPath));
    EXPECT_EQ(m_fake.Files.Files[kSettingsPath], image);

    MonitorState next{m_fake.Machine};
    next.ReadProgramPath();
    next.SetDefaultSettings();
    next.LoadSettings();
    const SettingsImage loaded = EncodeSettings(next.Settings);
    EXPECT_TRUE(std::equal(loaded.begin(), loaded.end(), image.begin(), image.end()));
}

TEST_F(MonitorStateTest, MissingOrUnreadableFileChangesNothing)
{
    const SettingsImage before = EncodeSettings(m_state.Settings);
    m_state.LoadSettings();
    EXPECT_EQ(EncodeSettings(m_state.Settings), before);

    m_fake.Files.Files[kSettingsPath] = RandomBytes(kSettingsImageSize, 2);
    m_fake.Files.Unreadable.insert(kSettingsPath);
    m_state.LoadSettings();
    EXPECT_EQ(EncodeSettings(m_state.Settings), before);
}

TEST_F(MonitorStateTest, FailedSaveIsSilentAndKeepsTheOldFile)
{
    const std::vector<uint8_t> old = RandomBytes(kSettingsImageSize, 3);
    m_fake.Files.Files[kSettingsPath] = old;
    m_fake.Files.Uncreatable.insert(kSettingsPath);
    const SettingsImage before = EncodeSettings(m_state.Settings);
    m_state.SaveSettings();
    EXPECT_EQ(m_fake.Files.Files[kSettingsPath], old);
    EXPECT_EQ(EncodeSettings(m_state.Settings), before);
}

TEST_F(MonitorStateTest, ReadOnlySettingsFileLoadsIsNamedInTheLogAndIsNotReplaced)
{
    const std::vector<uint8_t> frozen = RandomBytes(kSettingsImageSize, 5);
    m_fake.Files.Files[kSettingsPath] = frozen;
    m_fake.Files.ReadOnly.insert(kSettingsPath);
    m_state.Log().OpenLog("/srv/calventa/debug.txt", true);
    m_state.LoadSettings();
    m_state.Log().CloseLog();
    const SettingsImage loaded = EncodeSettings(m_state.Settings);
    EXPECT_EQ(std::vector<uint8_t>(loaded.begin(), loaded.end()), frozen);
    EXPECT_NE(m_fake.Files.Text("/srv/calventa/debug.txt")
                  .find("/srv/calventa/settings.dat is read-only: changed settings will not be saved"),
              std::string::npos);

    m_state.Settings.SensorInterval = 7;
    m_state.SaveSettings();
    EXPECT_EQ(m_fake.Files.Files[kSettingsPath], frozen);
}

TEST_F(MonitorStateTest, WritableSettingsFileIsNotNamedInTheLog)
{
    m_fake.Files.Files[kSettingsPath] = RandomBytes(kSettingsImageSize, 6);
    m_state.Log().OpenLog("/srv/calventa/debug.txt", true);
    m_state.LoadSettings();
    m_state.Log().CloseLog();
    EXPECT_EQ(m_fake.Files.Text("/srv/calventa/debug.txt").find("read-only"), std::string::npos);
}

TEST_F(MonitorStateTest, LongFileIsRewrittenWithExactly640Bytes)
{
    m_fake.Files.Files[kSettingsPath] = RandomBytes(5000, 4);
    m_state.LoadSettings();
    m_state.SaveSettings();
    const std::vector<uint8_t>& saved = m_fake.Files.Files[kSettingsPath];
    ASSERT_EQ(saved.size(), kSettingsImageSize);
    EXPECT_EQ(saved, RandomBytes(640, 4)); // same seed: the file's first 640 bytes
}

class SettingsFileLengthTest : public MonitorStateTest, public ::testing::WithParamInterface<size_t>
{
};

TEST_P(SettingsFileLengthTest, FileReplacesOnlyTheBytesItHolds)
{
    const size_t length = GetParam();
    const std::vector<uint8_t> file = RandomBytes(length, static_cast<uint32_t>(length) + 10);
    m_fake.Files.Files[kSettingsPath] = file;

    SettingsImage expected = EncodeSettings(m_state.Settings);
    std::copy_n(file.begin(), std::min(length, expected.size()), expected.begin());

    m_state.LoadSettings();
    EXPECT_EQ(EncodeSettings(m_state.Settings), expected);
    EXPECT_EQ(m_fake.Files.Files[kSettingsPath], file) << "loading must not change the file";
}

INSTANTIATE_TEST_SUITE_P(Lengths, SettingsFileLengthTest, ::testing::Values(0u, 1u, 639u, 640u, 641u, size_t{1} << 20),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             const auto& c = info.param;
                             (void)c;
                             return "Bytes" + std::to_string(c);
                         });

TEST_F(MonitorStateTest, OptionsOkKeepsNoticeFlagsGivenMeanwhile)
{
    m_state.CopyToTempParam();
    EXPECT_EQ(m_state.TempParam, m_state.Settings);

    m_state.TempParam.SensorInterval = 30;
    m_state.TempParam.Slots[kSlotSys].MaxLimit = 55;
    // "Do not show me again" while the dialog is open.
    m_state.Settings.ShowAdminNotice = 0;
    m_state.Settings.ShowFanWarning = 0;

    m_state.CopyFromTempParam();
    EXPECT_EQ(m_state.Settings.SensorInterval, 30);
    EXPECT_EQ(m_state.Settings.Slots[kSlotSys].MaxLimit, 55);
    EXPECT_EQ(m_state.Settings.ShowAdminNotice, 0);
    EXPECT_EQ(m_state.Settings.ShowFanWarning, 0);
    EXPECT_EQ(m_state.TempParam, m_state.Settings);
}

TEST(MonitorStateLog, WritesIntoTheProgramDirectoryOnlyInDebugMode)
{
    fake::FakeMachine machine;
    MonitorState state{machine.Machine};
    state.ReadProgramPath();
    const std::string logPath = state.ProgramFile(kLogFileName);
    EXPECT_EQ(logPath, machine.Facts.DefaultDirectory + "/debug.txt");

    state.Log().OpenLog(logPath, false);
    state.Log().CloseLog();
    EXPECT_FALSE(machine.Files.Files.contains(logPath));

    state.Log().OpenLog(logPath, true);
    state.Log().CloseLog();
    EXPECT_NE(machine.Files.Text(logPath).find("Log closed\r\n"), std::string::npos);
}

} // namespace
} // namespace calventa::core
