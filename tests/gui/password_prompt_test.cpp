// The password prompt on the desktop: while it is up, a task of the event
// loop that needs the password (a chat opening its encrypted log) gets a
// prompt of its own instead of waiting for the one below it, which would
// freeze the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/app_context.hpp"
#include "app/app_network_host.hpp"
#include "app/password_service.hpp"
#include "chat/chat_log.hpp"
#include "gui/password_dialog.hpp"
#include "gui/widget_ui_port.hpp"
#include "support/temp_dir.hpp"
#include "support/test_identity.hpp"

namespace orv {
namespace {

using test::Alice;

PasswordDialog* TopPasswordDialog() { return dynamic_cast<PasswordDialog*>(QApplication::activeModalWidget()); }

void Answer(PasswordDialog* dialog) {
  dialog->password_edit()->setText(QString::fromStdString(Alice().password));
  dialog->ok_button()->click();
}

TEST(PasswordPromptTest, AChatLogOpenedWhileThePromptIsUpGetsItsOwnPrompt) {
  WidgetUiPort ui;
  auto ctx = AppContext::Create(ui);
  ASSERT_NE(ctx, nullptr);
  ctx->key() = Alice().record;
  PasswordService passwords(*ctx, ui, {});
  passwords.SetTime(1);
  passwords.Cache(PasswordBytes(Alice().password));
  passwords.Tick();
  passwords.Tick();  // the password's `Time` has run out
  ASSERT_FALSE(passwords.Held());
  AppNetworkHost host(*ctx, ui, passwords);
  test::TempDir dir;
  const uint32_t bob[kUserIdWords] = {0xB0B};

  // The script runs inside whichever dialog's event loop is current.
  PasswordDialog* first = nullptr;
  bool log_opened = false;
  int step = 0;
  QTimer script;
  QObject::connect(&script, &QTimer::timeout, [&] {
    PasswordDialog* top = TopPasswordDialog();
    if (step == 0 && top) {
      first = top;  // a handshake worker's prompt; a chat opens meanwhile
      step = 1;
      QTimer::singleShot(0, [&] {
        HostChatLogKeys keys(host);
        RecordLog log;
        log_opened = OpenChatLog(log, dir.path(), bob, keys, [](const std::u16string&) {});
      });
    } else if (step == 1 && top && top != first) {
      step = 2;
      Answer(top);  // the chat's own prompt
    } else if (step == 2 && log_opened && top == first) {
      step = 3;
      Answer(first);
    }
  });
  script.start(5);

  std::atomic<bool> worker_done{false};
  bool worker_got = false;
  std::thread worker([&] {
    PasswordBytes password;
    worker_got = host.GetPassword(password);
    worker_done = true;
  });
  const bool finished = QTest::qWaitFor([&] { return worker_done.load(); }, 120000);
  script.stop();
  if (!finished) ui.StopAsking();
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_TRUE(log_opened);
  EXPECT_TRUE(worker_got);
  EXPECT_EQ(step, 3);
  EXPECT_TRUE(passwords.Held());
}

}  // namespace
}  // namespace orv
