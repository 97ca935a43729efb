// firewalld on the system bus: the zone interface's queryPort, addPort and
// removePort for one UDP port in the default zone (the empty zone name),
// changing the running firewall only, never its saved configuration.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QString>
#include <QVariant>

#include "gui/dbus_service.hpp"
#include "gui/firewall_ports.hpp"

namespace orv {
namespace {

const QString kService = QStringLiteral("org.fedoraproject.FirewallD1");
const QString kPath = QStringLiteral("/org/fedoraproject/FirewallD1");
const QString kZone = QStringLiteral("org.fedoraproject.FirewallD1.zone");
const QString kDefaultZone;  // empty: the default zone
const QString kUdp = QStringLiteral("udp");
constexpr int kNoTimeLimit = 0;

class FirewalldBus final : public FirewallBus {
 public:
  bool Available() override { return DBusServicePresent(QDBusConnection::systemBus(), kService); }

  std::optional<bool> PortOpen(uint16_t port, std::string& error) override {
    const QDBusReply<bool> reply = Call(QStringLiteral("queryPort"), {kDefaultZone, PortName(port), kUdp});
    if (!reply.isValid()) {
      error = Error(reply.error());
      return std::nullopt;
    }
    return reply.value();
  }

  bool AddPort(uint16_t port, std::string& error) override {
    return Done(Call(QStringLiteral("addPort"), {kDefaultZone, PortName(port), kUdp, kNoTimeLimit}), error);
  }

  bool RemovePort(uint16_t port, std::string& error) override {
    return Done(Call(QStringLiteral("removePort"), {kDefaultZone, PortName(port), kUdp}), error);
  }

 private:
  static QString PortName(uint16_t port) { return QString::number(port); }

  static std::string Error(const QDBusError& error) {
    return (error.name() + QStringLiteral(": ") + error.message()).toStdString();
  }

  static bool Done(const QDBusMessage& reply, std::string& error) {
    if (reply.type() != QDBusMessage::ErrorMessage) return true;
    error = (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
    return false;
  }

  // Changing the firewall needs the administrator's consent: the desktop
  // may ask the person for it while the call waits.
  static QDBusMessage Call(const QString& method, const QList<QVariant>& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kZone, method);
    call.setArguments(arguments);
    call.setInteractiveAuthorizationAllowed(true);
    return QDBusConnection::systemBus().call(call);
  }
};

}  // namespace

std::unique_ptr<FirewallBus> MakeFirewalldBus() { return std::make_unique<FirewalldBus>(); }

}  // namespace orv
