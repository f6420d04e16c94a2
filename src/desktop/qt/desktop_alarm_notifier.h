#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "core/alarms.h"

namespace calventa::app {

// Tells the desktop that alarms started. The desktop program calls it once for each start
// the monitor reports, and only while the General page's box is ticked.
class AlarmNotifier
{
public:
    virtual ~AlarmNotifier() = default;
    virtual void Notify(const core::AlarmNotice& notice) = 0;
};

// The desktop's notification service (org.freedesktop.Notifications on the session bus),
// asked without waiting for its answer, so a slow or absent service never holds up a pass.
// Where no service answers, the fallback shows the notice (the tray icon's own balloon).
class FreedesktopAlarmNotifier final : public QObject, public AlarmNotifier
{
    Q_OBJECT
public:
    using Fallback = std::function<void(const QString& summary, const QString& body)>;

    // Without a bus, the session bus, connected at the first notice.
    explicit FreedesktopAlarmNotifier(Fallback fallback, std::optional<QDBusConnection> bus = std::nullopt);

    void Notify(const core::AlarmNotice& notice) override;

private:
    Fallback m_fallback;
    std::optional<QDBusConnection> m_bus;
};

} // namespace calventa::app
