#include "chat/chat_message.hpp"

#include <algorithm>
#include <cstring>

#include "crypto/byte_order.hpp"
#include "identity/utf16.hpp"
#include "net/call_channel.hpp"

namespace orv {

namespace {

constexpr uint8_t kNumberingMarker[4] = {'O', 'R', 'V', 'n'};

void StoreNumbering(uint8_t* at, const ChatNumbering& numbering) {
  at[0] = at[1] = 0;  // the text's terminator
  std::memcpy(at + 2, kNumberingMarker, sizeof kNumberingMarker);
  StoreLe32(at + 6, numbering.id);
  StoreLe32(at + 10, numbering.lowest_unacknowledged);
}

// The numbering behind a text that ends at `end`, when there is one.
std::optional<ChatNumbering> LoadNumbering(const uint8_t* data, size_t length, size_t end) {
  if (end + kChatNumberingBytes > length || data[end] != 0 || data[end + 1] != 0 ||
      std::memcmp(data + end + 2, kNumberingMarker, sizeof kNumberingMarker) != 0)
    return std::nullopt;
  ChatNumbering numbering{LoadLe32(data + end + 6), LoadLe32(data + end + 10)};
  if (numbering.id == 0) return std::nullopt;
  return numbering;
}

}  // namespace

std::vector<uint8_t> EncodeChatText(uint32_t sequence, std::u16string_view text,
                                    const std::optional<ChatNumbering>& numbering) {
  const size_t text_bytes = std::min(text.size() * 2, kMaxChatTextBytes);
  const size_t used = text_bytes + (numbering ? kChatNumberingBytes : 0);
  const size_t padded = (used + kChatPadding - 1) / kChatPadding * kChatPadding;
  std::vector<uint8_t> message(kChatHeaderBytes + padded, 0);
  StoreLe32(message.data(), kCodeChatText);
  StoreLe32(message.data() + 4, sequence);
  for (size_t i = 0; i < text_bytes / 2; ++i) {
    message[kChatHeaderBytes + 2 * i] = static_cast<uint8_t>(text[i]);
    message[kChatHeaderBytes + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  if (numbering) StoreNumbering(message.data() + kChatHeaderBytes + text_bytes, *numbering);
  return message;
}

std::array<uint8_t, kChatAckBytes> EncodeChatAck(uint32_t sequence) {
  std::array<uint8_t, kChatAckBytes> message{};
  StoreLe32(message.data(), kCodeChatAck);
  StoreLe32(message.data() + 4, sequence);
  return message;
}

std::array<uint8_t, 4> EncodeCallCode(uint32_t code) {
  std::array<uint8_t, 4> message{};
  StoreLe32(message.data(), code);
  return message;
}

std::optional<ChatText> DecodeChatText(const uint8_t* data, size_t length) {
  if (length < kMinChatTextMessage || LoadLe32(data) != kCodeChatText) return std::nullopt;
  ChatText chat;
  chat.sequence = LoadLe32(data + 4);
  const size_t text_bytes = std::min(length - kChatHeaderBytes, kMaxChatTextBytes);
  chat.text = LeBytesToUtf16(data + kChatHeaderBytes, text_bytes);
  const size_t end = chat.text.find(u'\0');
  if (end != std::u16string::npos) chat.text.resize(end);
  chat.numbering = LoadNumbering(data, length, kChatHeaderBytes + chat.text.size() * 2);
  return chat;
}

std::optional<uint32_t> DecodeChatAck(const uint8_t* data, size_t length) {
  if (length < kChatAckBytes || LoadLe32(data) != kCodeChatAck) return std::nullopt;
  return LoadLe32(data + 4);
}

}  // namespace orv
