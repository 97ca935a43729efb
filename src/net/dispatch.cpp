#include "net/dispatch.hpp"

#include "crypto/byte_order.hpp"
#include "net/call_channel.hpp"

namespace orv {
namespace {

void DispatchCallChannel(ConversationTable* conversations, const uint8_t* data, size_t length,
                         const PeerRef& sender) {
  if (!conversations) return;
  if (length >= 4 && LoadLe32(data) == kCodeConnectionRequest) {
    conversations->RequestConnection(sender);
    return;
  }
  ConversationMatch match = conversations->FindConversation(sender);
  if (!match.found) {
    conversations->OpenConversation(sender);
    return;
  }
  if (match.channel) ChannelReceive(*match.channel, data, length);
}

}  // namespace

void DispatchPayload(const NetworkConsumers& consumers, const uint8_t* plaintext, size_t length,
                     const PeerRef& sender) {
  if (length < 4) return;
  const uint8_t* data = plaintext + 4;
  const size_t data_length = length - 4;
  switch (LoadLe32(plaintext)) {
    case kInnerDht:
      if (consumers.dht_messages) consumers.dht_messages->HandleDhtMessage(data, data_length, sender);
      break;
    case kInnerCallChannel:
      DispatchCallChannel(consumers.conversations, data, data_length, sender);
      break;
    case kInnerFileTransfer:
      if (consumers.transfers) consumers.transfers->HandleTransferMessage(data, data_length, sender);
      break;
    default:
      break;
  }
}

}  // namespace orv
