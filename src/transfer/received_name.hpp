// File names that cross the wire. A sender offers the name of its file
// without folder; a receiver never trusts the offered name: it becomes one
// plain name inside the download folder, whatever it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

// The most UTF-8 bytes of a received name, leaving room for " (%d)" and
// the temporary file beside it within the 255 bytes a folder entry allows.
constexpr size_t kMaxSafeNameBytes = 200;
// What a name becomes when nothing usable is left of it.
constexpr std::string_view kFallbackName = "received file";

// The offered name (UTF-16LE bytes, an odd last byte dropped) as a safe
// UTF-8 name: cut at the first NUL; unpaired surrogates become U+FFFD; only
// what follows the last "/" or "\" is kept; control characters (C0, DEL,
// C1) and the marks and overrides of text direction (U+061C, U+200E,
// U+200F, U+202A..U+202E, U+2066..U+2069) become "_";
// leading and trailing dots and spaces go (no "..", no hidden files); cut
// to kMaxSafeNameBytes on a character boundary, keeping a short extension;
// kFallbackName when empty.
std::string SafeReceivedName(const uint8_t* utf16le, size_t bytes);

// `name` with " (n)" inserted before its last "." (at the end without one).
std::string NumberedName(std::string_view name, uint32_t n);

// The name a sender offers for `path`: the part after the last "/", as
// UTF-16, cut to the 158 units a request holds without splitting a pair.
std::u16string OfferedName(std::string_view path);

}  // namespace orv
