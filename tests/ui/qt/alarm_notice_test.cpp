// Alarms that are seen after the alarm window is closed: the tray's mark while an alarm holds,
// the desktop told once when an alarm starts, and the General page's choice kept in the
// program store, not in settings.dat.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <memory>

#include "core/program_store_access.h"
#include "ui/qt/alarm_window.h"
#include "ui/qt/options_window.h"
#include "ui/qt/tray_icon.h"
#include "ui_test_support.h"

namespace calventa::uitest {
namespace {

// The chip board (CPU reads 43 °C) with the CPU's alarm on, started, its notices recorded.
class AlarmNotices : public ::testing::Test
{
protected:
    void Start(std::optional<uint32_t> storedChoice = std::nullopt)
    {
        core::SettingsBlock block = DesktopFixture::AfterFirstStart(kChipBoard);
        core::SensorSlot& cpu = block.Slots[core::kSlotCpu];
        cpu.Enabled = 1;
        cpu.AlarmEnabled = 1;
        cpu.MinLimit = 0;
        cpu.MaxLimit = kInRange;
        desktop = std::make_unique<DesktopFixture>(kChipBoard, block);
        if (storedChoice) {
            desktop->store.Keys[platform::StoreKeyId::Program].Values[core::kAlarmNotificationsValue] = *storedChoice;
        }
        desktop->app->Start();
    }
    // One sensor pass with the CPU's upper limit at `max`.
    void PassWithLimit(int32_t max)
    {
        desktop->app->GetMonitor().State().Settings.Slots[core::kSlotCpu].MaxLimit = max;
        desktop->app->GetMonitor().UpdatePass();
    }
    QString TrayTip() { return desktop->app->Tray().ToolTip(); }
    // "Settings.." from the tray: the dialog on what the program holds now.
    ui::OptionsWindow& OpenOptions()
    {
        desktop->app->SettingsClick();
        return *desktop->app->OptionsForm();
    }
    void Click(const char* name)
    {
        auto* button = desktop->app->OptionsForm()->findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }
    bool TickedWhenOpened()
    {
        return OpenOptions().findChild<QCheckBox*>(QStringLiteral("AlarmNotifications"))->isChecked();
    }
    std::optional<uint32_t> Stored()
    {
        auto& values = desktop->store.Keys[platform::StoreKeyId::Program].Values;
        const auto found = values.find(core::kAlarmNotificationsValue);
        if (found == values.end()) {
            return std::nullopt;
        }
        return std::get<uint32_t>(found->second);
    }

    static constexpr int32_t kInRange = 70;
    static constexpr int32_t kBelowTheReading = 40;
    std::unique_ptr<DesktopFixture> desktop;
    const std::vector<core::AlarmNotice>& calls() const { return desktop->alarmNotices; }
};

TEST_F(AlarmNotices, OncePerAlarmStartNotEveryPassAndTheTrayKeepsTheMarkAfterTheWindowCloses)
{
    Start();
    PassWithLimit(kInRange);
    EXPECT_TRUE(calls().empty());
    EXPECT_FALSE(TrayTip().startsWith(QStringLiteral("\u26A0")));

    PassWithLimit(kBelowTheReading);
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0].Summary, "Calventa alarm");
    EXPECT_EQ(calls()[0].Body.rfind("CPU temperature is 43 ", 0), 0u) << calls()[0].Body;

    // The alarm window's "Close", then more passes with the value still out of range.
    desktop->app->AlarmForm()->findChild<QAbstractButton*>(QStringLiteral("CloseButton"))->click();
    EXPECT_FALSE(desktop->app->AlarmForm()->isVisible());
    for (int pass = 0; pass < 3; ++pass) {
        PassWithLimit(kBelowTheReading);
    }
    EXPECT_EQ(calls().size(), 1u);
    EXPECT_TRUE(TrayTip().startsWith(QStringLiteral("\u26A0 ALARM: CPU\nCPU: 43"))) << TrayTip().toStdString();
    const QImage digits = desktop->app->Tray().IconImage();
    ASSERT_FALSE(digits.isNull());
    EXPECT_EQ(digits.pixelColor(0, 15), QColor(Qt::red)) << "the backdrop marks the digits";

    PassWithLimit(kInRange); // clears: the tray looks normal again
    EXPECT_FALSE(TrayTip().contains(QStringLiteral("ALARM")));
    EXPECT_EQ(desktop->app->Tray().IconImage().pixelColor(0, 15).alpha(), 0);

    PassWithLimit(kBelowTheReading); // a new start
    EXPECT_EQ(calls().size(), 2u);
}

TEST_F(AlarmNotices, NoneWhenSwitchedOffOnTheGeneralPage)
{
    Start();
    EXPECT_TRUE(TickedWhenOpened()) << "on by default";
    Click("AlarmNotifications");
    Click("OkButton");
    EXPECT_EQ(Stored(), 0u);

    PassWithLimit(kBelowTheReading);
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(TrayTip().startsWith(QStringLiteral("\u26A0 ALARM: CPU"))) << "the tray marks it all the same";
}

TEST_F(AlarmNotices, TheGeneralPagesBoxRoundTripsThroughTheStoreAndLeavesSettingsDatAlone)
{
    Start(0);
    EXPECT_FALSE(desktop->app->GetMonitor().State().AlarmNotifications);
    EXPECT_FALSE(TickedWhenOpened());
    const std::vector<uint8_t> settingsBefore = desktop->files.Files[desktop->SettingsPath()];
    ASSERT_EQ(settingsBefore.size(), core::kSettingsImageSize);

    Click("AlarmNotifications");
    Click("CancelButton");
    EXPECT_FALSE(TickedWhenOpened()) << "Cancel keeps the stored choice";
    EXPECT_EQ(Stored(), 0u);

    Click("AlarmNotifications");
    Click("OkButton");
    EXPECT_EQ(Stored(), 1u);
    EXPECT_TRUE(desktop->app->GetMonitor().State().AlarmNotifications);
    EXPECT_TRUE(TickedWhenOpened());
    Click("CancelButton");
    EXPECT_EQ(desktop->files.Files[desktop->SettingsPath()], settingsBefore) << "the choice is not in the image";

    PassWithLimit(kBelowTheReading);
    EXPECT_EQ(calls().size(), 1u);
}

TEST_F(AlarmNotices, AStoreThatRefusesTheChoiceStillHonoursItUntilTheProgramEnds)
{
    Start();
    desktop->store.Keys[platform::StoreKeyId::Program].WriteAllowed = false;
    OpenOptions();
    Click("AlarmNotifications");
    Click("OkButton");
    EXPECT_EQ(Stored(), std::nullopt);
    PassWithLimit(kBelowTheReading);
    EXPECT_TRUE(calls().empty());
}

// --- the freedesktop notifier against a notification service on a private bus ------------

// org.freedesktop.Notifications as a notification daemon offers it, keeping what it is sent.
class FakeNotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Received
    {
        QString App, Icon, Summary, Body;
        QVariantMap Hints;
    };
    std::vector<Received> Calls;

public slots:
    uint Notify(const QString& app, uint /*replaces*/, const QString& icon, const QString& summary, const QString& body,
                const QStringList& /*actions*/, const QVariantMap& hints, int /*timeout*/)
    {
        Calls.push_back({app, icon, summary, body, hints});
        return static_cast<uint>(Calls.size());
    }
};

// A dbus-daemon of the test's own, so that nothing reaches the desktop the tests run on.
class PrivateBus : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) {
            GTEST_SKIP() << "no dbus-daemon";
        }
        m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                                QStringLiteral("--print-address=1")});
        ASSERT_TRUE(m_daemon.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_daemon.canReadLine(); }, 5000));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
    QDBusConnection Connect(const char* name)
    {
        return QDBusConnection::connectToBus(m_address, QString::fromLatin1(name));
    }

    QProcess m_daemon;
    QString m_address;
};

TEST_F(PrivateBus, TheNoticeReachesTheNotificationServiceAsACriticalNotification)
{
    FakeNotificationService service;
    QDBusConnection serviceBus = Connect("service");
    ASSERT_TRUE(serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    int fallbacks = 0;
    app::FreedesktopAlarmNotifier notifier([&fallbacks](const QString&, const QString&) { ++fallbacks; },
                                           Connect("client"));
    notifier.Notify({"Calventa alarm", "CPU temperature is 75 \xC2\xB0"
                                       "C / 167 \xC2\xB0"
                                       "F"});
    ASSERT_TRUE(QTest::qWaitFor([&service] { return !service.Calls.empty(); }, 5000));
    const FakeNotificationService::Received& got = service.Calls.front();
    EXPECT_EQ(got.App, QStringLiteral("Calventa"));
    EXPECT_EQ(got.Summary, QStringLiteral("Calventa alarm"));
    EXPECT_EQ(got.Body, QStringLiteral("CPU temperature is 75 \u00B0C / 167 \u00B0F"));
    EXPECT_EQ(got.Hints.value(QStringLiteral("urgency")).toInt(), 2);
    QTest::qWait(50);
    EXPECT_EQ(fallbacks, 0);
}

TEST_F(PrivateBus, WithoutANotificationServiceTheFallbackShowsTheNotice)
{
    QStringList shown;
    app::FreedesktopAlarmNotifier notifier(
        [&shown](const QString& summary, const QString& body) { shown << summary << body; }, Connect("client"));
    notifier.Notify({"Calventa alarm", "+12V voltage is 13.50 V"});
    ASSERT_TRUE(QTest::qWaitFor([&shown] { return !shown.isEmpty(); }, 5000));
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Calventa alarm"), QStringLiteral("+12V voltage is 13.50 V")}));
}

} // namespace
} // namespace calventa::uitest

#include "alarm_notice_test.moc"
