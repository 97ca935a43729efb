// Loading the user's key file into the application context at start-up (and
// when the settings name another key file), with the warnings a person sees.
#pragma once

#include <string>

#include "app/app_context.hpp"
#include "app/ui_port.hpp"

namespace orv {

// True when a key was loaded (also with a certificate that fails its checks,
// which is shown as a warning and used all the same). A missing or malformed
// file is shown as a warning and leaves an earlier key in place.
bool LoadUserKey(UiPort& ui, AppContext& ctx, const std::string& path);

}  // namespace orv
