// Recording stand-ins for what conversations talk to: the sender, the UI
// port, the network's peer queries, the contact store, the voice engine
// and the chat log's key.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "chat/call_voice.hpp"
#include "chat/chat_log.hpp"
#include "store/contact_directory.hpp"
#include "chat/conversation_events.hpp"
#include "chat/conversation_network.hpp"
#include "crypto/byte_order.hpp"
#include "net/payload_sender.hpp"
#include "support/recording_sender.hpp"

namespace orv::test {
// Each module's fakes live in their own inline namespace: several test
// programs link the fakes of more than one module, whose records share names.
inline namespace chat_fakes {

struct SentPayload {
  PeerRef target;
  uint32_t inner_type = 0;
  std::vector<uint8_t> data;
  uint32_t code() const { return data.size() >= 4 ? LoadLe32(data.data()) : 0xffffffffu; }
  uint32_t sequence() const { return data.size() >= 8 ? LoadLe32(data.data() + 4) : 0xffffffffu; }
};

class RecordingSender : public PayloadRecorder<SentPayload> {
 public:
  // The codes sent since the last Take, in order.
  std::vector<uint32_t> Codes() {
    std::vector<uint32_t> codes;
    for (const SentPayload& p : Take()) codes.push_back(p.code());
    return codes;
  }
};

// Every event as one line of text, in order.
class RecordingEvents : public ConversationEvents {
 public:
  void OnConversationOpened(ConversationId id, const PeerRef&) override { Add(id, "opened"); }
  void OnConversationRaised(ConversationId id) override { Add(id, "raised"); }
  void OnConversationClosed(ConversationId id) override { Add(id, "closed"); }
  void OnHistoryLine(ConversationId id, const HistoryLine& line) override {
    static const char* kKinds[] = {"pending", "delivered", "incoming"};
    Add(id, std::string(line.from_log ? "log " : "line ") + kKinds[static_cast<int>(line.kind)] + " " +
                std::to_string(line.line_id) + " " + line.text);
    std::lock_guard<std::mutex> g(lock_);
    lines.push_back(line);
  }
  void OnLineDelivered(ConversationId id, uint32_t line_id) override {
    Add(id, "delivered " + std::to_string(line_id));
  }
  void OnAlert(ConversationId id) override { Add(id, "alert"); }
  void OnStatus(ConversationId id, const StatusBar& s) override {
    std::lock_guard<std::mutex> g(lock_);
    status[id] = s;
  }
  void OnTitle(ConversationId id, const std::string& t) override {
    std::lock_guard<std::mutex> g(lock_);
    title[id] = t;
  }
  void OnCallState(ConversationId id, uint32_t, std::string_view name) override {
    Add(id, "state " + std::string(name));
  }
  void OnPeerTyping(ConversationId id) override { Add(id, "typing"); }
  void OnRingOpened(ConversationId id, bool shown, const std::string& text) override {
    Add(id, std::string("ring ") + (shown ? "shown " : "hidden ") + text);
  }
  void OnRingClosed(ConversationId id) override { Add(id, "ring closed"); }
  void OnToneStarted(ConversationId id, Tone tone) override {
    Add(id, tone == Tone::kDial ? "tone dial" : "tone ring");
  }
  void OnToneStopped(ConversationId id) override { Add(id, "tone stopped"); }
  void OnIdentityAdopted(ConversationId id, const PeerRef&) override { Add(id, "adopted"); }
  void OnConnectionRequest(const PeerRef&, const std::string& name) override { Add(0, "request " + name); }

  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> g(lock_);
    return std::exchange(events_, {});
  }
  StatusBar Status(ConversationId id) {
    std::lock_guard<std::mutex> g(lock_);
    return status[id];
  }
  std::string Title(ConversationId id) {
    std::lock_guard<std::mutex> g(lock_);
    return title[id];
  }
  std::vector<std::string> Peek() {
    std::lock_guard<std::mutex> g(lock_);
    return events_;
  }
  size_t Count(const std::string& text) {
    size_t n = 0;
    for (const std::string& e : Peek()) n += e == text;
    return n;
  }

  std::vector<HistoryLine> lines;

 private:
  void Add(ConversationId id, std::string text) {
    std::lock_guard<std::mutex> g(lock_);
    events_.push_back(id ? std::to_string(id) + ": " + text : text);
  }
  std::mutex lock_;
  std::vector<std::string> events_;
  std::map<ConversationId, StatusBar> status;
  std::map<ConversationId, std::string> title;
};

class FakeNetwork : public ConversationNetwork {
 public:
  std::u16string PeerName(const uint32_t* id) override {
    return Known(id) ? name : u"<unknown>";
  }
  int PeerPresence(const uint32_t* id) override { return Known(id) ? presence : 0; }
  bool SessionId(const uint32_t* id, uint32_t* digest) override {
    if (!Known(id) || !session) return false;
    for (size_t i = 0; i < kUserIdWords; ++i) digest[i] = session_digest[i];
    return true;
  }
  std::optional<PeerStatus> PeerCounters(const uint32_t* id) override {
    if (!Known(id)) return std::nullopt;
    return counters;
  }
  bool FindPeerRef(const uint32_t* id, PeerRef& out) override {
    if (!Known(id)) return false;
    out = known;
    return true;
  }
  bool Known(const uint32_t* id) const { return !IsZeroUserId(id) && SameUserId(id, known.user_id); }

  PeerRef known;
  std::u16string name = u"Bob";
  int presence = 1;
  bool session = true;
  uint32_t session_digest[kUserIdWords] = {0x2222aaaa, 0x4444bbbb, 0x6666cccc};
  PeerStatus counters;
};

class FakeContacts : public ContactDirectory {
 public:
  bool IsContact(const uint32_t* id) override { return ids.count(Key(id)) != 0; }
  std::optional<std::string> ContactName(const uint32_t* id) override {
    auto it = ids.find(Key(id));
    if (it == ids.end()) return std::nullopt;
    return it->second;
  }
  void Add(const uint32_t* id, std::string name) { ids[Key(id)] = std::move(name); }

 private:
  static std::vector<uint32_t> Key(const uint32_t* id) { return {id, id + kUserIdWords}; }
  std::map<std::vector<uint32_t>, std::string> ids;
};

// A voice engine that records what the conversation asks of it.
class RecordingVoice : public CallVoice {
 public:
  explicit RecordingVoice(std::vector<std::string>& log) : log_(log) {}
  ~RecordingVoice() override { log_.push_back("destroyed"); }
  void StartVoice() override {
    running_ = true;
    log_.push_back("start");
  }
  void StopVoice() override {
    running_ = false;
    log_.push_back("stop");
  }
  bool VoiceRunning() const override { return running_; }
  void QueueVoiceFrame(const uint8_t*, size_t length) override { frames_ += length; }

 private:
  std::vector<std::string>& log_;
  bool running_ = false;
  size_t frames_ = 0;
};

class RecordingVoiceProvider : public VoiceProvider {
 public:
  std::unique_ptr<CallVoice> CreateCallVoice(CallChannel&, PayloadSender&, VoiceLevels&) override {
    log.push_back("created");
    return std::make_unique<RecordingVoice>(log);
  }
  std::vector<std::string> log;
};

}  // namespace chat_fakes
}  // namespace orv::test
