// A main window for benchmarks: it takes every event and answers every
// prompt with nothing, keeping only the rows from being optimised away.
#pragma once

#include <benchmark/benchmark.h>

#include "app/main_window/main_window_events.hpp"
#include "app/main_window/main_window_ports.hpp"

namespace orv::bench {

class NoWindow : public MainWindowEvents, public MainWindowPrompts {
 public:
  void ContactRowsChanged(const std::vector<ContactRow>& rows) override { benchmark::DoNotOptimize(rows.data()); }
  void SelectContactRow(size_t) override {}
  void TitleChanged(std::string_view) override {}
  void PresenceMarkChanged(Presence) override {}
  void ShowUserInfo(const UserInformation&) override {}
  void ShowConnectionRequest(const ConnectionRequest&) override {}
  std::optional<std::string> AskRename(std::string_view, std::string_view) override { return std::nullopt; }
  std::optional<std::string> ChooseFileToSend() override { return std::nullopt; }
};

}  // namespace orv::bench
