// The application side of the network layer: its log lines and packet trace
// go to the event log, its messages to the UI port, its password requests
// to the password service, and its key is the one in the application context.
#pragma once

#include <functional>

#include "app/app_context.hpp"
#include "app/password_service.hpp"
#include "app/ui_port.hpp"
#include "net/network_host.hpp"

namespace orv {

class AppNetworkHost final : public NetworkHost {
 public:
  using UserFoundHandler = std::function<void(const uint32_t* user_id)>;
  AppNetworkHost(AppContext& ctx, UiPort& ui, PasswordService& passwords, UserFoundHandler on_user_found = {});

  void LogEvent(std::string_view source, std::string_view text) override;
  bool LogFileOpen() override;
  void TracePacket(PacketDirection direction, uint32_t ipv4, uint16_t port, const uint32_t* user_id, uint32_t type,
                   int32_t size) override;
  void TraceData(PacketDirection direction, const uint32_t* words) override;
  void TraceAddressUpdate(std::string_view text) override;
  void ShowMessage(std::string_view title, std::string_view text) override;
  bool GetPassword(PasswordBytes& password) override;
  void CopyKey(KeyRecord& out) override;
  void UserFound(const uint32_t* user_id) override;
  void ConnectEnded(const ConnectOutcome& outcome) override;
  // Who hears how a call to an address ended (set before the network runs).
  void SetConnectEndedHandler(std::function<void(const ConnectOutcome&)> handler) {
    on_connect_ended_ = std::move(handler);
  }

 private:
  AppContext& ctx_;
  UiPort& ui_;
  PasswordService& passwords_;
  UserFoundHandler on_user_found_;
  std::function<void(const ConnectOutcome&)> on_connect_ended_;
};

}  // namespace orv
