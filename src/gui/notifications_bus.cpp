// The desktop's notification server on the session bus: Notify(app name,
// replaces id, icon, summary, body, actions, hints, expiry).
#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <optional>

#include "gui/dbus_service.hpp"
#include "gui/desktop_notifier.hpp"

namespace orv {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
constexpr int kServerDefaultExpiry = -1;

QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

class FreedesktopNotifications final : public NotificationBus {
 public:
  bool Notify(const DesktopNotice& notice) override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!present_) present_ = DBusServicePresent(bus, kService);
    if (!*present_) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                                       kService, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("orv"));
    // Servers may read the body as markup: a peer's text is shown as text.
    call.setArguments({QStringLiteral("ORV Telephone"), 0u, QStringLiteral("orv"), Text(notice.summary),
                       Text(notice.body).toHtmlEscaped(), QStringList(), hints, kServerDefaultExpiry});
    return bus.send(call);
  }

 private:
  std::optional<bool> present_;
};

}  // namespace

std::unique_ptr<NotificationBus> MakeFreedesktopNotifications() {
  return std::make_unique<FreedesktopNotifications>();
}

}  // namespace orv
