// The chat window of one conversation: the history, the input (Enter
// sends, Shift+Enter starts a new line), the call and mute buttons, the
// "Vol." and "Mic." sliders, the four-part status bar and the title, all as
// the conversation tells them. What the person does goes to ChatActions;
// the window decides nothing itself.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include <QWidget>

#include "chat/conversation_events.hpp"

class QLabel;
class QPlainTextEdit;
class QSlider;
class QTextEdit;
class QToolButton;

namespace orv {

// Smallest client area of a chat window.
inline constexpr int kChatMinWidth = 200;
inline constexpr int kChatMinHeight = 300;
inline constexpr int kChatInputHeight = 60;

// The person's actions in a chat window.
class ChatActions {
 public:
  virtual ~ChatActions() = default;
  virtual void SendInput(const QString& text) = 0;
  virtual void PressCallButton() = 0;
  virtual void ToggleMute() = 0;
  virtual void InputChanged() = 0;  // the typing notice
  virtual void SetVolume(int volume) = 0;
  virtual void SetMicLevel(int level) = 0;
  virtual void TransferFile() = 0;      // "&Transfer file"
  virtual void AddToFavorites() = 0;    // "&Add to favorite list"
  virtual void CloseRequested() = 0;    // the close box: the conversation ends
};

class ChatWindow final : public QWidget {
 public:
  explicit ChatWindow(std::unique_ptr<ChatActions> actions, QWidget* parent = nullptr);

  // What the conversation tells.
  void AppendLine(const HistoryLine& line);
  void MarkDelivered(uint32_t line_id);
  void ShowStatus(const StatusBar& status);
  void ShowCallState(uint32_t state);
  void SetLevels(int volume, int mic_level);
  // The window goes for good, without asking the conversation again.
  void CloseQuietly();

  // For the tests.
  QTextEdit* history() const { return history_; }
  QPlainTextEdit* input() const { return input_; }
  QToolButton* call_button() const { return call_; }
  QToolButton* mute_button() const { return mute_; }
  QSlider* volume_slider() const { return volume_; }
  QSlider* mic_slider() const { return mic_; }
  QLabel* status_part(int part) const { return status_[part]; }
  // The history's character range of a line not yet delivered.
  std::pair<int, int> PendingRange(uint32_t line_id) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  QWidget* BuildControls();
  void SendInput();

  std::unique_ptr<ChatActions> owned_actions_;
  ChatActions& actions_;
  QTextEdit* history_ = nullptr;
  QPlainTextEdit* input_ = nullptr;
  QToolButton* call_ = nullptr;
  QToolButton* mute_ = nullptr;
  QSlider* volume_ = nullptr;
  QSlider* mic_ = nullptr;
  QLabel* status_[4] = {};
  std::map<uint32_t, std::pair<int, int>> pending_;  // line id -> character range
  bool closing_ = false;
};

}  // namespace orv
