// The desktop program put together: the windows, the sound, the desktop's
// services and the Application they show, made in an order that lets each
// part reach the ones before it and taken apart in the reverse order.
#pragma once

#include <QApplication>
#include <memory>

#include "app/application.hpp"
#include "app/queued_log_sink.hpp"
#include "app/tool_lists/engine_tool_lists.hpp"
#include "audio/voice_provider.hpp"
#include "gui/chat_windows.hpp"
#include "gui/desktop_notifier.hpp"
#include "gui/desktop_shell.hpp"
#include "gui/downloads_window.hpp"
#include "gui/file_transfer_windows.hpp"
#include "gui/idle_time_sources.hpp"
#include "gui/log_window.hpp"
#include "gui/main_window.hpp"
#include "gui/orv_options.hpp"
#include "gui/qt_dispatcher.hpp"
#include "gui/tool_windows.hpp"
#include "gui/widget_ui_port.hpp"

namespace orv {

class DesktopProgram {
 public:
  explicit DesktopProgram(const OrvOptions& options);
  ~DesktopProgram();
  DesktopProgram(const DesktopProgram&) = delete;
  DesktopProgram& operator=(const DesktopProgram&) = delete;

  // Starts the telephone, runs the event loop until "Exit" (or SIGINT or
  // SIGTERM) and shuts the telephone down. The program's exit status: 1
  // when the start-up failed, with its reason on standard error.
  int Run(QApplication& app);

 private:
  // The main window's logic once the telephone runs; null before and after.
  MainWindowController* controller() { return node_ ? node_->main_window() : nullptr; }

  MainWindowActions WindowActions();
  ChatWindowServices ChatServices();
  FileTransferServices TransferServices();
  ToolListEngines ToolEngines();
  AppHooks Hooks();
  void AddAudioHooks(AppHooks& hooks);
  void AttachToolWindows();
  void AttachSettingsDialog();
  int StartFailed();
  void Finish();

  OrvOptions options_;
  WidgetUiPort ui_;
  QtDispatcher dispatcher_;
  std::unique_ptr<AudioVoiceProvider> voice_;
  Application* node_ = nullptr;  // set while the telephone runs
  MainWindow window_;
  DesktopNotifier notifier_;
  NotifyFunction notify_;
  ChatWindows chats_;
  // The log's rows reach its window from the moment the log starts: the
  // window is there before the start-up begins.
  LogWindow log_window_;
  std::shared_ptr<QueuedLogSink> log_sink_;
  LogViewLink log_link_;
  QtDesktopShell shell_;
  DownloadsWindow downloads_;
  FileTransferWindows transfers_;
  IdleChoice idle_;  // the person's idle time, for the automatic away
  ToolListEngines tool_engines_;
  EngineToolListSources tool_sources_;
  EngineToolListCommands tool_commands_;
  ToolWindows tools_;
  std::unique_ptr<Application> application_;
};

}  // namespace orv
