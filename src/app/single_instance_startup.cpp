#include "app/single_instance_startup.hpp"

#include <utility>

namespace orv {

SingleInstanceStep RunSingleInstanceStep(UiPort& ui, const std::string& runtime_dir, const uint32_t* user_id,
                                         Dispatcher& dispatcher, std::function<void()> show_main_window) {
  SingleInstanceStep step;
  auto on_show = [&dispatcher, show = std::move(show_main_window)] {
    if (show) dispatcher.Post(show);
  };
  InstanceClaim claim = ClaimInstance(runtime_dir, user_id, std::move(on_show));
  switch (claim.state) {
    case InstanceClaimState::kFirst:
      step.run = true;
      step.lock = std::move(claim.lock);
      break;
    case InstanceClaimState::kOtherRuns:
      ui.ShowMessage(kTitleWarning, kOtherCopyRunsText, MessageIcon::kWarning);
      AskOtherCopyToShow(runtime_dir, user_id);
      break;
    case InstanceClaimState::kFailed:
      ui.ShowMessage(kTitleFatalError, kCannotLockText, MessageIcon::kError);
      break;
  }
  return step;
}

}  // namespace orv
