// The login manager (logind) on the system bus: its sleep inhibitor (see
// sleep_inhibitor.hpp) and its PrepareForSleep signal, which tells when
// the computer goes to sleep (true) and when it is back (false).
#pragma once

#include <functional>
#include <memory>

#include <QDBusConnection>
#include <QObject>

#include "gui/resume_watch.hpp"
#include "gui/sleep_inhibitor.hpp"

namespace orv {

// The inhibitor of the login manager on `bus`.
std::unique_ptr<SleepInhibitBus> MakeLogindInhibitBus(const QDBusConnection& bus);

// Listens to org.freedesktop.login1.Manager.PrepareForSleep; `changed`
// runs on the GUI thread with the signal's argument.
class LogindSleepSignal final : public QObject, public SleepSignal {
  Q_OBJECT

 public:
  explicit LogindSleepSignal(const QDBusConnection& bus = QDBusConnection::systemBus());
  // False when there is no login manager on the system bus.
  bool Listen(std::function<void(bool sleeping)> changed) override;

 private Q_SLOTS:
  void OnPrepareForSleep(bool sleeping);

 private:
  QDBusConnection bus_;
  std::function<void(bool)> changed_;
};

}  // namespace orv
