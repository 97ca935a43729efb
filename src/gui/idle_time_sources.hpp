// Where the person's idle time comes from, for the automatic away: the X11
// screen saver extension when the program runs on X11, else the desktop's
// idle interface on the session bus (org.freedesktop.ScreenSaver, then
// GNOME's org.gnome.Mutter.IdleMonitor). The first one that answers is
// used; with none the person is never idle.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window/main_window_ports.hpp"

namespace orv {

// An idle time source that can say it does not know.
class IdleTimeProbe : public IdleTimeSource {
 public:
  // Milliseconds since the last input; nothing when it cannot tell.
  virtual std::optional<uint64_t> Query() = 0;
  // A source that stops answering reports 0: not idle.
  uint64_t IdleMilliseconds() override { return Query().value_or(0); }
};

struct IdleCandidate {
  std::string name;                      // for the report
  std::unique_ptr<IdleTimeProbe> probe;  // null: not on offer here
};

struct IdleChoice {
  std::unique_ptr<IdleTimeSource> source;  // never null
  std::string name;                        // empty when none answered
  std::string report;                      // one line: what was used and what was tried
};

// Asks each candidate once, in order, and keeps the first that answers.
IdleChoice SelectIdleTimeSource(std::vector<IdleCandidate> candidates);

// The candidates of this desktop, in order of preference. Call on the GUI
// thread after the QApplication exists.
std::vector<IdleCandidate> DesktopIdleCandidates();

// Each source alone; null where it is not on offer (the X11 one off X11 or
// without the extension's library).
std::unique_ptr<IdleTimeProbe> MakeX11IdleTime();
std::unique_ptr<IdleTimeProbe> MakeScreenSaverIdleTime();
std::unique_ptr<IdleTimeProbe> MakeMutterIdleTime();

}  // namespace orv
