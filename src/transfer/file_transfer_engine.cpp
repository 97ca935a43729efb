#include "transfer/file_transfer_engine.hpp"

#include <algorithm>
#include <chrono>

#include "app/event_log.hpp"
#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"
#include "identity/key_file.hpp"
#include "identity/utf16.hpp"
#include "net/dispatch.hpp"
#include "transfer/received_name.hpp"

namespace orv {
namespace {

class SystemClock : public TransferClock {
 public:
  uint64_t SystemTime100ns() override {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100);
  }
  uint64_t MonotonicMicros() override {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
  }
};

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::string_view StartErrorText(StartError error) {
  switch (error) {
    case StartError::kCantOpen: return kCantOpenText;
    case StartError::kEmpty: return kFileEmptyText;
    default: return {};
  }
}

FileTransferEngine::FileTransferEngine(TransferServices services, FileTransferConfig config)
    : services_(std::move(services)), config_(config) {
  if (!services_.clock) {
    own_clock_ = std::make_unique<SystemClock>();
    services_.clock = own_clock_.get();
  }
  TransferWindow& w = config_.window;
  w.blocks_in_flight = std::min(std::max(w.blocks_in_flight, 1u), kMaxWindowSlots);
  w.max_blocks_in_flight = std::clamp(w.max_blocks_in_flight, w.blocks_in_flight, kMaxWindowSlots);
  w.receive_slots = std::min(w.receive_slots, kMaxWindowSlots);
  if (w.resend_ticks == 0) w.resend_ticks = 1;
  // Downloads of an earlier run that was killed left their temporary files.
  SweepAbandonedParts(Settings().FileTransferPath);
  if (config_.transfer_thread) thread_ = std::thread([this] { RunThread(); });
}

FileTransferEngine::~FileTransferEngine() { StopFileTransfers(); }

void FileTransferEngine::RunThread() {
  std::unique_lock<std::mutex> g(stop_lock_);
  while (!stop_signal_.wait_for(g, std::chrono::milliseconds(kTickMs), [this] { return stop_; })) {
    g.unlock();
    TransferTick();
    g.lock();
  }
}

void FileTransferEngine::StopFileTransfers() {
  {
    std::lock_guard<std::mutex> g(stop_lock_);
    stop_ = true;
  }
  stop_signal_.notify_all();
  if (thread_.joinable()) thread_.join();
  {
    Guard g(lock_);
    records_.ForEach([this](TransferRecord& r) {
      r.file.Discard();
      Retire(r);
      if (r.window_open) {
        const uint32_t handle = r.handle;
        Defer([this, handle] {
          if (services_.events) services_.events->TransferClosed(handle);
        });
      }
    });
    records_.Clear();
  }
  RunEffects();
}

uint64_t FileTransferEngine::Now() { return services_.clock->SystemTime100ns(); }

TransferSettings FileTransferEngine::Settings() {
  return services_.settings ? services_.settings() : TransferSettings{};
}

TransferView FileTransferEngine::View(const TransferRecord& r) {
  TransferView v;
  v.handle = r.handle;
  v.sending = r.sending;
  v.state = r.state;
  v.title = r.name;
  v.path = r.path;
  v.size = r.size;
  v.peer = UserIdText(r.peer.user_id);
  if (r.sending) v.window = r.congestion.Blocks();
  v.save_as_shown = r.state == kTransferRequested;
  v.cancel_label = r.state == kTransferComplete ? "Close" : "Cancel";
  switch (r.state) {
    case kTransferWaiting:
    case kTransferRequested:
    case kTransferCancelling:
      v.text = StateText(r.state);
      v.marquee = true;
      break;
    case kTransferComplete:
      v.text = StateText(r.state);
      v.percent = 100;
      break;
    case kTransferSending:
    case kTransferReceiving: {
      const uint64_t now = Now();
      // next block × 316, no more than the size (the last block is short).
      const uint64_t done = r.next_block >= r.total_blocks ? r.size : r.next_block * kBlockBytes;
      v.text = ProgressText(r.sending, done, r.size, now > r.start_time ? now - r.start_time : 0);
      v.percent = ProgressPercent(r.next_block, r.total_blocks);
      break;
    }
    default:
      v.text = StateText(r.state);
      break;
  }
  if (!r.reason.empty() && (r.state == kTransferCancelling || r.state == kTransferCanceled))
    v.text += ": " + r.reason;
  return v;
}

// Must hold the engine lock.
void FileTransferEngine::Defer(Effect effect) { effects_.push_back(std::move(effect)); }

// Runs what was deferred, in order, without the engine lock. One thread
// runs them at a time; a thread that finds another at it leaves its own to
// that one, which looks again after it stops (so nothing is left behind).
// An effect may call back into the engine.
void FileTransferEngine::RunEffects() {
  for (;;) {
    bool expected = false;
    if (!running_effects_.compare_exchange_strong(expected, true)) return;
    for (;;) {
      Effect next;
      {
        Guard g(lock_);
        if (effects_.empty()) break;
        next = std::move(effects_.front());
        effects_.pop_front();
      }
      next();
    }
    running_effects_.store(false);
    Guard g(lock_);
    if (effects_.empty()) return;
  }
}

// Must hold the engine lock.
void FileTransferEngine::Refresh(TransferRecord& r) {
  if (!r.window_open || !services_.events) return;
  TransferView view = View(r);
  Defer([this, view = std::move(view)] { services_.events->TransferRefreshed(view); });
}

void FileTransferEngine::Log(std::string_view text) { LogEvent(kTransferLogSource, text); }

// Must hold the engine lock. Cancelled, complete or timed out: shown for
// 30 s, then retired.
void FileTransferEngine::EndAs(TransferRecord& r, uint8_t state) {
  r.state = state;
  r.timeout = kShortTimeoutTicks;
  Refresh(r);
}

// Must hold the engine lock. This side stops a transfer that has not
// ended: a request is refused, anything else cancelled; a partial download
// is deleted. The cancel is repeated until the peer confirms it.
void FileTransferEngine::BeginCancel(TransferRecord& r) {
  SendFileControl(r.peer, r.id, r.state == kTransferRequested ? kFileRefuse : kFileCancel);
  if (r.state == kTransferReceiving) r.file.Discard();
  r.state = kTransferCancelling;
  r.timeout = kShortTimeoutTicks;
  r.slots[0].countdown = kRequestResendTicks;
  Refresh(r);
  Log("File transfer is cancelled");
}

// Must hold the engine lock. Three bytes of the wipe generator, as the
// identifier has always been made; drawn again while another transfer with
// the same peer uses it in either direction.
uint32_t FileTransferEngine::NewIdentifier(const PeerRef& peer) {
  for (;;) {
    uint32_t id = 0;
    for (int i = 0; i < 3; ++i) id |= (WipeStep() & 0xff) << (8 * i);
    bool used = false;
    records_.WithId(peer.user_id, id, [&used](const TransferRecord&) {
      used = true;
      return false;
    });
    if (!used) return id;
  }
}

void FileTransferEngine::SendFileControl(PeerRef& peer, uint32_t id, uint8_t code) {
  uint8_t message[kControlBytes];
  StoreLe32(message, TransferWord(code, id));
  services_.sender->SendPayload(peer, kInnerFileTransfer, message, sizeof message);
}

void FileTransferEngine::Reply(const PeerRef& to, uint32_t id, uint8_t code) {
  PeerRef target = to;
  SendFileControl(target, id, code);
}

TransferStart FileTransferEngine::StartFileTransfer(const PeerRef& peer, const std::string& path) {
  TransferFile file;
  uint64_t size = 0;
  if (!file.OpenForReading(path, size)) return {StartError::kCantOpen, 0};
  if (size == 0) return {StartError::kEmpty, 0};
  uint32_t handle = 0;
  {
    Guard g(lock_);
    auto r = std::make_unique<TransferRecord>();
    r->handle = handle = next_handle_++;
    r->sending = true;
    r->file = std::move(file);
    r->state = kTransferWaiting;
    r->id = NewIdentifier(peer);
    r->peer = peer;
    r->window = config_.window;
    r->congestion = CongestionWindow(r->window);
    r->slots.resize(1);
    r->size = size;
    r->total_blocks = BlocksFor(size);
    r->timeout = kActiveTimeoutTicks;
    const std::u16string name = OfferedName(path);
    r->name = Utf16ToUtf8(name);
    TransferSlot& request = r->slots[0];
    StoreMessageHeader(request.message.data(), kFileRequest, r->id, size);
    const std::string name_bytes = Utf16ToLeBytes(name);
    std::copy(name_bytes.begin(), name_bytes.end(), request.message.begin() + kMessageHeaderBytes);
    request.length = static_cast<uint32_t>(kMessageHeaderBytes + name_bytes.size());
    request.countdown = kRequestResendTicks;
    if (services_.events) {
      TransferView view = View(*r);
      Defer([this, view = std::move(view)] { services_.events->TransferAdded(view); });
    }
    services_.sender->SendPayload(r->peer, kInnerFileTransfer, request.message.data(), request.length);
    Log("File transfer is started");
    records_.Add(std::move(r));
  }
  RunEffects();
  return {StartError::kNone, handle};
}

// Must hold the engine lock. The first free name in `folder`: the offered
// name, then numbered 1, 2, 3 and so on. A name is taken when anything on
// disk has it or another download of this process holds it.
std::string FileTransferEngine::AutoPath(const std::string& folder, const std::string& name) {
  return names_.FreePath(folder, name);
}

// Must hold the engine lock. The download is received into `path`; no
// other automatic name is given that path while the record lives.
void FileTransferEngine::SetPath(TransferRecord& r, const std::string& path) {
  if (!r.path.empty()) names_.Release(r.path);
  r.path = path;
  names_.Hold(path);
}

// Must hold the engine lock. The record is about to go.
void FileTransferEngine::Retire(TransferRecord& r) {
  if (!r.path.empty()) names_.Release(r.path);
}

AcceptResult FileTransferEngine::AcceptIncomingFile(uint32_t handle, const std::optional<std::string>& chosen_path) {
  const TransferSettings settings = Settings();
  AcceptResult result = AcceptResult::kAccepted;
  {
    Guard g(lock_);
    TransferRecord* r = ByHandle(handle);
    if (!r || r->sending || r->state != kTransferRequested) return AcceptResult::kNotWaiting;
    const std::string folder = WithoutTrailingSlash(settings.FileTransferPath);
    std::string path;
    if (chosen_path) path = *chosen_path;
    else if (!folder.empty()) path = AutoPath(folder, r->name);
    if (path.empty() || IsFolder(path) || !r->file.CreateBeside(path, r->id << 8 ^ r->handle)) {
      result = AcceptResult::kCantCreate;
    } else {
      SetPath(*r, path);
      r->chosen_path = chosen_path.has_value();
      r->timeout = kActiveTimeoutTicks;
      r->state = kTransferReceiving;
      r->start_time = Now();
      SendFileControl(r->peer, r->id, kFileAccept);
      Log("File transfer is accepted");
      Refresh(*r);
      if (r->total_blocks == 0) FinishReceive(*r);
    }
  }
  RunEffects();
  return result;
}

bool FileTransferEngine::CancelFileTransfer(uint32_t handle) {
  {
    Guard g(lock_);
    TransferRecord* r = ByHandle(handle);
    if (!r) return false;
    if (IsEnded(r->state)) r->timeout = 0;
    else BeginCancel(*r);
    if (r->window_open && services_.events)
      Defer([this, handle] { services_.events->TransferClosed(handle); });
    r->window_open = false;
  }
  RunEffects();
  return true;
}

std::vector<TransferView> FileTransferEngine::ListTransfers() {
  Guard g(lock_);
  std::vector<TransferView> views;
  records_.ForEach([&](const TransferRecord& r) { views.push_back(View(r)); });
  return views;
}

std::optional<TransferView> FileTransferEngine::ViewTransfer(uint32_t handle) {
  Guard g(lock_);
  const TransferRecord* r = ByHandle(handle);
  if (!r) return std::nullopt;
  return View(*r);
}

std::optional<std::string> FileTransferEngine::ProposedPath(uint32_t handle) {
  const TransferSettings settings = Settings();
  Guard g(lock_);
  const TransferRecord* r = ByHandle(handle);
  if (!r || r->sending) return std::nullopt;
  return WithoutTrailingSlash(settings.FileTransferPath) + "/" + r->name;
}

}  // namespace orv
