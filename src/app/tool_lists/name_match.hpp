// The Find dialog's name rule: whether a peer's name answers a search text.
#pragma once

#include <string_view>

namespace orv {

// Both compared without regard to letter case:
// 1. when the shorter of the two is a prefix of the other, they match (an
//    empty text matches every name);
// 2. otherwise the first two words of each are taken (a word ends at a
//    blank that follows a non-blank; the last word runs to the end), and
//    they match when some word of the text and some word of the name
//    agree over the length of the shorter of the two words, a word of
//    length 0 agreeing with anything;
// 3. otherwise they do not match.
bool FindNameMatches(std::u16string_view text, std::u16string_view name);

}  // namespace orv
