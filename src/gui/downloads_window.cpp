#include "gui/downloads_window.hpp"

#include <QHeaderView>
#include <QMenu>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/report_view.hpp"

namespace orv {
namespace {

// The whole text is the cell's tool tip too: a long path, or a date in a
// font wider than the column, is still readable.
QTableWidgetItem* Cell(const std::string& text) {
  const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  auto* item = new QTableWidgetItem(shown);
  item->setToolTip(shown);
  return item;
}

}  // namespace

DownloadsWindow::DownloadsWindow(DownloadsController::StoreSource store, DesktopShell& shell, QWidget* parent)
    : QWidget(parent, Qt::Window), controller_(std::move(store), *this, shell) {
  setWindowTitle("Downloads");
  list_ = new QTableWidget(0, 3, this);
  list_->setHorizontalHeaderLabels({"File name", "From", "Date"});
  SetUpReportView(*list_, {300, 100, 100});
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  setMinimumSize(kDownloadsMinWidth, kDownloadsMinHeight);
  resize(520, kDownloadsMinHeight);
  connect(list_, &QWidget::customContextMenuRequested, this, &DownloadsWindow::OnContextMenu);
  connect(list_, &QTableWidget::itemSelectionChanged, this, &DownloadsWindow::OnSelectionChanged);
  connect(list_, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int) { controller_.OpenRow(static_cast<size_t>(row)); });
}

DownloadsWindow::~DownloadsWindow() = default;

void DownloadsWindow::ShowDownloadRows(const std::vector<DownloadRow>& rows, std::optional<size_t> selected) {
  const QSignalBlocker quiet(list_);  // the controller set the selection itself
  list_->setRowCount(static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    const int row = static_cast<int>(i);
    list_->setItem(row, 0, Cell(rows[i].file_name));
    list_->setItem(row, 1, Cell(rows[i].from));
    list_->setItem(row, 2, Cell(rows[i].date));
  }
  list_->clearSelection();
  if (selected) list_->selectRow(static_cast<int>(*selected));
}

void DownloadsWindow::RaiseDownloadsWindow() { ShowInFront(*this); }

void DownloadsWindow::OpenToolWindow(bool shown) {
  if (shown)
    controller_.Show();
  else
    controller_.Refresh();
}

void DownloadsWindow::CloseToolWindow() { hide(); }

void DownloadsWindow::OnSelectionChanged() {
  const QList<QTableWidgetSelectionRange> ranges = list_->selectedRanges();
  if (ranges.isEmpty())
    controller_.SelectRow(std::nullopt);
  else
    controller_.SelectRow(static_cast<size_t>(ranges.front().topRow()));
}

// The popup acts on the record the clicked row showed when it opened: a
// reception that finishes while it is open moves the rows.
void DownloadsWindow::OnContextMenu(const QPoint& at) {
  const QModelIndex index = list_->indexAt(at);
  if (!index.isValid()) return;
  const std::optional<DownloadRecord> record = controller_.RowRecord(static_cast<size_t>(index.row()));
  if (!record) return;
  QMenu menu(this);
  for (const DownloadMenuItem& item : DownloadMenu()) {
    QAction* action = menu.addAction(QString::fromUtf8(item.text.data(), static_cast<qsizetype>(item.text.size())));
    action->setData(static_cast<uint>(item.action));
  }
  QAction* chosen = menu.exec(list_->viewport()->mapToGlobal(at));
  if (chosen) controller_.RunAction(*record, static_cast<DownloadAction>(chosen->data().toUInt()));
}

}  // namespace orv
