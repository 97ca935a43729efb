// The file behind one transfer. The sender reads the file it offers; the
// receiver writes into a temporary file beside the target and gives it the
// target's name only once the last block is written, so a half-received
// file never carries the real name. A temporary file that was not committed
// is deleted when the TransferFile closes or goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

constexpr int64_t kAbandonedPartSeconds = 120;

class TransferFile {
 public:
  TransferFile() = default;
  ~TransferFile() { Discard(); }
  TransferFile(TransferFile&& other) noexcept;
  TransferFile& operator=(TransferFile&& other) noexcept;
  TransferFile(const TransferFile&) = delete;
  TransferFile& operator=(const TransferFile&) = delete;

  // Sender: opens an existing regular file for reading; its size in `size`.
  bool OpenForReading(const std::string& path, uint64_t& size);
  // Reads exactly `n` bytes (false on an error or an early end).
  bool Read(uint8_t* out, size_t n);

  // Receiver: creates a new, empty temporary file (mode 0600) in the folder
  // of `target`, named after `tag`.
  bool CreateBeside(const std::string& target, uint32_t tag);
  // False when not all was written; error() then tells why.
  bool Write(const uint8_t* data, size_t n);
  // Gives the temporary file the name `target`: replacing a file of that
  // name when `replace` is set, else failing with EEXIST when one exists.
  // 0 on success, otherwise the error number.
  int Commit(const std::string& target, bool replace);

  bool IsOpen() const { return fd_ >= 0; }
  // The error number of the last Write that failed (ENOSPC when the disk
  // took nothing).
  int error() const { return error_; }
  const std::string& TemporaryPath() const { return temp_path_; }
  // Closes the file; an uncommitted temporary file is deleted.
  void Discard();

 private:
  int fd_ = -1;
  int error_ = 0;
  std::string temp_path_;  // while a temporary file exists
};

// Removes the temporary files of downloads that no longer run from
// `folder`: ours by name, regular, and untouched for `min_age_s` seconds
// (a running download writes at least every 30 s, or times out). A process
// that was killed leaves such files behind. The count removed.
size_t SweepAbandonedParts(const std::string& folder, int64_t min_age_s = kAbandonedPartSeconds);

// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path);
// Whether anything (a file, folder, or link, even a broken one) has that name.
bool PathTaken(const std::string& path);
// Whether `path` names a folder (following links).
bool IsFolder(const std::string& path);

}  // namespace orv
