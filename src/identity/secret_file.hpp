// Encrypted data files: a 32-byte salt in the clear, then 8-byte blocks
// encrypted with a data-file key derived from the salt and the private
// value. Block i is always bytes 32 + 8i .. 39 + 8i. Two contents use this
// layout: an XML document (the downloads record) and a log of
// length-prefixed UTF-16 text records (the chat histories).
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "crypto/data_file_key.hpp"

namespace orv {

constexpr size_t kSaltFieldBytes = 32;
constexpr uint32_t kMaxRecordTextBytes = 3998;  // 1999 characters
constexpr size_t kRecordBufferChars = 2000;

// pugixml's writer that encrypts the document as it is written. The blocks
// are numbered on from the shared block index. Whole blocks go out as the
// chunks arrive; only the very end of the document is padded with zero
// bytes (Finish), so a document of many chunks reads back whole. A
// document of one chunk is stored exactly as one padded write.
class xml_writer_secret_file : public pugi::xml_writer {
 public:
  xml_writer_secret_file(const DataFileKey* key, FILE* stream, uint64_t* block_index);
  ~xml_writer_secret_file() override;
  void write(const void* data, size_t size) override;
  // Pads and writes what is left of the last block; false on a write error.
  bool Finish();

 private:
  void Emit(uint8_t* blocks, size_t count);
  const DataFileKey* key_;
  FILE* stream_;
  uint64_t* block_index_;
  uint8_t pending_[8] = {};
  size_t pending_size_ = 0;
  bool failed_ = false;
};

// Writes one record: L (4 bytes, little-endian), the text, zeros up to a
// whole block. Nothing happens without a valid key or a stream.
void WriteSecretRecord(FILE* stream, const uint8_t* text, uint32_t length, const DataFileKey& key,
                       uint64_t* block_index);

// Reads one record into out (kRecordBufferChars characters, terminated).
// Returns L > 0 for a record; 0 at the end or on a short record; -1 without
// a stream or for a bad length; -L for a record longer than 3998 bytes (the
// stream is moved back to its start).
int64_t ReadSecretRecord(FILE* stream, char16_t* out, const DataFileKey& key, uint64_t* block_index);

// Saves the document under a fresh salt (UTF-16LE, no byte-order mark, with
// the declaration, empty indent). False when nothing was written (wrong
// password, file not writable); the old file then stays as it was.
bool SaveEncryptedXml(const std::string& path, const pugi::xml_document& doc, const KeyRecord& record,
                      const uint8_t* password, size_t length);

// Loads the document; false when the file is missing, the password is
// wrong or the text does not parse.
bool LoadEncryptedXml(const std::string& path, pugi::xml_document& doc, const KeyRecord& record,
                      const uint8_t* password, size_t length);

// An open record log. Opening reads every stored record (handed to
// `on_record` as UTF-16 text); new records then go to the end of the file,
// with the block index that belongs to that position, so that nothing stored
// is ever overwritten even when reading stopped early.
class RecordLog {
 public:
  using RecordHandler = std::function<void(const std::u16string&)>;
  RecordLog() = default;
  ~RecordLog();
  RecordLog(const RecordLog&) = delete;
  RecordLog& operator=(const RecordLog&) = delete;

  // Opens or creates the log. Without a password the file is neither shown
  // nor extended (a new file gets its salt all the same). Returns true when
  // records can be appended.
  bool Open(const std::string& path, const KeyRecord& record, const uint8_t* password, size_t length,
            const RecordHandler& on_record);
  // Appends one record of UTF-16 text; false when the log cannot take it.
  bool Append(const std::u16string& text);
  void Close();
  bool writable() const { return stream_ != nullptr && key_.Valid(); }
  uint64_t block_index() const { return block_index_; }

 private:
  bool PositionAtEnd();
  FILE* stream_ = nullptr;
  DataFileKey key_;
  uint64_t block_index_ = 0;
};

}  // namespace orv
