// firewalld on the system bus: the zone interface's queryPort, addPort and
// removePort for one UDP port in the default zone (the empty zone name),
// changing the running firewall only, never its saved configuration.
#include "gui/firewalld_bus.hpp"

#include <QDBusMessage>
#include <QDBusReply>
#include <QString>
#include <QVariant>

#include <utility>

#include "gui/dbus_service.hpp"

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
  explicit FirewalldBus(QDBusConnection bus) : bus_(std::move(bus)) {}

  bool Available() override { return DBusServicePresent(bus_, kService); }

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
  QDBusMessage Call(const QString& method, const QList<QVariant>& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kZone, method);
    call.setArguments(arguments);
    call.setInteractiveAuthorizationAllowed(true);
    return bus_.call(call);
  }

  QDBusConnection bus_;
};

}  // namespace

std::unique_ptr<FirewallBus> MakeFirewalldBus(const QDBusConnection& bus) { return std::make_unique<FirewalldBus>(bus); }

std::unique_ptr<FirewallBus> MakeFirewalldBus() { return MakeFirewalldBus(QDBusConnection::systemBus()); }

}  // namespace orv
