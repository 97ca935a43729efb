#include "app/app_network_host.hpp"

#include <mutex>

#include "app/event_log.hpp"

namespace orv {
namespace {

TraceDirection ToTrace(PacketDirection direction) {
  return direction == PacketDirection::kSent ? TraceDirection::kSent : TraceDirection::kReceived;
}

}  // namespace

AppNetworkHost::AppNetworkHost(AppContext& ctx, UiPort& ui, PasswordService& passwords,
                               UserFoundHandler on_user_found)
    : ctx_(ctx), ui_(ui), passwords_(passwords), on_user_found_(std::move(on_user_found)) {}

void AppNetworkHost::LogEvent(std::string_view source, std::string_view text) { orv::LogEvent(source, text); }

bool AppNetworkHost::LogFileOpen() { return orv::LogFileOpen(); }

void AppNetworkHost::TracePacket(PacketDirection direction, uint32_t ipv4, uint16_t port, const uint32_t* user_id,
                                 uint32_t type, int32_t size) {
  orv::TracePacket(ToTrace(direction), ipv4, port, user_id, type, size);
}

void AppNetworkHost::TraceData(PacketDirection direction, const uint32_t* words) {
  orv::TraceData(ToTrace(direction), words);
}

void AppNetworkHost::TraceAddressUpdate(std::string_view text) { orv::TraceAddressUpdate(text); }

void AppNetworkHost::ShowMessage(std::string_view title, std::string_view text) {
  // The network's boxes (socket errors, the identity warning) carry the error icon.
  ui_.ShowMessage(title, text, MessageIcon::kError);
}

bool AppNetworkHost::GetPassword(PasswordBytes& password) { return passwords_.GetPassword(password); }

void AppNetworkHost::CopyKey(KeyRecord& out) {
  std::lock_guard<std::mutex> lock(ctx_.app_lock());
  out = ctx_.key();
}

void AppNetworkHost::UserFound(const uint32_t* user_id) {
  if (on_user_found_) on_user_found_(user_id);
}

void AppNetworkHost::ConnectEnded(const ConnectOutcome& outcome) {
  if (on_connect_ended_) on_connect_ended_(outcome);
}

}  // namespace orv
