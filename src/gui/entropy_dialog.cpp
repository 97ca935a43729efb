#include "gui/entropy_dialog.hpp"

#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QVBoxLayout>

#include "crypto/byte_order.hpp"

namespace orv {

EntropyDialog::EntropyDialog(EntropySink& sink, QWidget* parent) : QDialog(parent), sink_(sink) {
  setWindowTitle("Collecting random data");
  auto* text = new QLabel("Collecting Random Data: press any keys, move mouse", this);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, static_cast<int>(kEntropySteps));
  progress_->setValue(0);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(progress_);
  // Moves over the children count as well: they pass them on to the dialog.
  setMouseTracking(true);
  text->setMouseTracking(true);
  progress_->setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  connect(&timer_, &QTimer::timeout, this, &EntropyDialog::Tick);
}

void EntropyDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  setFocus();
  timer_.start(kEntropyTickMs);
}

void EntropyDialog::Count(uint32_t first, uint32_t second) {
  if (complete_) return;
  uint8_t sample[8];
  StoreLe32(sample, first);
  StoreLe32(sample + 4, second);
  sink_.StirEntropy(sample);
  const uint32_t steps = sink_.StepEntropy();
  progress_->setValue(static_cast<int>(steps));
  if (steps < kEntropySteps) return;
  complete_ = true;
  timer_.stop();
  accept();
}

void EntropyDialog::Tick() {
  const QPoint at = QCursor::pos();
  Count(static_cast<uint32_t>(at.x()), static_cast<uint32_t>(at.y()));
}

void EntropyDialog::keyPressEvent(QKeyEvent* event) {
  const uint32_t key = event->nativeVirtualKey() ? event->nativeVirtualKey() : static_cast<uint32_t>(event->key());
  Count(key, event->nativeScanCode() ^ static_cast<uint32_t>(event->modifiers()) ^
                 (event->isAutoRepeat() ? 0x40000000u : 0u));
  event->accept();
}

void EntropyDialog::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const uint32_t state = static_cast<uint32_t>(event->buttons()) | static_cast<uint32_t>(event->modifiers());
  Count(state, (static_cast<uint32_t>(at.x()) & 0xFFFF) | (static_cast<uint32_t>(at.y()) << 16));
  event->accept();
}

// The dialog takes the focus back whenever it loses it.
void EntropyDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow() && !complete_) {
    raise();
    activateWindow();
  }
}

}  // namespace orv
