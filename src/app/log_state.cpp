#include "app/log_state.hpp"

#include "app/ui_port.hpp"

namespace orv {
namespace {

constexpr int64_t kMegabyte = 1048576;

// The reused line buffer keeps its room between lines, but not the room an
// unusually long message needed.
constexpr size_t kKeptLineCapacity = 64 * 1024;

void ReleaseLargeBuffer(std::string& line) {
  if (line.capacity() <= kKeptLineCapacity) return;
  line.clear();
  line.shrink_to_fit();
}

}  // namespace

LogState::LogState(LogOptions options) : options_(std::move(options)) {}

LogState::~LogState() { Close(); }

TimeStamp LogState::Stamp() const { return FormatTimeStamp(options_.clock ? options_.clock() : LocalLogTime()); }

void LogState::SetSizeLimit(int32_t megabytes) {
  // Computed in 64 bits: every positive LogSize is meaningful. Zero and
  // negative sizes never rotate.
  limit_bytes_.store(megabytes > 0 ? megabytes * kMegabyte : 0, std::memory_order_relaxed);
}

void LogState::CloseFileLocked(std::string_view stamp) {
  if (!file_.is_open()) return;
  line_.clear();
  AppendEndLine(line_, stamp);
  file_.Write(line_);
  file_.Close();
  file_open_.store(false, std::memory_order_relaxed);
}

void LogState::Reopen(const Settings& settings) {
  const TimeStamp stamp = Stamp();
  bool failed = false;
  {
    std::lock_guard lock(mutex_);
    if (closed_.load()) return;
    CloseFileLocked(stamp.view());
    SetSizeLimit(settings.LogSize);
    if (settings.EnableLog) {
      if (file_.Open(settings.Log)) {
        line_.clear();
        AppendStartLine(line_, stamp.view());
        file_.Write(line_);
        file_open_.store(true, std::memory_order_relaxed);
      } else {
        failed = true;
      }
    }
  }
  // Shown outside the lock: the person may take a while to answer.
  if (failed && options_.ui) options_.ui->ShowMessage(kTitleWarning, "Can't create log file", MessageIcon::kWarning);
}

void LogState::Close() {
  if (closed_.exchange(true)) return;
  const TimeStamp stamp = Stamp();
  std::lock_guard lock(mutex_);
  CloseFileLocked(stamp.view());
}

void LogState::EchoLocked(std::string_view stamp, std::string_view source, std::string_view message) {
  std::FILE* out = options_.echo;
  std::fwrite(stamp.data(), 1, stamp.size(), out);
  std::fwrite(" - ", 1, 3, out);
  std::fwrite(source.data(), 1, source.size(), out);
  std::fwrite(":\t", 1, 2, out);
  std::fwrite(message.data(), 1, message.size(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

void LogState::Event(std::string_view source, std::string_view message) {
  if (closed_.load(std::memory_order_relaxed)) return;
  const TimeStamp stamp = Stamp();
  if (options_.sink) options_.sink->AppendLogRow(stamp.view(), source, message);
  if (!options_.echo && !FileOpen()) return;
  std::lock_guard lock(mutex_);
  if (options_.echo) EchoLocked(stamp.view(), source, message);
  if (!file_.is_open()) return;
  line_.clear();
  AppendEventLine(line_, stamp.view(), source, message);
  file_.Write(line_);  // one write per line: nothing waits in a buffer
  ReleaseLargeBuffer(line_);
}

void LogState::Packet(TraceDirection direction, uint32_t ipv4, uint16_t port, const uint32_t* user_id,
                      uint32_t type, int32_t size) {
  if (!user_id || !FileOpen()) return;
  const TraceLine line = FormatPacketLine(Stamp().view(), direction, ipv4, port, user_id, type, size);
  std::lock_guard lock(mutex_);
  if (!file_.is_open()) return;
  file_.Write(line.view());
  // The size limit is checked here only, so event lines may take the file
  // past it until the next packet line.
  const int64_t limit = limit_bytes_.load(std::memory_order_relaxed);
  if (limit > 0 && file_.size() > limit) file_open_.store(file_.Rotate(), std::memory_order_relaxed);
}

void LogState::Data(TraceDirection direction, const uint32_t* words) {
  if (!words || !FileOpen()) return;
  const TraceLine line = FormatDataLine(direction, words);
  std::lock_guard lock(mutex_);
  file_.Write(line.view());
}

void LogState::AddressUpdate(std::string_view text) {
  if (!FileOpen()) return;
  std::lock_guard lock(mutex_);
  if (!file_.is_open()) return;
  line_.clear();
  AppendAddressUpdateLine(line_, text);
  file_.Write(line_);
  ReleaseLargeBuffer(line_);
}

}  // namespace orv
