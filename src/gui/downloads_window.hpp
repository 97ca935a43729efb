// The "Downloads" window: the files received, with "File name", "From" and
// "Date", as the downloads controller lists them. A right click on a row
// offers "Open", "Show in folder", "Delete" and "Delete All" for that row; a
// double click opens its file. Closing the window only hides it; its client
// area is at least 400 by 300.
#pragma once

#include <optional>

#include <QWidget>

#include "app/downloads_window/downloads_controller.hpp"
#include "gui/tool_window.hpp"

class QMenu;
class QTableWidget;

namespace orv {

inline constexpr int kDownloadsMinWidth = 400;
inline constexpr int kDownloadsMinHeight = 300;

class DownloadsWindow final : public QWidget, public DownloadsView, public ToolWindow {
 public:
  DownloadsWindow(DownloadsController::StoreSource store, DesktopShell& shell, QWidget* parent = nullptr);
  ~DownloadsWindow() override;

  // A reception was recorded: refreshed; shown when `show`.
  void DownloadsChanged(bool show) { controller_.DownloadsChanged(show); }

  // DownloadsView.
  void ShowDownloadRows(const std::vector<DownloadRow>& rows, std::optional<size_t> selected) override;
  void RaiseDownloadsWindow() override;

  // ToolWindow.
  void OpenToolWindow(bool shown) override;
  void CloseToolWindow() override;

  // For the tests.
  QTableWidget* list() const { return list_; }
  const DownloadsController& controller() const { return controller_; }

 private:
  void OnContextMenu(const QPoint& at);
  void OnSelectionChanged();

  QTableWidget* list_ = nullptr;
  DownloadsController controller_;
};

}  // namespace orv
