// "Change Password/user info": the old password, the new one twice and the
// user info; the key is re-protected, the key file rewritten and the cached
// password replaced.
#pragma once

#include <string>

#include "app/app_context.hpp"
#include "app/password_service.hpp"
#include "app/ui_port.hpp"

namespace orv {

// Asks until the change is made (true) or the person cancels (false, logged
// "Password was not changed").
bool RunPasswordChange(UiPort& ui, AppContext& ctx, PasswordService& passwords, const std::string& key_file);

}  // namespace orv
