// The "Downloads" window's logic: its rows from the download list (read
// under the store lock), the selection kept across refreshes, and the
// actions of a row's popup menu. The window only shows the rows and hands
// back the person's clicks; opening a file and showing it in its folder go
// to the desktop through DesktopShell. Interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/contact_store.hpp"

namespace orv {

// One row: "File name", "From", "Date".
struct DownloadRow {
  std::string file_name;  // the path the file was saved at
  std::string from;       // the sender's name
  std::string date;       // "%02d/%02d/%02d %02d:%02d:%02d", UTC
  bool operator==(const DownloadRow&) const = default;
};

DownloadRow MakeDownloadRow(const DownloadRecord& record);

// A row's popup menu, with the menu ids of the commands.
enum class DownloadAction : uint32_t { kOpen = 1040, kShowInFolder = 1041, kDelete = 1042, kDeleteAll = 1043 };

struct DownloadMenuItem {
  DownloadAction action;
  std::string_view text;
};

// "Open", "Show in folder", "Delete", "Delete All", in menu order.
std::span<const DownloadMenuItem> DownloadMenu();

// The window (interface thread).
class DownloadsView {
 public:
  virtual ~DownloadsView() = default;
  // The list shows `rows`, in order, with row `selected` selected (none:
  // nothing selected).
  virtual void ShowDownloadRows(const std::vector<DownloadRow>& rows, std::optional<size_t> selected) = 0;
  // The window is shown and brought to the front.
  virtual void RaiseDownloadsWindow() = 0;
};

// The desktop's part: a received file opened with its default program, its
// folder shown with the file selected. A path that no longer exists fails
// there without a message from the program.
class DesktopShell {
 public:
  virtual ~DesktopShell() = default;
  virtual void OpenFile(const std::string& path) = 0;
  virtual void ShowInFolder(const std::string& path) = 0;
};

class DownloadsController {
 public:
  // `store`: the running contact store; null before the start-up made it
  // and after the shutdown freed it (the list is then empty).
  using StoreSource = std::function<ContactStore*()>;
  DownloadsController(StoreSource store, DownloadsView& view, DesktopShell& shell);

  // The rows again, one per record in list order; the selected record stays
  // selected (or, when it went, the row at its place).
  void Refresh();
  // "Show downloads window": shown, in front and refreshed.
  void Show();
  // A reception finished and was recorded: refreshed, and shown when `show`
  // (AutoReceiveFiles).
  void DownloadsChanged(bool show);

  // The person selected a row (none: nothing).
  void SelectRow(std::optional<size_t> row);

  // The record row `row` shows, taken when its popup menu opens: the list
  // may change while the menu is open.
  std::optional<DownloadRecord> RowRecord(size_t row) const;
  // The popup menu's choice for the record its row showed; then refreshed.
  void RunAction(const DownloadRecord& record, DownloadAction action);
  // Double click: "Open" for that row.
  void OpenRow(size_t row);

  const std::vector<DownloadRecord>& records() const { return records_; }
  std::optional<size_t> selected() const { return selected_; }

 private:
  void DeleteAll(ContactStore& store);

  StoreSource store_;
  DownloadsView& view_;
  DesktopShell& shell_;
  std::vector<DownloadRecord> records_;  // what the rows show, in order
  std::optional<size_t> selected_;
};

}  // namespace orv
