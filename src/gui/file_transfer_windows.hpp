// The desktop program's side of the file transfers: a progress window for
// each transfer the engine announces, kept up to date from its events, with
// "Save As..." and "Cancel" handed back to the engine. The engine's events
// come on its threads and are posted to the GUI thread; everything else
// runs there.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include <QPointer>

#include "gui/desktop_notice.hpp"
#include "transfer/transfer_ports.hpp"

class QWidget;

namespace orv {

class Dispatcher;
class FileTransferEngine;
class FileTransferWindow;

struct FileTransferServices {
  // Runs the windows' work on the GUI thread.
  Dispatcher* dispatcher = nullptr;
  // The running engine; null before the start and after the end.
  std::function<FileTransferEngine*()> engine;
  // "Save As...": the path the person chose, starting from `proposed`
  // (overwriting agreed); none when they cancelled. Null: a save dialog.
  std::function<std::optional<std::string>(QWidget* owner, const std::string& proposed)> choose_path;
  // An error box ("Error", error icon). Null: a message box.
  std::function<void(QWidget* owner, std::string_view title, std::string_view text)> show_error;
  // A download was recorded; `show` asks for the downloads window.
  std::function<void(bool show)> downloads_changed;
  // A download finished while its window was not in front.
  NotifyFunction notify;
};

class FileTransferWindows final : public TransferEvents {
 public:
  explicit FileTransferWindows(FileTransferServices services);
  ~FileTransferWindows() override;
  FileTransferWindows(const FileTransferWindows&) = delete;
  FileTransferWindows& operator=(const FileTransferWindows&) = delete;

  // TransferEvents, from any thread.
  void TransferAdded(const TransferView& view) override;
  void TransferRefreshed(const TransferView& view) override;
  void TransferClosed(uint32_t handle) override;
  void DownloadsChanged(bool show) override;
  void ShowTransferMessage(std::string_view title, std::string_view text) override;

  // For the tests.
  FileTransferWindow* window(uint32_t handle) const;
  size_t count() const;

 private:
  void Open(const TransferView& view);
  void Refresh(const TransferView& view);
  void NoteFinished(const TransferView& view);
  void Close(uint32_t handle);
  void SaveAs(uint32_t handle);
  void Cancel(uint32_t handle);
  void ShowError(QWidget* owner, std::string_view title, std::string_view text);

  FileTransferServices services_;
  std::map<uint32_t, QPointer<FileTransferWindow>> windows_;  // GUI thread only
  std::set<uint32_t> finished_;  // downloads already told as finished
};

}  // namespace orv
