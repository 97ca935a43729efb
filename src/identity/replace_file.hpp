// Writing a file so that a crash never leaves it half written: the content
// goes to a new temporary file beside it (unique name), is flushed to the
// disk, and then replaces the file by a rename.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

enum class ReplaceResult {
  kDone,
  kCannotOpen,  // no temporary file could be created beside the path
  kShortWrite,  // writing, flushing or renaming failed; the old file stays
};

// On failure errno tells why (that of the step that failed).
ReplaceResult ReplaceFileContent(const std::string& path, const uint8_t* data, size_t size, mode_t mode = 0600);

}  // namespace orv
