// How the "Find user" dialog reads its search text: as a UserId, as an
// IPv4 address, or else as a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

// The edit's limit: 223 characters (UTF-16 units).
inline constexpr size_t kFindTextUnits = 223;

// The text cut to the edit's limit (never inside a surrogate pair).
std::u16string LimitFindText(std::u16string_view text);

// Eight hexadecimal words of one to eight digits each, word 0 first, as in
// "%08X %08X %08X %08X %08X %08X %08X %08X"; white space before each word
// is skipped, so the 64 digits may also stand together. Only white space
// may follow. False (and `user_id` cleared) otherwise.
bool ReadFindUserId(std::string_view text, uint32_t* user_id);

// Four dotted decimal numbers a.b.c.d, each 0-255, with white space around
// them at most: ((a·256 + b)·256 + c)·256 + d. Three numbers, a fifth one
// or other text are a name: nothing.
std::optional<uint32_t> ReadFindIpv4(std::string_view text);

}  // namespace orv
