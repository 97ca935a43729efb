// The chat and control messages of a call channel (inner type 1), encoded
// and decoded byte by byte: a chat text is code 3, its sequence number and
// at most 1024 bytes of UTF-16LE text zero-padded to a multiple of 32; its
// acknowledgement is code 4 and the number; call control is one code word.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

constexpr size_t kMaxChatTextBytes = 1024;
constexpr size_t kChatPadding = 32;
constexpr size_t kChatHeaderBytes = 8;       // code and sequence number
constexpr size_t kMinChatTextMessage = 9;    // shorter code 3 messages are ignored
constexpr size_t kChatAckBytes = 8;

// Code 3: the number and the text (cut to 1024 bytes), padded.
std::vector<uint8_t> EncodeChatText(uint32_t sequence, std::u16string_view text);
// Code 4 with the acknowledged number.
std::array<uint8_t, kChatAckBytes> EncodeChatAck(uint32_t sequence);
// A control message: the code alone.
std::array<uint8_t, 4> EncodeCallCode(uint32_t code);

struct ChatText {
  uint32_t sequence = 0;
  // The text up to its first zero character (the padding), from at most
  // 1024 bytes; an odd last byte is dropped.
  std::u16string text;
};

// A code 3 message of at least 9 bytes (`data` starts with the code word).
std::optional<ChatText> DecodeChatText(const uint8_t* data, size_t length);
// The number of a code 4 message of at least 8 bytes.
std::optional<uint32_t> DecodeChatAck(const uint8_t* data, size_t length);

}  // namespace orv
