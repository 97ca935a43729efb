// Whole-file reads with a size limit and whole-file writes that replace the
// old file only once the new one is complete.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace orv {

enum class FileReadState {
  kRead,        // the whole file is in the text
  kMissing,     // no file of that name
  kUnreadable,  // there, but not a readable regular file
  kOversized,   // larger than the limit: the text holds the first `limit` bytes
};

struct FileRead {
  FileReadState state = FileReadState::kMissing;
  std::string text;
};

FileRead ReadFileLimited(const std::string& path, size_t limit);

// Writes `data` to a temporary file beside `path` with the given mode,
// flushes it to the disk and renames it over `path`. On any failure the old
// file stays as it was, the temporary file is removed and the result is false.
bool ReplaceFile(const std::string& path, std::string_view data, mode_t mode);

}  // namespace orv
