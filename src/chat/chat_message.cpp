#include "chat/chat_message.hpp"

#include <algorithm>

#include "crypto/byte_order.hpp"
#include "identity/utf16.hpp"
#include "net/call_channel.hpp"

namespace orv {

std::vector<uint8_t> EncodeChatText(uint32_t sequence, std::u16string_view text) {
  const size_t text_bytes = std::min(text.size() * 2, kMaxChatTextBytes);
  const size_t padded = (text_bytes + kChatPadding - 1) / kChatPadding * kChatPadding;
  std::vector<uint8_t> message(kChatHeaderBytes + padded, 0);
  StoreLe32(message.data(), kCodeChatText);
  StoreLe32(message.data() + 4, sequence);
  for (size_t i = 0; i < text_bytes / 2; ++i) {
    message[kChatHeaderBytes + 2 * i] = static_cast<uint8_t>(text[i]);
    message[kChatHeaderBytes + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
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
  return chat;
}

std::optional<uint32_t> DecodeChatAck(const uint8_t* data, size_t length) {
  if (length < kChatAckBytes || LoadLe32(data) != kCodeChatAck) return std::nullopt;
  return LoadLe32(data + 4);
}

}  // namespace orv
