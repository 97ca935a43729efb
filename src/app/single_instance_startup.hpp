// Start-up's single-instance step: one running copy per identity.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/dispatcher.hpp"
#include "app/ui_port.hpp"
#include "platform/single_instance.hpp"

namespace orv {

inline constexpr std::string_view kOtherCopyRunsText =
    "Another copy of ORV telephone with the same ID is running. This applicaton will be closed and anoter shown";
inline constexpr std::string_view kCannotLockText = "Can't create mutex";

struct SingleInstanceStep {
  bool run = false;                    // false: start-up stops and this copy ends
  std::unique_ptr<InstanceLock> lock;  // keep it for the whole run (set when `run`)
};

// Takes the lock of `user_id` (the user's own UserId, eight words) in
// `runtime_dir` (ProcessRuntimeDirectory() for the programs).
// - This copy is the first: it runs; whenever another copy asks,
//   `show_main_window` is posted to `dispatcher`.
// - Another copy with the same UserId runs: "Another copy of ORV telephone
//   with the same ID is running. This applicaton will be closed and anoter
//   shown" (title "Warning"), then that copy is asked to show its main
//   window; this copy ends.
// - The lock cannot be taken at all: "Can't create mutex" (title "Fatal
//   Error"); this copy ends.
// `dispatcher` must outlive the returned lock.
SingleInstanceStep RunSingleInstanceStep(UiPort& ui, const std::string& runtime_dir, const uint32_t* user_id,
                                         Dispatcher& dispatcher, std::function<void()> show_main_window);

}  // namespace orv
