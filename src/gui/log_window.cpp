#include "gui/log_window.hpp"

#include <QAbstractTableModel>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <array>

#include "gui/report_view.hpp"

namespace orv {

// The rows of the log, only ever appended.
class LogRowsModel final : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kColumns; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return rows_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())];
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const std::array<const char*, kColumns> kTitles = {"Time", "Source", "Message"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns) return {};
    return QString::fromLatin1(kTitles[static_cast<size_t>(section)]);
  }

  void Append(const std::vector<LogRow>& rows) {
    if (rows.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    for (const LogRow& row : rows) rows_.push_back({Text(row.time), Text(row.source), Text(row.message)});
    endInsertRows();
  }

 private:
  static constexpr int kColumns = 3;
  static QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  }
  std::vector<std::array<QString, kColumns>> rows_;
};

LogWindow::LogWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle("Log");
  model_ = new LogRowsModel(this);
  list_ = new QTableView(this);
  list_->setModel(model_);
  SetUpReportView(*list_, {150, 100, 800});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  resize(640, 300);
}

LogWindow::~LogWindow() = default;

void LogWindow::AppendLogRows(const std::vector<LogRow>& rows) {
  model_->Append(rows);
  list_->scrollToBottom();  // the list follows the newest row
}

void LogWindow::OpenToolWindow(bool shown) {
  if (shown) ShowInFront(*this);
}

void LogWindow::CloseToolWindow() { hide(); }

}  // namespace orv
