#include "desktop/qt/desktop_alarm_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace calventa::app {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
constexpr uchar kCriticalUrgency = 2; // stays until the user dismisses it
constexpr int kServerDecidesTimeout = -1;

} // namespace

FreedesktopAlarmNotifier::FreedesktopAlarmNotifier(Fallback fallback, std::optional<QDBusConnection> bus)
    : m_fallback(std::move(fallback)), m_bus(std::move(bus))
{
}

void FreedesktopAlarmNotifier::Notify(const core::AlarmNotice& notice)
{
    const QString summary = QString::fromStdString(notice.Summary);
    const QString body = QString::fromStdString(notice.Body);
    if (!m_bus) {
        m_bus = QDBusConnection::sessionBus();
    }
    if (!m_bus->isConnected()) {
        if (m_fallback) {
            m_fallback(summary, body);
        }
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kCriticalUrgency));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("calventa"));
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
    call << QStringLiteral("Calventa") << uint{0} << QStringLiteral("calventa") << summary << body << QStringList()
         << hints << kServerDecidesTimeout;
    auto* watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, summary, body] {
        const QDBusPendingReply<uint> reply = *watcher;
        // No notification service on the bus (or one that refused): the notice is not lost.
        if (reply.isError() && m_fallback) {
            m_fallback(summary, body);
        }
        watcher->deleteLater();
    });
}

} // namespace calventa::app
