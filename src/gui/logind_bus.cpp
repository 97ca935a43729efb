#include "gui/logind_bus.hpp"

#include <fcntl.h>

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QString>
#include <utility>

#include "gui/dbus_service.hpp"
#include "gui/sleep_inhibitor.hpp"

namespace orv {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

class LogindInhibitBus final : public SleepInhibitBus {
 public:
  bool Available() override { return DBusServicePresent(QDBusConnection::systemBus(), kService); }

  UniqueFd Inhibit(const std::string& what, const std::string& who, const std::string& why, const std::string& mode,
                   std::string& error) override {
    QDBusInterface manager(kService, kPath, kManager, QDBusConnection::systemBus());
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.call(QStringLiteral("Inhibit"), QString::fromStdString(what), QString::fromStdString(who),
                     QString::fromStdString(why), QString::fromStdString(mode));
    if (!reply.isValid()) {
      error = reply.error().message().toStdString();
      return UniqueFd();
    }
    // The reply closes its own descriptor; the lock keeps a copy.
    const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) error = "no descriptor in the reply";
    return UniqueFd(fd);
  }
};

}  // namespace

std::unique_ptr<SleepInhibitBus> MakeLogindInhibitBus() { return std::make_unique<LogindInhibitBus>(); }

bool LogindSleepSignal::Listen(std::function<void(bool sleeping)> changed) {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!DBusServicePresent(bus, kService)) return false;
  changed_ = std::move(changed);
  return bus.connect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                     SLOT(OnPrepareForSleep(bool)));
}

void LogindSleepSignal::OnPrepareForSleep(bool sleeping) {
  if (changed_) changed_(sleeping);
}

}  // namespace orv
