// Conversions between the UTF-8 texts of the program's interfaces and the
// UTF-16 texts of its stored and transmitted records (user info, chat).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-16LE bytes and back (an odd last byte is dropped).
std::string Utf16ToLeBytes(std::u16string_view text);
std::u16string LeBytesToUtf16(const uint8_t* bytes, size_t size);

}  // namespace orv
