#include "gui/idle_time_sources.hpp"

#include <utility>

namespace orv {
namespace {

class NeverIdle final : public IdleTimeSource {
 public:
  uint64_t IdleMilliseconds() override { return 0; }
};

}  // namespace

IdleChoice SelectIdleTimeSource(std::vector<IdleCandidate> candidates) {
  IdleChoice choice;
  std::string tried;
  for (IdleCandidate& candidate : candidates) {
    if (!candidate.probe) {
      tried += (tried.empty() ? "" : ", ") + candidate.name + " not on offer";
      continue;
    }
    if (candidate.probe->Query()) {
      choice.name = candidate.name;
      choice.source = std::move(candidate.probe);
      choice.report = "idle time from " + choice.name + (tried.empty() ? "" : " (" + tried + ")");
      return choice;
    }
    tried += (tried.empty() ? "" : ", ") + candidate.name + " did not answer";
  }
  choice.source = std::make_unique<NeverIdle>();
  choice.report = "no idle time source (" + (tried.empty() ? std::string("none known") : tried) +
                  "): never away automatically";
  return choice;
}

std::vector<IdleCandidate> DesktopIdleCandidates() {
  std::vector<IdleCandidate> candidates;
  candidates.push_back({"the X11 screen saver extension", MakeX11IdleTime()});
  candidates.push_back({"org.freedesktop.ScreenSaver", MakeScreenSaverIdleTime()});
  candidates.push_back({"org.gnome.Mutter.IdleMonitor", MakeMutterIdleTime()});
  return candidates;
}

}  // namespace orv
