// The progress window of one file transfer: the file's name as its title,
// the state text or the progress text, the bar (busy while the transfer
// waits), "Save As..." while an offered file waits for the person, and
// "Cancel" ("Close" once the file arrived). It shows what the engine's view
// says and hands its buttons on; closing it is "Cancel".
#pragma once

#include <cstdint>
#include <functional>

#include <QDialog>

#include "transfer/transfer_view.hpp"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orv {

struct FileTransferButtons {
  std::function<void(uint32_t handle)> save_as;
  // "Cancel"/"Close", or the window's close box.
  std::function<void(uint32_t handle)> cancel;
};

class FileTransferWindow final : public QDialog {
 public:
  FileTransferWindow(const TransferView& view, FileTransferButtons buttons, QWidget* parent = nullptr);

  // Shows `view` (the same transfer's).
  void Show(const TransferView& view);

  // Closes the window for good (the transfer went); no "Cancel" follows.
  void CloseForGood();

  uint32_t handle() const { return handle_; }

  // For the tests.
  QLabel* text() const { return text_; }
  QProgressBar* bar() const { return bar_; }
  QPushButton* save_as_button() const { return save_as_; }
  QPushButton* cancel_button() const { return cancel_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Escape

 private:
  const uint32_t handle_;
  FileTransferButtons buttons_;
  bool closing_ = false;
  QLabel* text_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* save_as_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace orv
