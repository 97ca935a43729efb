// The desktop's idle time over the session bus: the screen saver interface
// that KDE and others offer, and GNOME's idle monitor.
#include "gui/dbus_idle_time.hpp"

#include <QDBusMessage>
#include <QDBusReply>
#include <QString>
#include <utility>

namespace orv {
namespace {

// The question is asked once a second on the GUI thread: a desktop that is
// slow to answer must not hold it long.
constexpr int kCallTimeoutMs = 500;

template <typename Reply>
class DBusIdleTime final : public IdleTimeProbe {
 public:
  DBusIdleTime(QDBusConnection bus, QString service, QString path, QString interface, QString method)
      : bus_(std::move(bus)), service_(std::move(service)), path_(std::move(path)),
        interface_(std::move(interface)), method_(std::move(method)) {}

  std::optional<uint64_t> Query() override {
    if (!bus_.isConnected()) return std::nullopt;
    const QDBusMessage call = QDBusMessage::createMethodCall(service_, path_, interface_, method_);
    const QDBusReply<Reply> reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (!reply.isValid()) return std::nullopt;
    return static_cast<uint64_t>(reply.value());
  }

 private:
  QDBusConnection bus_;
  QString service_, path_, interface_, method_;
};

}  // namespace

// GetSessionIdleTime answers in milliseconds (GNOME's copy of this
// interface refuses it, and the idle monitor below is asked instead).
std::unique_ptr<IdleTimeProbe> MakeScreenSaverIdleTime(const QDBusConnection& bus) {
  return std::make_unique<DBusIdleTime<uint>>(
      bus, QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
      QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("GetSessionIdleTime"));
}

std::unique_ptr<IdleTimeProbe> MakeMutterIdleTime(const QDBusConnection& bus) {
  return std::make_unique<DBusIdleTime<qulonglong>>(
      bus, QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
      QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("GetIdletime"));
}

std::unique_ptr<IdleTimeProbe> MakeScreenSaverIdleTime() {
  return MakeScreenSaverIdleTime(QDBusConnection::sessionBus());
}

std::unique_ptr<IdleTimeProbe> MakeMutterIdleTime() { return MakeMutterIdleTime(QDBusConnection::sessionBus()); }

}  // namespace orv
