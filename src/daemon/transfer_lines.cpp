#include "daemon/transfer_lines.hpp"

namespace orv {
namespace {

// The line for a transfer that has just entered `state`.
const char* StateEventName(const TransferView& view) {
  switch (view.state) {
    case kTransferComplete:
      return "transfer_finished";
    case kTransferCanceled:
    case kTransferTimedOut:
      return "transfer_failed";
    default:
      return "transfer_state";
  }
}

}  // namespace

Fields TransferFields(const TransferView& view) {
  Fields fields;
  fields.Number("transfer", view.handle)
      .Text("direction", view.sending ? "send" : "receive")
      .Text("user", view.peer)
      .Text("name", view.title)
      .Number("size", static_cast<int64_t>(view.size))
      .Number("state", view.state)
      .Number("percent", view.percent)
      .Text("text", view.text);
  if (!view.path.empty()) fields.Text("path", view.path);
  return fields;
}

void TransferLines::TransferAdded(const TransferView& view) {
  {
    std::lock_guard<std::mutex> g(lock_);
    shown_[view.handle] = Shown{view.state, view.percent};
  }
  bus_.Emit(view.sending ? "transfer_offered" : "transfer_requested", TransferFields(view));
}

void TransferLines::TransferRefreshed(const TransferView& view) {
  const char* name = nullptr;
  {
    std::lock_guard<std::mutex> g(lock_);
    Shown& shown = shown_[view.handle];
    if (shown.state != view.state)
      name = StateEventName(view);
    else if (shown.percent != view.percent)
      name = "transfer_progress";
    shown = Shown{view.state, view.percent};
  }
  if (name) bus_.Emit(name, TransferFields(view));
}

void TransferLines::TransferClosed(uint32_t handle) {
  {
    std::lock_guard<std::mutex> g(lock_);
    shown_.erase(handle);
  }
  bus_.Emit("transfer_closed", Fields().Number("transfer", handle));
}

void TransferLines::DownloadsChanged(bool) { bus_.Emit("downloads_changed"); }

void TransferLines::ShowTransferMessage(std::string_view title, std::string_view text) {
  bus_.Emit("message", Fields().Text("title", title).Text("text", text));
}

}  // namespace orv
