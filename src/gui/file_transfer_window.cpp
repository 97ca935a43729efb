#include "gui/file_transfer_window.hpp"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/icons.hpp"

namespace orv {
namespace {

QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

constexpr int kWindowWidth = 420;

}  // namespace

FileTransferWindow::FileTransferWindow(const TransferView& view, FileTransferButtons buttons, QWidget* parent)
    : QDialog(parent), handle_(view.handle), buttons_(std::move(buttons)) {
  setWindowIcon(ProgramIcon());
  setAttribute(Qt::WA_DeleteOnClose);
  text_ = new QLabel(this);
  // The progress text may take two lines; the window keeps room for them
  // from the start, so that nothing is cut when it grows.
  text_->setWordWrap(true);
  text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  text_->setMinimumHeight(2 * text_->fontMetrics().lineSpacing());
  bar_ = new QProgressBar(this);
  bar_->setTextVisible(false);
  save_as_ = new QPushButton("Save As...", this);
  save_as_->setAutoDefault(false);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setAutoDefault(false);
  connect(save_as_, &QPushButton::clicked, this, [this] {
    if (buttons_.save_as) buttons_.save_as(handle_);
  });
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });

  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(save_as_);
  row->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(bar_);
  layout->addLayout(row);
  setMinimumWidth(kWindowWidth);
  Show(view);
}

void FileTransferWindow::Show(const TransferView& view) {
  setWindowTitle(Text(view.title));
  text_->setText(Text(view.text));
  if (view.marquee) {
    bar_->setRange(0, 0);  // busy
  } else {
    bar_->setRange(0, 100);
    bar_->setValue(static_cast<int>(view.percent > 100 ? 100 : view.percent));
  }
  save_as_->setVisible(view.save_as_shown);
  cancel_->setText(Text(view.cancel_label.empty() ? std::string("Cancel") : view.cancel_label));
}

void FileTransferWindow::CloseForGood() {
  closing_ = true;
  close();
}

void FileTransferWindow::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  // The engine closes the window once it let the transfer go.
  event->ignore();
  if (buttons_.cancel) buttons_.cancel(handle_);
}

void FileTransferWindow::reject() {
  if (buttons_.cancel) buttons_.cancel(handle_);
}

}  // namespace orv
