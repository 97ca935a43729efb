// A network host for benchmarks: it logs nothing, shows nothing and hands
// out the key and password it was given (none: no key, no password).
#pragma once

#include <atomic>
#include <string>

#include "net/network_host.hpp"

namespace orv::bench {

class QuietHost : public NetworkHost {
 public:
  QuietHost() = default;
  QuietHost(const KeyRecord& record, const std::string& password) : record_(&record), password_(password) {}
  void LogEvent(std::string_view, std::string_view) override {}
  bool LogFileOpen() override { return false; }
  void TracePacket(PacketDirection, uint32_t, uint16_t, const uint32_t*, uint32_t, int32_t) override {}
  void TraceData(PacketDirection, const uint32_t*) override {}
  void TraceAddressUpdate(std::string_view) override {}
  void ShowMessage(std::string_view, std::string_view) override {}
  size_t GetPassword(PasswordBytes& password) override {
    if (!record_ || refuse.load()) return 0;
    password.Assign(password_);
    return password.size();
  }
  void CopyKey(KeyRecord& out) override {
    if (record_) out = *record_;
  }
  void UserFound(const uint32_t*) override {}

  std::atomic<bool> refuse{false};  // GetPassword gives nothing while set

 private:
  const KeyRecord* record_ = nullptr;
  std::string password_;
};

}  // namespace orv::bench
