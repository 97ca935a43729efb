#include "gui/chat_window.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <string>
#include <vector>

#include "chat/call_control.hpp"

namespace orv {
namespace {

class RecordingActions final : public ChatActions {
 public:
  explicit RecordingActions(std::vector<std::string>& log) : log_(log) {}
  void SendInput(const QString& text) override { log_.push_back("send " + text.toStdString()); }
  void PressCallButton() override { log_.push_back("call"); }
  void ToggleMute() override { log_.push_back("mute"); }
  void InputChanged() override { log_.push_back("typing"); }
  void SetVolume(int volume) override { log_.push_back("volume " + std::to_string(volume)); }
  void SetMicLevel(int level) override { log_.push_back("mic " + std::to_string(level)); }
  void TransferFile() override { log_.push_back("transfer"); }
  void AddToFavorites() override { log_.push_back("favorite"); }
  void CloseRequested() override { log_.push_back("close"); }

 private:
  std::vector<std::string>& log_;
};

struct WindowFixture {
  WindowFixture() { window.show(); }
  // The character format in the middle of a history range.
  QTextCharFormat FormatAt(int position) {
    QTextCursor cursor(window.history()->document());
    cursor.setPosition(position + 1);
    return cursor.charFormat();
  }
  std::vector<std::string> log;
  ChatWindow window{std::make_unique<RecordingActions>(log)};
};

HistoryLine Line(LineKind kind, uint32_t id, const std::string& text) {
  HistoryLine line;
  line.kind = kind;
  line.line_id = id;
  line.text = text;
  line.line = "01/02/25 10:30 " + std::string(kind == LineKind::kIncoming ? "< " : "> ") + text + "\n";
  return line;
}

TEST(ChatWindowTest, HistoryShowsPendingItalicDeliveredNormalIncomingBoldDarkBlue) {
  WindowFixture f;
  f.window.AppendLine(Line(LineKind::kPending, 1, "first"));
  f.window.AppendLine(Line(LineKind::kPending, 2, "second"));
  f.window.AppendLine(Line(LineKind::kIncoming, 0, "reply"));
  const auto first = f.window.PendingRange(1);
  const auto second = f.window.PendingRange(2);
  EXPECT_TRUE(f.FormatAt(first.first).fontItalic());
  EXPECT_TRUE(f.FormatAt(second.first).fontItalic());
  f.window.MarkDelivered(2);
  EXPECT_TRUE(f.FormatAt(first.first).fontItalic());  // only the acknowledged line changes
  const QTextCharFormat delivered = f.FormatAt(second.first);
  EXPECT_FALSE(delivered.fontItalic());
  EXPECT_NE(delivered.fontWeight(), QFont::Bold);
  const QTextCharFormat incoming = f.FormatAt(second.second);
  EXPECT_EQ(incoming.fontWeight(), QFont::Bold);
  EXPECT_EQ(incoming.foreground().color(), QColor(0, 0, 128));
  EXPECT_EQ(f.window.PendingRange(2).first, -1);
  EXPECT_TRUE(f.window.history()->toPlainText().contains("01/02/25 10:30 < reply"));
}

TEST(ChatWindowTest, EnterSendsTheInputShiftEnterStartsALine) {
  WindowFixture f;
  QPlainTextEdit* input = f.window.input();
  QTest::keyClick(input, Qt::Key_Return);  // nothing to send
  QTest::keyClicks(input, "hi");
  QTest::keyClick(input, Qt::Key_Return, Qt::ShiftModifier);
  QTest::keyClicks(input, "there");
  QTest::keyClick(input, Qt::Key_Return);
  EXPECT_TRUE(input->toPlainText().isEmpty());
  const std::vector<std::string> expected = {"typing", "typing", "typing", "typing", "typing", "typing", "typing",
                                             "typing", "send hi\nthere"};
  EXPECT_EQ(f.log, expected);
}

TEST(ChatWindowTest, ButtonsSlidersAndStatusBar) {
  WindowFixture f;
  EXPECT_EQ(f.window.call_button()->toolTip(), "Call");
  f.window.ShowCallState(kCallDialing);
  EXPECT_EQ(f.window.call_button()->toolTip(), "Hang up");
  f.window.ShowCallState(kCallInVoice);
  EXPECT_EQ(f.window.call_button()->toolTip(), "Hang up");
  f.window.ShowCallState(kCallConnected);
  EXPECT_EQ(f.window.call_button()->toolTip(), "Call");
  f.window.call_button()->click();
  f.window.mute_button()->click();

  f.window.SetLevels(40, 70);  // as the conversation has them: nothing is sent back
  EXPECT_EQ(f.window.volume_slider()->value(), 40);
  EXPECT_EQ(f.window.mic_slider()->value(), 70);
  f.window.volume_slider()->setValue(55);
  f.window.mic_slider()->setValue(20);

  StatusBar status;
  status.call_state = "CONNECTED";
  status.typing = "**";
  status.session = "session id: 0001 0002 0003 0004 0005";
  status.counters = "packets overhead: 1, secured: 2, dropped: 0, sent: 3, lost bytes: 0";
  status.mute = MuteButton::kMuted;
  f.window.ShowStatus(status);
  EXPECT_EQ(f.window.status_part(0)->text(), "CONNECTED");
  EXPECT_EQ(f.window.status_part(1)->text(), "**");
  EXPECT_EQ(f.window.status_part(2)->text(), QString::fromStdString(status.session));
  EXPECT_EQ(f.window.status_part(3)->text(), QString::fromStdString(status.counters));
  EXPECT_EQ(f.window.mute_button()->toolTip(), "Microphone muted");
  // The parts end at 100, 130 and 370 pixels; the last takes the rest.
  EXPECT_EQ(f.window.status_part(0)->minimumWidth(), 100);
  EXPECT_EQ(f.window.status_part(1)->minimumWidth(), 30);
  EXPECT_EQ(f.window.status_part(2)->minimumWidth(), 240);
  const std::vector<std::string> expected = {"call", "mute", "volume 55", "mic 20"};
  EXPECT_EQ(f.log, expected);
}

TEST(ChatWindowTest, CloseBoxAsksTheConversationAndOnlyItsAnswerClosesTheWindow) {
  WindowFixture f;
  f.window.close();
  EXPECT_EQ(f.log, std::vector<std::string>{"close"});
  EXPECT_TRUE(f.window.isVisible());
  f.window.CloseQuietly();
  EXPECT_FALSE(f.window.isVisible());
  EXPECT_EQ(f.log.size(), 1u);
}

}  // namespace
}  // namespace orv
