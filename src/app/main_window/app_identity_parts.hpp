// The controller's signer and own identity over the application context:
// the user's key is copied out under the application lock, the password
// comes from the password service (which may ask the person).
#pragma once

#include <functional>

#include "app/app_context.hpp"
#include "app/main_window/main_window_ports.hpp"
#include "app/password_service.hpp"

namespace orv {

class AppContactsSigner final : public ContactsSigner {
 public:
  AppContactsSigner(AppContext& ctx, PasswordService& passwords) : ctx_(ctx), passwords_(passwords) {}
  bool SignContactsFile(const std::string& path) override;

 private:
  AppContext& ctx_;
  PasswordService& passwords_;
};

class AppOwnIdentity final : public OwnIdentitySource {
 public:
  // `external_ipv4` gives the address the port mapping found, 0 while none.
  AppOwnIdentity(AppContext& ctx, std::function<uint32_t()> external_ipv4)
      : ctx_(ctx), external_ipv4_(std::move(external_ipv4)) {}
  OwnIdentity Own() override;

 private:
  AppContext& ctx_;
  std::function<uint32_t()> external_ipv4_;
};

}  // namespace orv
