// The desktop's notification server on the session bus: Notify(app name,
// replaces id, icon, summary, body, actions, hints, expiry).
#include "gui/notifications_bus.hpp"

#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <optional>
#include <utility>

#include "gui/dbus_service.hpp"

namespace orv {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
constexpr int kServerDefaultExpiry = -1;

QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

class FreedesktopNotifications final : public NotificationBus {
 public:
  explicit FreedesktopNotifications(QDBusConnection bus) : bus_(std::move(bus)) {}

  bool Notify(const DesktopNotice& notice) override {
    if (!present_) present_ = DBusServicePresent(bus_, kService);
    if (!*present_) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                                       kService, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("orv"));
    // Servers may read the body as markup: a peer's text is shown as text.
    call.setArguments({QStringLiteral("ORV Telephone"), 0u, QStringLiteral("orv"), Text(notice.summary),
                       Text(notice.body).toHtmlEscaped(), QStringList(), hints, kServerDefaultExpiry});
    return bus_.send(call);
  }

 private:
  QDBusConnection bus_;
  std::optional<bool> present_;
};

}  // namespace

std::unique_ptr<NotificationBus> MakeFreedesktopNotifications(const QDBusConnection& bus) {
  return std::make_unique<FreedesktopNotifications>(bus);
}

std::unique_ptr<NotificationBus> MakeFreedesktopNotifications() {
  return MakeFreedesktopNotifications(QDBusConnection::sessionBus());
}

}  // namespace orv
