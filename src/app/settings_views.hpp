// The parts of the settings that engines keep a copy of: taken at start-up
// and again whenever the settings dialog replaces the settings.
#pragma once

#include "chat/conversations.hpp"
#include "settings/profile_paths.hpp"
#include "settings/settings.hpp"
#include "transfer/transfer_ports.hpp"

namespace orv {

TransferSettings TransferSettingsOf(const Settings& settings);

// The chat logs live in the profile folder.
ConversationSettings ConversationSettingsOf(const Settings& settings, const ProfilePaths& paths);

}  // namespace orv
