// The per-peer chat log: an encrypted record log in the profile folder
// named after the peer's UserId ("%08X ... %08X.txt"), one record per
// history line exactly as displayed. Opening shows what is stored.
#pragma once

#include <cstdint>
#include <string>

#include "crypto/key_protection.hpp"
#include "identity/password_bytes.hpp"
#include "identity/secret_file.hpp"
#include "net/network_host.hpp"

namespace orv {

// Where the log's key comes from: the user's key record and password
// (`GetPassword`, which may ask). False when no key is loaded or no
// password was given: the log is then neither shown nor written.
class ChatLogKeys {
 public:
  virtual ~ChatLogKeys() = default;
  virtual bool ChatLogKey(KeyRecord& record, PasswordBytes& password) = 0;
};

// The key as a running node has it: the application's key record and its
// password service, reached through the network's host.
class HostChatLogKeys : public ChatLogKeys {
 public:
  explicit HostChatLogKeys(NetworkHost& host) : host_(host) {}
  bool ChatLogKey(KeyRecord& record, PasswordBytes& password) override;

 private:
  NetworkHost& host_;
};

// folder + "/" + "%08X %08X %08X %08X %08X %08X %08X %08X" + ".txt".
std::string ChatLogPath(const std::string& folder, const uint32_t* user_id);

// Opens the log of `user_id` into `log` (created 0600 when missing),
// handing every stored line to `on_line`. False when it cannot be written.
bool OpenChatLog(RecordLog& log, const std::string& folder, const uint32_t* user_id, ChatLogKeys& keys,
                 const RecordLog::RecordHandler& on_line);

}  // namespace orv
