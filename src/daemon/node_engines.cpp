// The engines of a node above its endpoint (contact store, file transfers)
// and the files they keep: loaded at start-up after the endpoint, saved at
// shutdown before the engines stop.
#include <filesystem>

#include "app/event_log.hpp"
#include "daemon/node.hpp"
#include "identity/signed_file.hpp"
#include "identity/utf16.hpp"
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

  StartDht();
  StartConversations();
  StartMainWindow();

  NetworkConsumers consumers;
  consumers.dht_nodes = dht_.get();
  consumers.dht_messages = dht_.get();
  consumers.contacts = store_.get();
  consumers.transfers = transfers_.get();
  consumers.conversations = conversations_.get();
  SetNetworkConsumers(*endpoint_, consumers);
}

void Node::StartDht() {
  const KeyRecord& key = ctx_->key();
  DhtSetup setup;
  if (key.loaded) {
    CopyUserId(setup.own.user_id, key.certificate.user_id);
    setup.user_info = LeBytesToUtf16(key.certificate.info, key.certificate.info_length);
  }
  setup.own.ipv4 = 0x7f000001;
  setup.own.port = EndpointPort(*endpoint_);
  dht_network_ = std::make_unique<EndpointDhtNetwork>(*endpoint_);
  dht_clock_ = std::make_unique<SteadyDhtClock>();
  setup.sender = sender_.get();
  setup.network = dht_network_.get();
  setup.clock = dht_clock_.get();
  setup.events = hooks_.dht_events;
  dht_ = std::make_unique<DhtEngine>(setup);
  dht_->SetContactObserver(store_.get());
  dht_->StartThread();
}

void Node::StartMainWindow() {
  if (!conversations_ || !hooks_.main_window_events || !hooks_.main_window_prompts) return;
  peer_directory_ = std::make_unique<EndpointPeerDirectory>(*endpoint_);
  locator_ = std::make_unique<DhtContactLocator>(*dht_);
  conversation_control_ = std::make_unique<ConversationsControl>(*conversations_);
  transfer_starter_ = std::make_unique<EngineTransferStarter>(*transfers_);
  own_identity_ = std::make_unique<AppOwnIdentity>(*ctx_, [this] { return mapping_.external_address.load(); });
  signer_ = std::make_unique<AppContactsSigner>(*ctx_, *passwords_);
  saver_ = std::make_unique<ContactsSaver>(*store_, *signer_);
  main_window_ = std::make_unique<MainWindowController>(MainWindowParts{
      settings_, *store_, ui_, *hooks_.main_window_events, *hooks_.main_window_prompts, *peer_directory_, *sender_,
      *locator_, *conversation_control_, *transfer_starter_, idle_, *own_identity_, *saver_});
  inbox_ = std::make_unique<MainWindowInbox>(*hooks_.dispatcher, *main_window_);
  main_window_->CommandOnline();
  inbox_->StartMainTimer();
}

// The contacts file is signed anew as it stands (the commands that change
// it save it), so that the next start accepts it.
void Node::StopMainWindow() {
  if (inbox_) inbox_->StopMainTimer();
  // A node that never had contacts has no file to sign.
  if (main_window_ && std::filesystem::exists(settings_.Likes)) main_window_->SignContactsAtShutdown();
  if (saver_) saver_->WaitForSigning();
  inbox_.reset();
  main_window_.reset();
  saver_.reset();
  signer_.reset();
  own_identity_.reset();
  transfer_starter_.reset();
  conversation_control_.reset();
  locator_.reset();
  peer_directory_.reset();
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
  DhtEngine* dht = dht_.get();
  services.locate = [dht](const uint32_t* user_id, PeerRef& out) { return dht->LocateUser(user_id, &out); };
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
  StopMainWindow();
  conversations_.reset();
  chat_log_keys_.reset();
  conversation_network_.reset();
  if (transfers_) transfers_->StopFileTransfers();
  transfers_.reset();
  if (dht_) dht_->StopThread();
  dht_.reset();
  dht_clock_.reset();
  dht_network_.reset();
  sender_.reset();
  downloads_record_.reset();
  contact_directory_.reset();
}

void Node::LoadStoreFiles() {
  DhtEngine* dht = dht_.get();
  LoadNetworkFile(
      *store_, [dht](const PeerRef& node) { dht->NoteDhtNode(node, false, nullptr); }, settings_.Users);
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
  StopMainWindow();
  PasswordBytes password;
  if (passwords_->GetPassword(password) == 0) return;
  SaveDownloads(*store_, settings_.Downloads, key, password.data(), password.size());
}

}  // namespace orv
