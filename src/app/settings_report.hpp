// Naming in the log what the settings load could not read. The settings
// file is read before the log exists (start-up reads it first), so the
// start-up calls this right after the log is created.
#pragma once

#include "settings/profile_paths.hpp"
#include "settings/settings_file.hpp"

namespace orv {

// One line (source "Main") per problem of `read`: "Settings file <path>:
// <problem>", and for a damaged file that will be saved over a last line
// saying that it is kept as "<path>.bad". Nothing for a sound file.
void LogSettingsProblems(const SettingsRead& read, const ProfilePaths& paths);

}  // namespace orv
