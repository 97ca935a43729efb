// The file transfers as event lines of the control interface: a new
// transfer, its changes of state, its progress (when the percentage moves),
// and the downloads record. Called on the engine's threads; the bus takes
// lines from any thread.
#pragma once

#include <map>
#include <mutex>

#include "daemon/event_bus.hpp"
#include "transfer/transfer_ports.hpp"

namespace orv {

class TransferLines final : public TransferEvents {
 public:
  explicit TransferLines(EventBus& bus) : bus_(bus) {}

  void TransferAdded(const TransferView& view) override;
  void TransferRefreshed(const TransferView& view) override;
  void TransferClosed(uint32_t handle) override;
  void DownloadsChanged(bool show) override;
  void ShowTransferMessage(std::string_view title, std::string_view text) override;

 private:
  struct Shown {
    uint8_t state = 0;
    uint32_t percent = 0;
  };

  EventBus& bus_;
  std::mutex lock_;
  std::map<uint32_t, Shown> shown_;  // what the lines said last, by handle
};

// The fields every transfer line and the `transfers` list carry.
Fields TransferFields(const TransferView& view);

}  // namespace orv
