// The "Log" window: every event the program logs, as rows of "Time",
// "Source" and "Message" that are only ever appended; the list follows the
// newest row. The rows come from the core's queued log sink on the GUI
// thread. Closing the window only hides it.
#pragma once

#include <QWidget>

#include "app/queued_log_sink.hpp"
#include "gui/tool_window.hpp"

class QTableView;

namespace orv {

class LogRowsModel;

class LogWindow final : public QWidget, public LogRowsView, public ToolWindow {
 public:
  explicit LogWindow(QWidget* parent = nullptr);
  ~LogWindow() override;

  // LogRowsView.
  void AppendLogRows(const std::vector<LogRow>& rows) override;

  // ToolWindow.
  void OpenToolWindow(bool shown) override;
  void CloseToolWindow() override;

  // For the tests.
  QTableView* list() const { return list_; }

 private:
  LogRowsModel* model_ = nullptr;
  QTableView* list_ = nullptr;
};

}  // namespace orv
