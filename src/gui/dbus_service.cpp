#include "gui/dbus_service.hpp"

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QStringList>

namespace orv {

bool DBusServicePresent(const QDBusConnection& bus, const QString& service) {
  if (!bus.isConnected()) return false;
  QDBusConnectionInterface* names = bus.interface();
  if (!names) return false;
  if (names->isServiceRegistered(service).value()) return true;
  const QDBusReply<QStringList> startable = names->activatableServiceNames();
  return startable.isValid() && startable.value().contains(service);
}

}  // namespace orv
