#include "gui/chat_windows.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "app/manual_dispatcher.hpp"
#include "audio/tone_player.hpp"
#include "chat/chat_fakes.hpp"
#include "chat/chat_message.hpp"
#include "chat/conversations.hpp"
#include "net/dispatch.hpp"

namespace orv {
namespace {

PeerRef Bob() {
  PeerRef ref;
  for (uint32_t i = 0; i < kUserIdWords; ++i) ref.user_id[i] = 0xB0B00000 + i;
  ref.ipv4 = 0x0A000002;
  ref.port = 31265;
  return ref;
}

// The chat windows over real conversations whose collaborators are the
// recording fakes of the conversations' own tests.
struct ChatFixture {
  ChatFixture() {
    network.known = Bob();
    ConversationServices services;
    services.dispatcher = &dispatcher;
    services.sender = &sender;
    services.events = &windows;
    services.network = &network;
    services.contacts = &contacts;
    services.voice = &voice;
    services.line_stamp = [] { return std::u16string(u"01/02/25 10:30"); };
    services.clock_ms = [] { return 0u; };
    services.start_timer = false;
    ConversationSettings settings;
    settings.allow_anyone = true;
    settings.allow_connection_request = true;
    conversations = std::make_unique<Conversations>(services, settings);
  }
  ~ChatFixture() {
    conversations.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // A call channel payload from Bob as the receive thread hands it on.
  void FromBob(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> plaintext = {1, 0, 0, 0};
    plaintext.insert(plaintext.end(), data.begin(), data.end());
    NetworkConsumers set;
    set.conversations = conversations.get();
    DispatchPayload(set, plaintext.data(), plaintext.size(), Bob());
    dispatcher.RunPending();
  }
  // Bob calls.
  void RingFromBob() {
    const auto ring = EncodeCallCode(kCodeCallRequest);
    FromBob({ring.begin(), ring.end()});
  }

  ManualDispatcher dispatcher;
  test::RecordingSender sender;
  test::FakeNetwork network;
  test::FakeContacts contacts;
  test::RecordingVoiceProvider voice;
  std::vector<PeerRef> requests;
  std::vector<Tone> tones;
  ChatWindows windows{ChatWindowServices{
      [this] { return conversations.get(); },
      [this](const PeerRef& peer) { requests.push_back(peer); },
      nullptr,
      nullptr,
      nullptr,
      [this](Tone tone) -> std::unique_ptr<TonePlayer> {
        tones.push_back(tone);
        return nullptr;
      },
      [this](const DesktopNotice& notice) { notices.push_back(notice); }}};
  std::vector<DesktopNotice> notices;
  std::unique_ptr<Conversations> conversations;
};

TEST(ChatWindowsTest, TypedTextIsSentPendingAndTurnsNormalWhenAcknowledged) {
  ChatFixture f;
  const ConversationId id = f.conversations->Open(Bob());
  f.dispatcher.RunPending();
  ChatWindow* window = f.windows.window(id);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->windowTitle().startsWith("Bob - "));
  f.sender.Take();

  QTest::keyClicks(window->input(), "hello");
  QTest::keyClick(window->input(), Qt::Key_Return);
  f.dispatcher.RunPending();
  bool text_sent = false;
  uint32_t sequence = 0;
  for (const test::SentPayload& p : f.sender.Take())
    if (p.code() == kCodeChatText) {
      text_sent = true;
      sequence = p.sequence();
    }
  EXPECT_TRUE(text_sent);
  EXPECT_TRUE(window->history()->toPlainText().contains("01/02/25 10:30 > hello"));
  const auto range = window->PendingRange(1);
  ASSERT_GE(range.first, 0);

  const auto ack = EncodeChatAck(sequence);
  f.FromBob({ack.begin(), ack.end()});
  EXPECT_EQ(window->PendingRange(1).first, -1);

  f.FromBob(EncodeChatText(0, u"hi Alice"));
  EXPECT_TRUE(window->history()->toPlainText().contains("01/02/25 10:30 < hi Alice"));
}

TEST(ChatWindowsTest, CloseBoxClosesTheConversationAndTheWindow) {
  ChatFixture f;
  const ConversationId id = f.conversations->Open(Bob());
  f.dispatcher.RunPending();
  QPointer<ChatWindow> window = f.windows.window(id);
  ASSERT_TRUE(window);
  window->close();
  f.dispatcher.RunPending();
  EXPECT_EQ(f.conversations->Get(id), nullptr);
  EXPECT_EQ(f.windows.window(id), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
}

TEST(ChatWindowsTest, IncomingCallShowsTheRingWindowWithItsToneAndOkAnswers) {
  ChatFixture f;
  const ConversationId id = f.conversations->Open(Bob());
  f.dispatcher.RunPending();
  f.RingFromBob();
  QDialog* dialog = f.windows.ring(id);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->windowTitle(), "Income Call");
  EXPECT_EQ(f.tones, std::vector<Tone>{Tone::kRing});
  dialog->accept();
  f.dispatcher.RunPending();
  EXPECT_EQ(f.windows.ring(id), nullptr);
  EXPECT_EQ(f.conversations->Get(id)->call_state(), static_cast<uint32_t>(kCallInVoice));
}

TEST(ChatWindowsTest, CancelInTheRingWindowRefusesTheCall) {
  ChatFixture f;
  const ConversationId id = f.conversations->Open(Bob());
  f.dispatcher.RunPending();
  f.RingFromBob();
  QDialog* dialog = f.windows.ring(id);
  ASSERT_NE(dialog, nullptr);
  f.sender.Take();
  auto* buttons = dialog->findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
  f.dispatcher.RunPending();
  EXPECT_EQ(f.windows.ring(id), nullptr);
  EXPECT_EQ(f.conversations->Get(id)->call_state(), static_cast<uint32_t>(kCallAbort));
  bool hung_up = false;
  for (const test::SentPayload& p : f.sender.Take()) hung_up = hung_up || p.code() == kCodeHangUp;
  EXPECT_TRUE(hung_up);  // Bob hears the refusal
}

// Another window is in front.
void Activate(QWidget* window) {
  window->show();
  window->activateWindow();
  QApplication::setActiveWindow(window);
  QCoreApplication::processEvents();
}

TEST(ChatWindowsTest, ALineOrACallBehindOtherWindowsIsToldOnTheDesktop) {
  ChatFixture f;
  const ConversationId id = f.conversations->Open(Bob());
  f.dispatcher.RunPending();
  ChatWindow* window = f.windows.window(id);
  ASSERT_NE(window, nullptr);
  QWidget other;
  Activate(&other);
  ASSERT_FALSE(window->isActiveWindow());
  f.FromBob(EncodeChatText(0, u"hi Alice"));
  ASSERT_EQ(f.notices.size(), 1u);
  EXPECT_EQ(f.notices[0].summary, window->windowTitle().toStdString());
  EXPECT_EQ(f.notices[0].body, "hi Alice");

  f.RingFromBob();
  ASSERT_EQ(f.notices.size(), 2u);
  EXPECT_EQ(f.notices[1].summary, "Incoming call");
}

TEST(ChatWindowsTest, ALineOrACallInTheWindowInFrontIsNotToldAgain) {
  ChatFixture f;
  const ConversationId id = f.conversations->Open(Bob());
  f.dispatcher.RunPending();
  ChatWindow* window = f.windows.window(id);
  ASSERT_NE(window, nullptr);
  Activate(window);
  ASSERT_TRUE(window->isActiveWindow());
  f.FromBob(EncodeChatText(0, u"hi Alice"));
  f.RingFromBob();
  EXPECT_TRUE(f.notices.empty());
}

TEST(ChatWindowsTest, ConnectionRequestGoesToTheMainWindow) {
  ChatFixture f;
  const auto request = EncodeCallCode(0);
  f.FromBob({request.begin(), request.end()});
  ASSERT_EQ(f.requests.size(), 1u);
  EXPECT_TRUE(SameUserId(f.requests[0].user_id, Bob().user_id));
}

}  // namespace
}  // namespace orv
