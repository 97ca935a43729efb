#include "app/settings_views.hpp"

namespace orv {

TransferSettings TransferSettingsOf(const Settings& settings) {
  TransferSettings out;
  out.AcceptFileTransfer = settings.AcceptFileTransfer;
  out.AutoReceiveFiles = settings.AutoReceiveFiles;
  out.FileTransferPath = settings.FileTransferPath;
  return out;
}

ConversationSettings ConversationSettingsOf(const Settings& settings, const ProfilePaths& paths) {
  ConversationSettings out;
  out.allow_anyone = settings.AllowAnyone;
  out.allow_connection_request = settings.AllowConnectionRequest;
  out.save_chat_to_file = settings.SaveChatToFile;
  out.log_folder = paths.profile_dir;
  return out;
}

}  // namespace orv
