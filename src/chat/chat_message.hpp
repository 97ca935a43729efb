// The chat and control messages of a call channel (inner type 1), encoded
// and decoded byte by byte: a chat text is code 3, its sequence number and
// at most 1024 bytes of UTF-16LE text zero-padded to a multiple of 32; its
// acknowledgement is code 4 and the number; call control is one code word.
//
// Our texts carry their numbering behind the text, where every receiver
// sees only padding (it shows the text up to its first zero character):
// a zero character, the marker "ORVn", the numbering's id and the lowest
// number the sender still waits an acknowledgement for (32-bit
// little-endian each); then zero padding to a multiple of 32 as before.
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

constexpr size_t kChatNumberingBytes = 14;  // terminator, marker, id, lowest number

struct ChatNumbering {
  uint32_t id = 0;                     // chosen per conversation, never 0
  uint32_t lowest_unacknowledged = 0;  // the lowest number the sender still resends
  bool operator==(const ChatNumbering&) const = default;
};

// Code 3: the number and the text (cut to 1024 bytes), with the numbering
// when given, padded.
std::vector<uint8_t> EncodeChatText(uint32_t sequence, std::u16string_view text,
                                    const std::optional<ChatNumbering>& numbering = std::nullopt);
// Code 4 with the acknowledged number.
std::array<uint8_t, kChatAckBytes> EncodeChatAck(uint32_t sequence);
// A control message: the code alone.
std::array<uint8_t, 4> EncodeCallCode(uint32_t code);

struct ChatText {
  uint32_t sequence = 0;
  // The text up to its first zero character (the padding), from at most
  // 1024 bytes; an odd last byte is dropped.
  std::u16string text;
  std::optional<ChatNumbering> numbering;  // from a sender of ours
};

// A code 3 message of at least 9 bytes (`data` starts with the code word).
std::optional<ChatText> DecodeChatText(const uint8_t* data, size_t length);
// The number of a code 4 message of at least 8 bytes.
std::optional<uint32_t> DecodeChatAck(const uint8_t* data, size_t length);

}  // namespace orv
