// The chat input as it is sent and shown: cut into parts of at most 512
// UTF-16 units (one message each), and the history line of a text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

constexpr size_t kMaxChatPartUnits = 512;

// The input cut into parts of at most 512 units. A cut never falls between
// the two halves of a surrogate pair: such a part ends one unit early.
std::vector<std::u16string_view> CutChatInput(std::u16string_view input);

// One history line: the time stamp (date and time without seconds), " > "
// for one's own text or " < " for the peer's, the text and "\n".
std::u16string ChatLine(std::u16string_view stamp, bool own, std::u16string_view text);

// The local date in the short form of the user's locale and the time
// without seconds ("%x %H:%M").
std::u16string LocalLineStamp();

// Whether a stored line is the peer's: its first "<" comes before any ">".
// Every other line is shown as one's own.
bool IsPeerLine(std::u16string_view line);

}  // namespace orv
