// Writing a file so that a crash never leaves it half written: the content
// goes to a temporary file beside it, which then replaces it by a rename.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

enum class ReplaceResult { kDone, kCannotOpen, kShortWrite };

ReplaceResult ReplaceFileContent(const std::string& path, const uint8_t* data, size_t size);

}  // namespace orv
