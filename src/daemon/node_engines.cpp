// The engines of a node above its endpoint (contact store, file transfers)
// and the files they keep: loaded at start-up after the endpoint, saved at
// shutdown before the engines stop.
#include <filesystem>

#include "app/event_log.hpp"
#include "daemon/node.hpp"
#include "identity/signed_file.hpp"
#include "store/contacts.hpp"
#include "store/downloads.hpp"
#include "store/network_file.hpp"

namespace orv {

void Node::StartEngines() {
  store_ = std::make_unique<ContactStore>(SystemFileTime,
                                          [](std::string_view source, std::string_view text) { LogEvent(source, text); });
  contact_directory_ = std::make_unique<StoreContactDirectory>(*store_);
  downloads_record_ = std::make_unique<StoreDownloadsRecord>(*store_);
  sender_ = std::make_unique<EndpointPayloadSender>(*endpoint_);

  TransferServices services;
  services.sender = sender_.get();
  services.events = hooks_.transfer_events;
  services.downloads = downloads_record_.get();
  services.contacts = contact_directory_.get();
  services.settings = [policies = policies()] {
    TransferSettings s;
    s.AcceptFileTransfer = policies.AcceptFileTransfer;
    s.AutoReceiveFiles = policies.AutoReceiveFiles;
    s.FileTransferPath = policies.FileTransferPath;
    return s;
  };
  NetworkEndpoint* endpoint = endpoint_.get();
  services.peer_name = [endpoint](const PeerRef& peer) { return GetPeerName(*endpoint, peer.user_id); };
  transfers_ = std::make_unique<FileTransferEngine>(services);

  StartConversations();

  NetworkConsumers consumers;
  consumers.contacts = store_.get();
  consumers.transfers = transfers_.get();
  consumers.conversations = conversations_.get();
  SetNetworkConsumers(*endpoint_, consumers);
}

void Node::StartConversations() {
  if (!hooks_.dispatcher) return;
  conversation_network_ = std::make_unique<EndpointConversationNetwork>(*endpoint_);
  chat_log_keys_ = std::make_unique<HostChatLogKeys>(*host_);
  ConversationServices services;
  services.dispatcher = hooks_.dispatcher;
  services.sender = sender_.get();
  services.events = hooks_.conversation_events;
  services.network = conversation_network_.get();
  services.contacts = contact_directory_.get();
  services.voice = hooks_.voice;
  services.log_keys = chat_log_keys_.get();
  ConversationSettings settings;
  settings.allow_anyone = settings_.AllowAnyone;
  settings.allow_connection_request = settings_.AllowConnectionRequest;
  settings.save_chat_to_file = settings_.SaveChatToFile;
  settings.log_folder = paths_.profile_dir;
  conversations_ = std::make_unique<Conversations>(services, settings);
}

// The endpoint lets go of the engines first, so that no receive callback
// reaches an engine that is going.
void Node::StopEngines() {
  if (endpoint_) SetNetworkConsumers(*endpoint_, {});
  conversations_.reset();
  chat_log_keys_.reset();
  conversation_network_.reset();
  if (transfers_) transfers_->StopFileTransfers();
  transfers_.reset();
  sender_.reset();
  downloads_record_.reset();
  contact_directory_.reset();
}

void Node::LoadStoreFiles() {
  LoadNetworkFile(*store_, [](const PeerRef&) {}, settings_.Users);
  const KeyRecord& key = ctx_->key();
  if (!key.loaded) return;
  const ContactsStartup contacts = LoadContactsAtStartup(*store_, settings_.Likes, key.certificate);
  if (contacts.warning) ui_.ShowMessage(kTitleWarning, *contacts.warning, MessageIcon::kWarning);
  PasswordBytes password;
  if (passwords_->GetPassword(password) != 0)
    LoadDownloads(*store_, settings_.Downloads, key, password.data(), password.size());
}

void Node::SaveStoreFiles() {
  if (!store_) return;
  SaveNetworkFile(*store_, settings_.Users);
  const KeyRecord& key = ctx_->key();
  if (!key.loaded) return;
  PasswordBytes password;
  if (passwords_->GetPassword(password) == 0) return;
  // The contacts file is saved by the commands that change it; here it is
  // only signed anew, so that the next start accepts it.
  if (std::filesystem::exists(settings_.Likes) &&
      !SignFile(settings_.Likes, key, password.data(), password.size()))
    ui_.ShowMessage(kTitleWarning, kCannotSignWarning, MessageIcon::kWarning);
  SaveDownloads(*store_, settings_.Downloads, key, password.data(), password.size());
}

}  // namespace orv
