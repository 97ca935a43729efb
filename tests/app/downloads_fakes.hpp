// Recording stand-ins for the downloads window and the desktop.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/downloads_window/downloads_controller.hpp"

namespace orv::test {

class RecordingDownloadsView final : public DownloadsView {
 public:
  void ShowDownloadRows(const std::vector<DownloadRow>& shown, std::optional<size_t> selection) override {
    rows = shown;
    selected = selection;
    ++refreshes;
  }
  void RaiseDownloadsWindow() override { ++raised; }

  std::vector<DownloadRow> rows;
  std::optional<size_t> selected;
  int refreshes = 0;
  int raised = 0;
};

// Every call as "open PATH" or "folder PATH".
class RecordingShell final : public DesktopShell {
 public:
  void OpenFile(const std::string& path) override { calls.push_back("open " + path); }
  void ShowInFolder(const std::string& path) override { calls.push_back("folder " + path); }
  std::vector<std::string> calls;
};

}  // namespace orv::test
