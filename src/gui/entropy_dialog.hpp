// "Collecting random data": asks the person to press keys and move the
// mouse, and hands every key press, every mouse move and a tick every
// 100 ms (with the cursor position) to the core's EntropySink, which stirs
// them into the random pool and counts them. The progress bar runs to
// kEntropySteps; the dialog ends there, or at once when it is closed. It
// keeps the keyboard focus while it is open: keys it takes are samples,
// Escape and Enter included.
#pragma once

#include <cstdint>
#include <span>

#include <QDialog>
#include <QTimer>

#include "app/ui_port.hpp"

class QProgressBar;

namespace orv {

inline constexpr int kEntropyTickMs = 100;

class EntropyDialog final : public QDialog {
 public:
  explicit EntropyDialog(EntropySink& sink, QWidget* parent = nullptr);

  QProgressBar* progress_bar() const { return progress_; }
  // One timer tick, as the 100 ms timer runs it.
  void Tick();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Stirs one sample and counts one event; ends the dialog at the last step.
  void Count(uint32_t first, uint32_t second);

  EntropySink& sink_;
  QProgressBar* progress_ = nullptr;
  QTimer timer_;
  bool complete_ = false;
};

}  // namespace orv
