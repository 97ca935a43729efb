#include "app/downloads_window/downloads_controller.hpp"

#include <array>

#include "store/downloads.hpp"
#include "store/file_time.hpp"

namespace orv {
namespace {

constexpr std::array<DownloadMenuItem, 4> kMenu = {{
    {DownloadAction::kOpen, "Open"},
    {DownloadAction::kShowInFolder, "Show in folder"},
    {DownloadAction::kDelete, "Delete"},
    {DownloadAction::kDeleteAll, "Delete All"},
}};

}  // namespace

DownloadRow MakeDownloadRow(const DownloadRecord& record) {
  return {record.path.value_or(std::string()), record.sender_name.value_or(std::string()), TimeText(record.time)};
}

std::span<const DownloadMenuItem> DownloadMenu() { return kMenu; }

DownloadsController::DownloadsController(StoreSource store, DownloadsView& view, DesktopShell& shell)
    : store_(std::move(store)), view_(view), shell_(shell) {}

// The selected record is looked for in the new list, where newer receptions
// may have pushed it down; when it went, the row at its place is selected.
void DownloadsController::Refresh() {
  ContactStore* store = store_ ? store_() : nullptr;
  std::optional<DownloadRecord> was_selected;
  if (selected_ && *selected_ < records_.size()) was_selected = records_[*selected_];
  records_ = store ? ListDownloads(*store) : std::vector<DownloadRecord>();
  std::optional<size_t> selected;
  if (was_selected) {
    for (size_t i = 0; i < records_.size() && !selected; ++i)
      if (SameDownload(records_[i], *was_selected)) selected = i;
  }
  if (!selected && selected_ && *selected_ < records_.size()) selected = selected_;
  selected_ = selected;
  std::vector<DownloadRow> rows;
  rows.reserve(records_.size());
  for (const DownloadRecord& record : records_) rows.push_back(MakeDownloadRow(record));
  view_.ShowDownloadRows(rows, selected_);
}

void DownloadsController::Show() {
  Refresh();
  view_.RaiseDownloadsWindow();
}

void DownloadsController::DownloadsChanged(bool show) {
  if (show)
    Show();
  else
    Refresh();
}

void DownloadsController::SelectRow(std::optional<size_t> row) {
  selected_ = row && *row < records_.size() ? row : std::nullopt;
}

std::optional<DownloadRecord> DownloadsController::RowRecord(size_t row) const {
  if (row >= records_.size()) return std::nullopt;
  return records_[row];
}

// "Delete All": the head record goes, one at a time, each under the store
// lock, so a reception finishing meanwhile never waits for the whole list.
void DownloadsController::DeleteAll(ContactStore& store) {
  while (RemoveFirstDownload(store)) {
  }
}

void DownloadsController::RunAction(const DownloadRecord& record, DownloadAction action) {
  ContactStore* store = store_ ? store_() : nullptr;
  switch (action) {
    case DownloadAction::kOpen:
      if (record.path) shell_.OpenFile(*record.path);
      break;
    case DownloadAction::kShowInFolder:
      if (record.path) shell_.ShowInFolder(*record.path);
      break;
    case DownloadAction::kDelete:
      // The record the row showed, wherever it is now; nothing when it went.
      if (store) RemoveDownloadRecord(*store, record);
      break;
    case DownloadAction::kDeleteAll:
      if (store) DeleteAll(*store);
      break;
  }
  Refresh();
}

void DownloadsController::OpenRow(size_t row) {
  if (const std::optional<DownloadRecord> record = RowRecord(row)) RunAction(*record, DownloadAction::kOpen);
}

}  // namespace orv
