#include "app/settings_report.hpp"

#include <string>

#include "app/event_log.hpp"

namespace orv {

void LogSettingsProblems(const SettingsRead& read, const ProfilePaths& paths) {
  for (const std::string& problem : read.problems) {
    LogEvent("Main", "Settings file " + paths.settings_file + ": " + problem);
  }
  if (!read.problems.empty() && read.state == FileReadState::kRead) {
    LogEvent("Main", "Settings file " + paths.settings_file + " is damaged: it is kept as " + paths.settings_file +
                         kDamagedSettingsSuffix + " when the settings are saved");
  }
}

}  // namespace orv
