#include "gui/file_transfer_windows.hpp"

#include <QFileDialog>
#include <QMessageBox>

#include "app/dispatcher.hpp"
#include "gui/file_transfer_window.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv {
namespace {

QString Text(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

std::optional<std::string> SaveDialog(QWidget* owner, const std::string& proposed) {
  // Qt's save dialog asks before it overwrites a file.
  const QString path = QFileDialog::getSaveFileName(owner, QString(), Text(proposed), "*.*");
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

}  // namespace

FileTransferWindows::FileTransferWindows(FileTransferServices services) : services_(std::move(services)) {}

FileTransferWindows::~FileTransferWindows() {
  for (auto& [handle, window] : windows_)
    if (window) delete window.data();
}

void FileTransferWindows::TransferAdded(const TransferView& view) {
  services_.dispatcher->Post([this, view] { Open(view); });
}

void FileTransferWindows::TransferRefreshed(const TransferView& view) {
  services_.dispatcher->Post([this, view] { Refresh(view); });
}

void FileTransferWindows::TransferClosed(uint32_t handle) {
  services_.dispatcher->Post([this, handle] { Close(handle); });
}

void FileTransferWindows::DownloadsChanged(bool show) {
  services_.dispatcher->Post([this, show] {
    if (services_.downloads_changed) services_.downloads_changed(show);
  });
}

void FileTransferWindows::ShowTransferMessage(std::string_view title, std::string_view text) {
  services_.dispatcher->Post(
      [this, title = std::string(title), text = std::string(text)] { ShowError(nullptr, title, text); });
}

FileTransferWindow* FileTransferWindows::window(uint32_t handle) const {
  const auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second.data();
}

size_t FileTransferWindows::count() const {
  size_t open = 0;
  for (const auto& [handle, window] : windows_)
    if (window) ++open;
  return open;
}

void FileTransferWindows::Open(const TransferView& view) {
  if (FileTransferWindow* open = window(view.handle)) {
    open->Show(view);
    return;
  }
  auto* window = new FileTransferWindow(view, FileTransferButtons{[this](uint32_t handle) { SaveAs(handle); },
                                                                  [this](uint32_t handle) { Cancel(handle); }});
  windows_[view.handle] = window;
  window->show();
  window->activateWindow();
}

void FileTransferWindows::Refresh(const TransferView& view) {
  if (FileTransferWindow* open = window(view.handle)) open->Show(view);
  NoteFinished(view);
}

// A download that has just arrived whole is told on the desktop, once,
// unless its window is in front.
void FileTransferWindows::NoteFinished(const TransferView& view) {
  if (view.sending || view.state != kTransferComplete || !finished_.insert(view.handle).second) return;
  FileTransferWindow* open = window(view.handle);
  if ((!open || !open->isActiveWindow()) && services_.notify) services_.notify(DownloadFinishedNotice(view.title));
}

void FileTransferWindows::Close(uint32_t handle) {
  finished_.erase(handle);
  const auto it = windows_.find(handle);
  if (it == windows_.end()) return;
  QPointer<FileTransferWindow> window = it->second;
  windows_.erase(it);
  if (window) window->CloseForGood();
}

void FileTransferWindows::SaveAs(uint32_t handle) {
  FileTransferEngine* engine = services_.engine ? services_.engine() : nullptr;
  if (!engine) return;
  const std::optional<std::string> proposed = engine->ProposedPath(handle);
  if (!proposed) return;  // no longer waiting
  QPointer<FileTransferWindow> owner = window(handle);
  const std::optional<std::string> chosen =
      services_.choose_path ? services_.choose_path(owner, *proposed) : SaveDialog(owner, *proposed);
  // The dialog ran an event loop: the program may be ending.
  engine = services_.engine ? services_.engine() : nullptr;
  if (!engine) return;
  if (!chosen) {
    Cancel(handle);
    return;
  }
  if (engine->AcceptIncomingFile(handle, chosen) == AcceptResult::kCantCreate)
    ShowError(owner, "Error", kCantCreateText);
}

void FileTransferWindows::Cancel(uint32_t handle) {
  FileTransferEngine* engine = services_.engine ? services_.engine() : nullptr;
  // The engine closes the window through its event; a transfer it no longer
  // knows closes here.
  if (!engine || !engine->CancelFileTransfer(handle)) Close(handle);
}

void FileTransferWindows::ShowError(QWidget* owner, std::string_view title, std::string_view text) {
  if (services_.show_error) {
    services_.show_error(owner, title, text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, Text(title), Text(text), QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace orv
