#include "chat/chat_log.hpp"

#include <fcntl.h>
#include <unistd.h>

#include "crypto/wipe.hpp"
#include "identity/key_file.hpp"

namespace orv {
namespace {

// A chat history is private: a new log file is made readable by its owner
// only before anything is written to it.
void CreatePrivateFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

}  // namespace

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
    CreatePrivateFile(path);
    writable = log.Open(path, record, password.data(), password.size(), on_line);
  }
  WipeKeyRecord(record);
  return writable;
}

}  // namespace orv
