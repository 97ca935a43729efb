// Whether a D-Bus service can be reached: its name is owned now, or the
// bus can start it on the first call.
#pragma once

#include <QDBusConnection>
#include <QString>

namespace orv {

bool DBusServicePresent(const QDBusConnection& bus, const QString& service);

}  // namespace orv
