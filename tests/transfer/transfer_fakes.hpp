// Recording stand-ins for what the file transfer engine talks to, and
// hand-made transfer messages.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "crypto/byte_order.hpp"
#include "net/payload_sender.hpp"
#include "support/recording_sender.hpp"
#include "transfer/file_transfer_engine.hpp"

namespace orv::test {
// Each module's fakes live in their own inline namespace: several test
// programs link the fakes of more than one module, whose records share names.
inline namespace transfer_fakes {

struct SentPayload {
  PeerRef target;
  uint32_t inner_type;
  std::vector<uint8_t> data;
  uint8_t code() const { return data.size() >= 4 ? static_cast<uint8_t>(data[0]) : 0xff; }
  uint32_t id() const { return data.size() >= 4 ? LoadLe32(data.data()) >> 8 : 0; }
  uint64_t number() const {
    return data.size() >= 12 ? (static_cast<uint64_t>(LoadLe32(data.data() + 4)) << 32 | LoadLe32(data.data() + 8))
                             : ~0ull;
  }
};

class CapturingSender : public PayloadRecorder<SentPayload> {
 public:
  static std::vector<uint8_t> Codes(const std::vector<SentPayload>& sent) {
    std::vector<uint8_t> codes;
    for (const SentPayload& p : sent) codes.push_back(p.code());
    return codes;
  }
};

class RecordingEvents : public TransferEvents {
 public:
  void TransferAdded(const TransferView& view) override { Add("added", view); }
  void TransferRefreshed(const TransferView& view) override { Add("refresh", view); }
  void TransferClosed(uint32_t handle) override {
    TransferView v;
    v.handle = handle;
    Add("closed", v);
  }
  void DownloadsChanged(bool show) override {
    std::lock_guard<std::mutex> g(lock_);
    downloads_changed.push_back(show);
  }
  void ShowTransferMessage(std::string_view title, std::string_view text) override {
    std::lock_guard<std::mutex> g(lock_);
    messages.push_back(std::string(title) + ": " + std::string(text));
  }
  struct Event {
    std::string kind;
    TransferView view;
  };
  std::vector<Event> Events() {
    std::lock_guard<std::mutex> g(lock_);
    return events_;
  }
  // The last view a window was given for `handle`.
  TransferView Last(uint32_t handle) {
    std::lock_guard<std::mutex> g(lock_);
    for (auto it = events_.rbegin(); it != events_.rend(); ++it)
      if (it->view.handle == handle && it->kind != "closed") return it->view;
    return {};
  }
  size_t Count(const std::string& kind) {
    std::lock_guard<std::mutex> g(lock_);
    return static_cast<size_t>(std::count_if(events_.begin(), events_.end(), [&](const Event& e) { return e.kind == kind; }));
  }
  std::vector<std::string> messages;
  std::vector<bool> downloads_changed;

 private:
  void Add(const char* kind, const TransferView& view) {
    std::lock_guard<std::mutex> g(lock_);
    events_.push_back({kind, view});
  }
  std::mutex lock_;
  std::vector<Event> events_;
};

class RecordingDownloads : public DownloadsRecord {
 public:
  struct Entry {
    PeerRef sender;
    std::string path;
    std::u16string name;
    uint64_t time;
  };
  void AddDownload(const PeerRef& sender, const std::string& path, const std::u16string& name,
                   uint64_t time) override {
    std::lock_guard<std::mutex> g(lock_);
    entries.push_back({sender, path, name, time});
  }
  std::vector<Entry> Entries() {
    std::lock_guard<std::mutex> g(lock_);
    return entries;
  }

 private:
  std::mutex lock_;
  std::vector<Entry> entries;
};

class FakeContacts : public ContactDirectory {
 public:
  bool IsContact(const uint32_t* user_id) override {
    for (const auto& c : contacts)
      if (SameUserId(c.data(), user_id)) return true;
    return false;
  }
  std::vector<std::array<uint32_t, kUserIdWords>> contacts;
};

class ManualClock : public TransferClock {
 public:
  uint64_t SystemTime100ns() override { return now.load(); }
  std::atomic<uint64_t> now{16'000'000'000'000'000ull};
};

// Messages as a peer sends them.
inline std::vector<uint8_t> Control(uint8_t code, uint32_t id) {
  std::vector<uint8_t> m(4);
  StoreLe32(m.data(), TransferWord(code, id));
  return m;
}
inline std::vector<uint8_t> Numbered(uint8_t code, uint32_t id, uint64_t number) {
  std::vector<uint8_t> m(12);
  StoreMessageHeader(m.data(), code, id, number);
  return m;
}
inline std::vector<uint8_t> Request(uint32_t id, uint64_t size, const std::u16string& name) {
  std::vector<uint8_t> m = Numbered(kFileRequest, id, size);
  for (char16_t c : name) m.insert(m.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  return m;
}
inline std::vector<uint8_t> Block(uint32_t id, uint64_t block, const std::string& bytes) {
  std::vector<uint8_t> m = Numbered(kFileBlock, id, block);
  m.insert(m.end(), bytes.begin(), bytes.end());
  return m;
}
// Deterministic file contents.
inline std::string Pattern(size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return s;
}

inline PeerRef PeerWith(uint32_t first_word, uint16_t port = 40000) {
  PeerRef p;
  p.user_id[0] = first_word;
  p.ipv4 = 0x7f000001;
  p.port = port;
  return p;
}

inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace transfer_fakes
}  // namespace orv::test
