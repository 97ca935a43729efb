#include "gui/logind_bus.hpp"

#include <fcntl.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QString>
#include <QVariant>
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
  explicit LogindInhibitBus(QDBusConnection bus) : bus_(std::move(bus)) {}

  bool Available() override { return DBusServicePresent(bus_, kService); }

  UniqueFd Inhibit(const std::string& what, const std::string& who, const std::string& why, const std::string& mode,
                   std::string& error) override {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
    call.setArguments({QString::fromStdString(what), QString::fromStdString(who), QString::fromStdString(why),
                       QString::fromStdString(mode)});
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus_.call(call);
    if (!reply.isValid()) {
      error = reply.error().message().toStdString();
      return UniqueFd();
    }
    // The reply closes its own descriptor; the lock keeps a copy.
    const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) error = "no descriptor in the reply";
    return UniqueFd(fd);
  }

 private:
  QDBusConnection bus_;
};

}  // namespace

std::unique_ptr<SleepInhibitBus> MakeLogindInhibitBus() { return MakeLogindInhibitBus(QDBusConnection::systemBus()); }

std::unique_ptr<SleepInhibitBus> MakeLogindInhibitBus(const QDBusConnection& bus) {
  return std::make_unique<LogindInhibitBus>(bus);
}

LogindSleepSignal::LogindSleepSignal(const QDBusConnection& bus) : bus_(bus) {}

bool LogindSleepSignal::Listen(std::function<void(bool sleeping)> changed) {
  if (!DBusServicePresent(bus_, kService)) return false;
  changed_ = std::move(changed);
  return bus_.connect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                     SLOT(OnPrepareForSleep(bool)));
}

void LogindSleepSignal::OnPrepareForSleep(bool sleeping) {
  if (changed_) changed_(sleeping);
}

}  // namespace orv
