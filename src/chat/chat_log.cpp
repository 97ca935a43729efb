#include "chat/chat_log.hpp"

#include <sys/stat.h>

#include "crypto/wipe.hpp"
#include "identity/key_file.hpp"

namespace orv {
namespace {

// A chat history is private: the log is readable by its owner only. A new
// log holds nothing but its salt when this is done, before the first line.
void MakePrivate(const std::string& path) { ::chmod(path.c_str(), S_IRUSR | S_IWUSR); }

}  // namespace

bool HostChatLogKeys::ChatLogKey(KeyRecord& record, PasswordBytes& password) {
  host_.CopyKey(record);
  return record.loaded && host_.GetPassword(password);
}

std::string ChatLogPath(const std::string& folder, const uint32_t* user_id) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + UserIdText(user_id) + ".txt";
}

bool OpenChatLog(RecordLog& log, const std::string& folder, const uint32_t* user_id, ChatLogKeys& keys,
                 const RecordLog::RecordHandler& on_line) {
  KeyRecord record;
  PasswordBytes password;
  const bool keyed = keys.ChatLogKey(record, password);
  bool writable = false;
  if (keyed) {
    const std::string path = ChatLogPath(folder, user_id);
    writable = log.Open(path, record, password.data(), password.size(), on_line);
    MakePrivate(path);
  }
  WipeKeyRecord(record);
  return writable;
}

}  // namespace orv
