// The main window controller wired to recording fakes of the engines, a
// real contact store whose contacts file lives in a temporary directory,
// and a scripted UI port.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window/contacts_saver.hpp"
#include "app/main_window/main_window_controller.hpp"
#include "app/scripted_ui_port.hpp"
#include "support/temp_dir.hpp"

namespace orv::test {
// Each module's fakes live in their own inline namespace: several test
// programs link the fakes of more than one module, whose records share names.
inline namespace main_window_fakes {

// A UserId whose words are seed, seed + 1, ...
inline PeerRef Peer(uint32_t seed, uint32_t ipv4 = 0, uint16_t port = 0) {
  PeerRef p;
  for (uint32_t i = 0; i < kUserIdWords; ++i) p.user_id[i] = seed + i;
  p.ipv4 = ipv4;
  p.port = port;
  return p;
}

inline std::vector<uint32_t> Id(const uint32_t* user_id) { return {user_id, user_id + kUserIdWords}; }

// The peer table as a script: what each UserId looks like right now.
class FakePeers final : public PeerDirectory {
 public:
  explicit FakePeers(ContactStore& store) : store_(store) {}

  void Script(const PeerRef& ref, bool connected, bool away, const std::string& name = "<unknown>") {
    looks_[Id(ref.user_id)] = PeerLook{ref, connected, away};
    names_[Id(ref.user_id)] = name;
  }
  void Forget(const PeerRef& ref) {
    looks_.erase(Id(ref.user_id));
    names_.erase(Id(ref.user_id));
  }

  std::optional<PeerLook> LookUpPeer(const uint32_t* user_id) override {
    CheckStoreLockFree();
    auto it = looks_.find(Id(user_id));
    if (it == looks_.end()) return std::nullopt;
    return it->second;
  }
  std::string PeerName(const uint32_t* user_id) override {
    CheckStoreLockFree();
    auto it = names_.find(Id(user_id));
    return it == names_.end() ? "<unknown>" : it->second;
  }
  int PeerPresence(const uint32_t* user_id) override {
    auto it = looks_.find(Id(user_id));
    if (it == looks_.end() || !it->second.connected) return 0;
    return it->second.away ? 2 : 1;
  }
  void SetAway(bool away) override { away_flags.push_back(away); }

  std::vector<bool> away_flags;  // every SetAway, in order
  int store_lock_held = 0;       // peer table queries made with the store lock held

 private:
  // The peer table lock comes before the store lock: a query made while
  // the store lock is held could deadlock with the receive thread. Checked
  // from another thread, which may try the lock.
  void CheckStoreLockFree() {
    bool free = false;
    std::thread([&] {
      free = store_.lock.try_lock();
      if (free) store_.lock.unlock();
    }).join();
    if (!free) ++store_lock_held;
  }

  ContactStore& store_;
  std::map<std::vector<uint32_t>, PeerLook> looks_;
  std::map<std::vector<uint32_t>, std::string> names_;
};

struct SentPayload {
  PeerRef target;
  uint32_t inner_type;
  std::vector<uint8_t> data;
};

class RecordingSender final : public PayloadSender {
 public:
  int32_t SendPayload(PeerRef& target, uint32_t inner_type, const uint8_t* data, uint32_t length) override {
    sent.push_back({target, inner_type, {data, data + length}});
    return 0;
  }
  std::vector<SentPayload> sent;
};

class RecordingLocator final : public ContactLocator {
 public:
  void PingOrLocate(const PeerRef& contact) override { pinged.push_back(contact); }
  void LocateUser(const uint32_t* user_id) override { located.push_back(Id(user_id)); }
  std::vector<PeerRef> pinged;
  std::vector<std::vector<uint32_t>> located;
};

class FakeConversations final : public ConversationControl {
 public:
  void OpenChat(const PeerRef& peer) override { opened.push_back(peer); }
  bool AnyCallInVoice() override {
    ++voice_questions;
    return in_voice;
  }
  std::vector<PeerRef> opened;
  bool in_voice = false;
  int voice_questions = 0;
};

class RecordingTransfers final : public FileTransferStarter {
 public:
  std::string StartFileTransfer(const PeerRef& peer, const std::string& path) override {
    started.push_back({peer, path});
    return refusal;
  }
  std::string refusal;  // what the next starts answer
  std::vector<std::pair<PeerRef, std::string>> started;
};

class FakeIdle final : public IdleTimeSource {
 public:
  uint64_t IdleMilliseconds() override { return idle_ms; }
  uint64_t idle_ms = 0;
};

class FakeOwn final : public OwnIdentitySource {
 public:
  OwnIdentity Own() override { return own; }
  OwnIdentity own;
};

// Records the files it is asked to sign; answers with `result`.
class RecordingSigner final : public ContactsSigner {
 public:
  bool SignContactsFile(const std::string& path) override {
    std::lock_guard<std::mutex> g(lock_);
    signed_paths_.push_back(path);
    return result;
  }
  std::vector<std::string> signed_paths() {
    std::lock_guard<std::mutex> g(lock_);
    return signed_paths_;
  }
  std::atomic<bool> result{true};

 private:
  std::mutex lock_;
  std::vector<std::string> signed_paths_;
};

class RecordingEvents final : public MainWindowEvents {
 public:
  void ContactRowsChanged(const std::vector<ContactRow>& r) override {
    rows = r;
    ++row_changes;
  }
  void SelectContactRow(size_t row) override { selections.push_back(row); }
  void TitleChanged(std::string_view title) override { titles.emplace_back(title); }
  void PresenceMarkChanged(Presence presence) override { marks.push_back(presence); }
  void ShowUserInfo(const UserInformation& info) override { infos.push_back(info); }
  void ShowConnectionRequest(const ConnectionRequest& request) override { requests.push_back(request); }
  void StatusTextChanged(std::string_view text) override { status_texts.emplace_back(text); }

  std::vector<ContactRow> rows;
  int row_changes = 0;
  std::vector<size_t> selections;
  std::vector<std::string> titles;
  std::vector<Presence> marks;
  std::vector<UserInformation> infos;
  std::vector<ConnectionRequest> requests;
  std::vector<std::string> status_texts;
};

class ScriptedPrompts final : public MainWindowPrompts {
 public:
  std::optional<std::string> AskRename(std::string_view original_name, std::string_view name) override {
    renames_asked.push_back({std::string(original_name), std::string(name)});
    return rename_answer;
  }
  std::optional<std::string> ChooseFileToSend() override {
    ++files_asked;
    return file_answer;
  }
  std::optional<std::string> rename_answer;
  std::optional<std::string> file_answer;
  std::vector<std::pair<std::string, std::string>> renames_asked;
  int files_asked = 0;
};

// Appends a contact to the store as the contacts file would give it.
inline void AddStoredContact(ContactStore& store, const PeerRef& peer, std::optional<std::string> name,
                             std::optional<std::string> original, bool authorized) {
  ContactRecord c;
  c.peer = peer;
  c.name = std::move(name);
  c.original_name = std::move(original);
  c.authorized = authorized;
  std::lock_guard<std::mutex> g(store.lock);
  store.contacts.push_back(std::move(c));
}

struct MainWindowFixture {
  MainWindowFixture() { settings.Likes = dir / "likes.xml"; }

  void AddStoredContact(const PeerRef& peer, std::optional<std::string> name, std::optional<std::string> original,
                        bool authorized) {
    test::AddStoredContact(store, peer, std::move(name), std::move(original), authorized);
  }

  TempDir dir;
  Settings settings;
  ContactStore store;
  ScriptedUiPort ui;
  RecordingEvents events;
  ScriptedPrompts prompts;
  FakePeers peers{store};
  RecordingSender sender;
  RecordingLocator locator;
  FakeConversations conversations;
  RecordingTransfers transfers;
  FakeIdle idle;
  FakeOwn own;
  RecordingSigner signer;
  ContactsSaver saver{store, signer};
  MainWindowController controller{MainWindowParts{settings, store, ui, events, prompts, peers, sender, locator,
                                                  conversations, transfers, idle, own, saver}};
};

}  // namespace main_window_fakes
}  // namespace orv::test
