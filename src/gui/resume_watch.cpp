#include "gui/resume_watch.hpp"

#include <utility>

namespace orv {
namespace {

// Looks at the clocks once a second for a return from sleep.
constexpr TimerId kSleepWatchTimer = 0x534C4550;  // "SLEP"
constexpr uint32_t kSleepWatchMs = 1000;

}  // namespace

ResumeWatch::ResumeWatch(Dispatcher& dispatcher, SleepSignal* signal, std::function<void()> resumed,
                         SleepWatch::Reader clocks)
    : dispatcher_(dispatcher), resumed_(std::move(resumed)) {
  if (signal && signal->Listen([this](bool sleeping) { SleepChanged(sleeping); })) return;
  clocks_.emplace(std::move(clocks));
  dispatcher_.StartTimer(kSleepWatchTimer, kSleepWatchMs, [this] {
    if (clocks_->Resumed() && resumed_) resumed_();
  });
}

ResumeWatch::~ResumeWatch() {
  if (clocks_) dispatcher_.StopTimer(kSleepWatchTimer);
}

// The signal says "back" once after each "going to sleep"; a "back" with no
// "going to sleep" before it (a repeated signal) is no new wake.
void ResumeWatch::SleepChanged(bool sleeping) {
  if (sleeping) {
    asleep_ = true;
    return;
  }
  if (!asleep_) return;
  asleep_ = false;
  if (resumed_) dispatcher_.Post(resumed_);
}

}  // namespace orv
