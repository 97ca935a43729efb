// The desktop's idle time over the session bus: the screen saver interface
// that KDE and others offer, and GNOME's idle monitor.
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QString>
#include <utility>

#include "gui/idle_time_sources.hpp"

namespace orv {
namespace {

// The question is asked once a second on the GUI thread: a desktop that is
// slow to answer must not hold it long.
constexpr int kCallTimeoutMs = 500;

template <typename Reply>
class DBusIdleTime final : public IdleTimeProbe {
 public:
  DBusIdleTime(QString service, QString path, QString interface, QString method)
      : service_(std::move(service)), path_(std::move(path)), interface_(std::move(interface)),
        method_(std::move(method)) {}

  std::optional<uint64_t> Query() override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return std::nullopt;
    QDBusInterface idle(service_, path_, interface_, bus);
    idle.setTimeout(kCallTimeoutMs);
    const QDBusReply<Reply> reply = idle.call(method_);
    if (!reply.isValid()) return std::nullopt;
    return static_cast<uint64_t>(reply.value());
  }

 private:
  QString service_, path_, interface_, method_;
};

}  // namespace

// GetSessionIdleTime answers in milliseconds (GNOME's copy of this
// interface refuses it, and the idle monitor below is asked instead).
std::unique_ptr<IdleTimeProbe> MakeScreenSaverIdleTime() {
  return std::make_unique<DBusIdleTime<uint>>(
      QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
      QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("GetSessionIdleTime"));
}

std::unique_ptr<IdleTimeProbe> MakeMutterIdleTime() {
  return std::make_unique<DBusIdleTime<qulonglong>>(
      QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
      QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("GetIdletime"));
}

}  // namespace orv
