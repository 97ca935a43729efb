// The desktop bus parts against services of the test's own on a private
// bus (a dbus-daemon started for the test, with no service that the
// machine has installed): the messages orv sends are what logind,
// firewalld, the idle interfaces and the notification server take, and
// their answers are read right.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/manual_dispatcher.hpp"
#include "gui/dbus_idle_time.hpp"
#include "gui/desktop_notice.hpp"
#include "gui/firewalld_bus.hpp"
#include "gui/logind_bus.hpp"
#include "gui/notifications_bus.hpp"
#include "gui/resume_watch.hpp"
#include "gui/sleep_inhibitor.hpp"
#include "support/temp_dir.hpp"

namespace orv {
namespace {

// A bus daemon of the test's own: no activatable services, anyone may own
// any name.
class PrivateBus {
 public:
  PrivateBus() {
    // A bus that cannot be reached fails the test, rather than libdbus
    // aborting the test program over the connection Qt then drops.
    qputenv("DBUS_FATAL_WARNINGS", "0");
    const std::string config = dir_ / "bus.conf";
    test::WriteWholeFile(config,
                         "<busconfig><type>session</type><listen>unix:tmpdir=" + dir_.path() +
                             "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                             "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                             "<allow own=\"*\"/></policy></busconfig>\n");
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) return;
    daemon_.start("dbus-daemon", {"--nofork", "--print-address", "--config-file=" + QString::fromStdString(config)});
    if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) return;
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  }
  ~PrivateBus() {
    for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
    daemon_.terminate();
    daemon_.waitForFinished(5000);
  }
  bool running() const { return !address_.isEmpty(); }

  // A connection of its own each time (the program's, a service's).
  QDBusConnection Connect() {
    const QString name = QStringLiteral("orv-test-%1").arg(names_.size());
    names_.push_back(name);
    return QDBusConnection::connectToBus(address_, name);
  }

 private:
  test::TempDir dir_;
  QProcess daemon_;
  QString address_;
  std::vector<QString> names_;
};

// One object of a fake service: each method answers through its handler;
// the calls are kept. It runs on a thread of its own, so that the
// program's blocking calls on the GUI thread get their answers.
class FakeObject final : public QDBusVirtualObject {
 public:
  using Handler = std::function<QVariantList(const QDBusMessage&)>;
  void On(const QString& member, Handler handler) { handlers_[member] = std::move(handler); }

  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(message);
    const auto it = handlers_.find(message.member());
    if (it == handlers_.end()) {
      connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
    } else {
      connection.send(message.createReply(it->second(message)));
    }
    return true;
  }
  std::vector<QDBusMessage> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  std::map<QString, Handler> handlers_;  // set before the service is published
  std::mutex mutex_;
  std::vector<QDBusMessage> calls_;
};

// A service: its name on the bus, and objects at paths.
class FakeService {
 public:
  FakeService(PrivateBus& bus, const QString& name) : connection_(bus.Connect()), name_(name) { thread_.start(); }
  ~FakeService() {
    connection_.unregisterService(name_);
    for (const QString& path : paths_) connection_.unregisterObject(path);
    thread_.quit();
    thread_.wait();
  }
  FakeObject& Object(const QString& path) {
    objects_.push_back(std::make_unique<FakeObject>());
    objects_.back()->moveToThread(&thread_);
    paths_.push_back(path);
    connection_.registerVirtualObject(path, objects_.back().get());
    return *objects_.back();
  }
  bool Publish() { return connection_.registerService(name_); }
  QDBusConnection& connection() { return connection_; }

 private:
  QThread thread_;
  QDBusConnection connection_;
  QString name_;
  std::vector<QString> paths_;
  std::vector<std::unique_ptr<FakeObject>> objects_;
};

class DBusServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!bus_.running()) GTEST_SKIP() << "no dbus-daemon";
    program_ = std::make_unique<QDBusConnection>(bus_.Connect());
    ASSERT_TRUE(program_->isConnected());
  }
  PrivateBus bus_;
  std::unique_ptr<QDBusConnection> program_;
};

const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kLoginPath = QStringLiteral("/org/freedesktop/login1");
const QString kLoginManager = QStringLiteral("org.freedesktop.login1.Manager");

// The arguments of a call as text: "sleep|ORV Telephone|...".
std::string Arguments(const QDBusMessage& call) {
  QStringList parts;
  for (const QVariant& v : call.arguments()) parts << v.toString();
  return parts.join('|').toStdString();
}

TEST_F(DBusServicesTest, TheLoginManagersInhibitorIsHeldAsItsDescriptor) {
  EXPECT_FALSE(MakeLogindInhibitBus(*program_)->Available());  // no login manager yet

  FakeService logind(bus_, kLogin);
  FakeObject& manager = logind.Object(kLoginPath);
  int read_end = -1;
  manager.On("Inhibit", [&read_end](const QDBusMessage&) {
    int ends[2];
    if (::pipe(ends) != 0) return QVariantList();
    read_end = ends[0];
    const QDBusUnixFileDescriptor lock(ends[1]);  // holds a copy
    ::close(ends[1]);
    return QVariantList{QVariant::fromValue(lock)};
  });
  ASSERT_TRUE(logind.Publish());

  SleepInhibitor inhibitor(MakeLogindInhibitBus(*program_), nullptr);
  inhibitor.Set(true);
  ASSERT_TRUE(inhibitor.held());
  ASSERT_EQ(manager.calls().size(), 1u);
  EXPECT_EQ(manager.calls()[0].interface(), kLoginManager);
  EXPECT_EQ(manager.calls()[0].signature(), "ssss");
  EXPECT_EQ(Arguments(manager.calls()[0]), "sleep|ORV Telephone|Prevent the computer from sleeping|block");
  pollfd p{read_end, POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 0), 0);  // held: the lock's write end is open here only
  inhibitor.Set(false);
  ASSERT_EQ(::poll(&p, 1, 1000), 1);
  EXPECT_TRUE(p.revents & POLLHUP);
  ::close(read_end);
}

TEST_F(DBusServicesTest, PrepareForSleepTellsEachWakeOnce) {
  ManualDispatcher dispatcher;
  int resumes = 0;
  {
    LogindSleepSignal absent(*program_);
    ResumeWatch watch(dispatcher, &absent, [&resumes] { ++resumes; });
    EXPECT_FALSE(watch.on_bus());  // no login manager: the clocks
  }
  FakeService logind(bus_, kLogin);
  logind.Object(kLoginPath);
  ASSERT_TRUE(logind.Publish());
  LogindSleepSignal signal(*program_);
  ResumeWatch watch(dispatcher, &signal, [&resumes] { ++resumes; });
  ASSERT_TRUE(watch.on_bus());
  const auto send = [&logind](bool sleeping) {
    QDBusMessage message = QDBusMessage::createSignal(kLoginPath, kLoginManager, "PrepareForSleep");
    message << sleeping;
    logind.connection().send(message);
  };
  send(true);
  send(false);
  EXPECT_TRUE(QTest::qWaitFor([&] {
    dispatcher.RunPending();
    return resumes == 1;
  }, 5000));
  send(false);  // a repeated "back": no new wake
  send(true);
  send(false);
  EXPECT_TRUE(QTest::qWaitFor([&] {
    dispatcher.RunPending();
    return resumes >= 2;
  }, 5000));
  QTest::qWait(100);
  dispatcher.RunPending();
  EXPECT_EQ(resumes, 2);
}

TEST_F(DBusServicesTest, TheIdleTimeComesFromTheFirstInterfaceThatAnswers) {
  EXPECT_FALSE(MakeScreenSaverIdleTime(*program_)->Query());
  FakeService mutter(bus_, "org.gnome.Mutter.IdleMonitor");
  mutter.Object("/org/gnome/Mutter/IdleMonitor/Core").On("GetIdletime", [](const QDBusMessage&) {
    return QVariantList{QVariant::fromValue(qulonglong(90'000))};
  });
  ASSERT_TRUE(mutter.Publish());
  // GNOME's screen saver interface is there, but refuses the question.
  FakeService screensaver(bus_, "org.freedesktop.ScreenSaver");
  screensaver.Object("/org/freedesktop/ScreenSaver");
  ASSERT_TRUE(screensaver.Publish());

  std::vector<IdleCandidate> candidates;
  candidates.push_back({"org.freedesktop.ScreenSaver", MakeScreenSaverIdleTime(*program_)});
  candidates.push_back({"org.gnome.Mutter.IdleMonitor", MakeMutterIdleTime(*program_)});
  IdleChoice choice = SelectIdleTimeSource(std::move(candidates));
  EXPECT_EQ(choice.name, "org.gnome.Mutter.IdleMonitor");
  EXPECT_EQ(choice.source->IdleMilliseconds(), 90'000u);
}

TEST_F(DBusServicesTest, TheScreenSaverInterfaceAnswersInMilliseconds) {
  FakeService screensaver(bus_, "org.freedesktop.ScreenSaver");
  screensaver.Object("/org/freedesktop/ScreenSaver").On("GetSessionIdleTime", [](const QDBusMessage&) {
    return QVariantList{QVariant::fromValue(uint(4321))};
  });
  ASSERT_TRUE(screensaver.Publish());
  EXPECT_EQ(MakeScreenSaverIdleTime(*program_)->Query(), std::optional<uint64_t>(4321));
}

TEST_F(DBusServicesTest, FirewalldOpensTheUdpPortInTheDefaultZoneForTheRunningSystem) {
  EXPECT_FALSE(MakeFirewalldBus(*program_)->Available());
  FakeService firewalld(bus_, "org.fedoraproject.FirewallD1");
  FakeObject& zone = firewalld.Object("/org/fedoraproject/FirewallD1");
  zone.On("queryPort", [](const QDBusMessage&) { return QVariantList{false}; });
  zone.On("addPort", [](const QDBusMessage&) { return QVariantList{QString("public")}; });
  ASSERT_TRUE(firewalld.Publish());

  std::FILE* out = std::tmpfile();
  OpenFirewallPortOn(MakeFirewalldBus(*program_).get(), 31265, out);
  std::rewind(out);
  char text[256] = {};
  const size_t got = std::fread(text, 1, sizeof(text) - 1, out);
  std::fclose(out);
  EXPECT_EQ(std::string(text, got),
            "Port 31265 is not open in the firewall.\nPort 31265 is now open in the firewall.\n");
  const std::vector<QDBusMessage> calls = zone.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].interface(), "org.fedoraproject.FirewallD1.zone");
  EXPECT_EQ(calls[0].signature(), "sss");
  EXPECT_EQ(Arguments(calls[0]), "|31265|udp");
  EXPECT_EQ(calls[1].signature(), "sssi");
  EXPECT_EQ(Arguments(calls[1]), "|31265|udp|0");
}

TEST_F(DBusServicesTest, ANoticeReachesTheNotificationServerAsText) {
  EXPECT_FALSE(MakeFreedesktopNotifications(*program_)->Notify(ChatLineNotice("Bob - online", "x")));
  FakeService server(bus_, "org.freedesktop.Notifications");
  FakeObject& notifications = server.Object("/org/freedesktop/Notifications");
  notifications.On("Notify", [](const QDBusMessage&) { return QVariantList{uint(7)}; });
  ASSERT_TRUE(server.Publish());

  auto bus = MakeFreedesktopNotifications(*program_);
  ASSERT_TRUE(bus->Notify(ChatLineNotice("Bob - online", "<b>1 & 2</b>")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !notifications.calls().empty(); }, 5000));
  const QDBusMessage call = notifications.calls()[0];
  EXPECT_EQ(call.signature(), "susssasa{sv}i");
  const QVariantList args = call.arguments();
  EXPECT_EQ(args[0].toString(), "ORV Telephone");
  EXPECT_EQ(args[2].toString(), "orv");
  EXPECT_EQ(args[3].toString(), "Bob - online");
  EXPECT_EQ(args[4].toString(), "&lt;b&gt;1 &amp; 2&lt;/b&gt;");  // shown as typed, not as markup
}

}  // namespace
}  // namespace orv
