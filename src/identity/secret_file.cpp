#include "identity/secret_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

constexpr size_t kBlock = 8;

size_t RoundUp8(size_t n) { return (n + 7) & ~size_t{7}; }

// Eight wipe generator words, the per-file value written in the clear.
void DrawSalt(uint8_t* salt) {
  uint32_t words[8];
  for (auto& w : words) w = WipeStep();
  WordsToLeBytes(salt, words, 8);
}

bool WriteAll(FILE* stream, const uint8_t* data, size_t size) {
  return std::fwrite(data, 1, size, stream) == size;
}

// Encrypts P bytes (a whole number of blocks) from the running index and
// writes them.
bool EncryptAndWrite(FILE* stream, uint8_t* buffer, size_t size, const DataFileKey& key, uint64_t* index) {
  DataBlocksEncrypt(key, buffer, *index, size / kBlock);
  *index += size / kBlock;
  return WriteAll(stream, buffer, size);
}

// A new, emptied file for reading and writing ("wb+"), the user's alone
// (0600 whatever the umask, also when a file of that name was there).
FILE* CreatePrivateFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  FILE* f = ::fchmod(fd, 0600) == 0 ? ::fdopen(fd, "wb+") : nullptr;
  if (!f) ::close(fd);
  return f;
}

long FileSize(FILE* stream) {
  if (std::fseek(stream, 0, SEEK_END) != 0) return -1;
  return std::ftell(stream);
}

}  // namespace

xml_writer_secret_file::xml_writer_secret_file(const DataFileKey* key, FILE* stream, uint64_t* block_index)
    : key_(key), stream_(stream), block_index_(block_index) {}

xml_writer_secret_file::~xml_writer_secret_file() { WipeBytes(pending_, sizeof pending_); }

void xml_writer_secret_file::Emit(uint8_t* blocks, size_t count) {
  if (!EncryptAndWrite(stream_, blocks, count * kBlock, *key_, block_index_)) failed_ = true;
}

void xml_writer_secret_file::write(const void* data, size_t size) {
  if (key_ == nullptr || !key_->Valid() || stream_ == nullptr) return;
  const auto* in = static_cast<const uint8_t*>(data);
  std::vector<uint8_t> buffer;
  buffer.reserve(pending_size_ + size);
  buffer.insert(buffer.end(), pending_, pending_ + pending_size_);
  buffer.insert(buffer.end(), in, in + size);
  const size_t whole = buffer.size() / kBlock;
  pending_size_ = buffer.size() - whole * kBlock;
  std::memcpy(pending_, buffer.data() + whole * kBlock, pending_size_);
  if (whole) Emit(buffer.data(), whole);
  WipeBytes(buffer.data(), buffer.size());
}

bool xml_writer_secret_file::Finish() {
  if (key_ == nullptr || !key_->Valid() || stream_ == nullptr) return false;
  if (pending_size_) {
    uint8_t last[kBlock] = {};
    std::memcpy(last, pending_, pending_size_);
    pending_size_ = 0;
    Emit(last, 1);
  }
  return !failed_;
}

void WriteSecretRecord(FILE* stream, const uint8_t* text, uint32_t length, const DataFileKey& key,
                       uint64_t* block_index) {
  if (!key.Valid() || stream == nullptr) return;
  std::vector<uint8_t> buffer(RoundUp8(4 + static_cast<size_t>(length)), 0);
  StoreLe32(buffer.data(), length);
  std::memcpy(buffer.data() + 4, text, length);
  EncryptAndWrite(stream, buffer.data(), buffer.size(), key, block_index);
  std::fflush(stream);
}

int64_t ReadSecretRecord(FILE* stream, char16_t* out, const DataFileKey& key, uint64_t* block_index) {
  if (stream == nullptr) return -1;
  uint8_t first[kBlock];
  if (std::fread(first, 1, kBlock, stream) != kBlock) return 0;
  DataBlockDecryptOne(key, first, *block_index);
  const uint32_t length = LoadLe32(first);
  if (length >= 0x80000000u || (length & 1) != 0) return -1;
  if (length > kMaxRecordTextBytes) {
    std::fseek(stream, -static_cast<long>(kBlock), SEEK_CUR);
    return -static_cast<int64_t>(length);
  }
  *block_index += 1;
  std::vector<uint8_t> record(RoundUp8(4 + static_cast<size_t>(length)), 0);
  std::memcpy(record.data(), first, kBlock);
  const size_t rest = record.size() - kBlock;
  if (rest && std::fread(record.data() + kBlock, 1, rest, stream) != rest) return 0;
  DataBlocksDecrypt(key, record.data() + kBlock, *block_index, rest / kBlock);
  *block_index += rest / kBlock;
  for (uint32_t i = 0; i < length / 2; ++i)
    out[i] = static_cast<char16_t>(record[4 + 2 * i] | (record[5 + 2 * i] << 8));
  out[length / 2] = 0;
  return length;
}

bool SaveEncryptedXml(const std::string& path, const pugi::xml_document& doc, const KeyRecord& record,
                      const uint8_t* password, size_t length) {
  if (!record.loaded || length == 0) return false;
  uint8_t salt[kSaltFieldBytes];
  DrawSalt(salt);
  DataFileKey key;
  if (!DeriveDataFileKey(key, salt, record, password, length)) return false;
  // Written beside the file and renamed over it once complete.
  const std::string temp = path + ".tmp";
  FILE* f = CreatePrivateFile(temp);
  bool ok = f != nullptr;
  if (ok) {
    uint64_t index = 0;
    ok = WriteAll(f, salt, sizeof salt);
    xml_writer_secret_file writer(&key, f, &index);
    doc.save(writer, PUGIXML_TEXT(""), pugi::format_default, pugi::encoding_utf16_le);
    ok = writer.Finish() && ok;
    ok = std::fclose(f) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temp.c_str());
  }
  WipeDataFileKey(key);
  return ok;
}

bool LoadEncryptedXml(const std::string& path, pugi::xml_document& doc, const KeyRecord& record,
                      const uint8_t* password, size_t length) {
  if (!record.loaded || length == 0) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t salt[kSaltFieldBytes];
  const long size = FileSize(f);
  bool ok = size >= static_cast<long>(kSaltFieldBytes) && std::fseek(f, 0, SEEK_SET) == 0 &&
            std::fread(salt, 1, sizeof salt, f) == sizeof salt;
  std::vector<uint8_t> body;
  if (ok) {
    body.assign(static_cast<size_t>(size) - kSaltFieldBytes, 0);
    ok = std::fread(body.data(), 1, body.size(), f) == body.size();
  }
  std::fclose(f);
  DataFileKey key;
  if (ok) ok = DeriveDataFileKey(key, salt, record, password, length) == 1;
  if (ok) {
    DataBlocksDecrypt(key, body.data(), 0, body.size() / kBlock);
    // The text is UTF-16LE; zero characters are padding (written between
    // chunks by some writers, at the end by all) and never part of XML.
    std::vector<uint8_t> text;
    text.reserve(body.size());
    for (size_t i = 0; i + 1 < body.size(); i += 2) {
      if (body[i] == 0 && body[i + 1] == 0) continue;
      text.push_back(body[i]);
      text.push_back(body[i + 1]);
    }
    ok = doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf16_le);
    WipeBytes(text.data(), text.size());
    WipeBytes(body.data(), body.size());
  }
  WipeDataFileKey(key);
  return ok;
}

RecordLog::~RecordLog() { Close(); }

bool RecordLog::Open(const std::string& path, const KeyRecord& record, const uint8_t* password, size_t length,
                     const RecordHandler& on_record) {
  Close();
  stream_ = std::fopen(path.c_str(), "rb+");
  if (stream_) ::fchmod(::fileno(stream_), 0600);  // a log left open to others by an earlier run
  const bool have_password = record.loaded && length != 0;
  if (!stream_) {
    stream_ = CreatePrivateFile(path);
    if (!stream_) return false;
    uint8_t salt[kSaltFieldBytes];
    DrawSalt(salt);
    if (have_password) DeriveDataFileKey(key_, salt, record, password, length);
    WriteAll(stream_, salt, sizeof salt);
    std::fflush(stream_);
    block_index_ = 0;
    return writable();
  }
  uint8_t salt[kSaltFieldBytes];
  if (std::fread(salt, 1, sizeof salt, stream_) != sizeof salt || !have_password) return false;
  if (!DeriveDataFileKey(key_, salt, record, password, length)) return false;
  block_index_ = 0;
  std::vector<char16_t> text(kRecordBufferChars);
  for (int64_t got; (got = ReadSecretRecord(stream_, text.data(), key_, &block_index_)) > 0;)
    on_record(std::u16string(text.data(), static_cast<size_t>(got) / 2));
  WipeBytes(text.data(), text.size() * sizeof(char16_t));
  return PositionAtEnd();
}

// New records go after everything stored: at the first whole block at or
// beyond the end of the file, with that block's index.
bool RecordLog::PositionAtEnd() {
  const long size = FileSize(stream_);
  if (size < static_cast<long>(kSaltFieldBytes)) return false;
  const uint64_t blocks = (static_cast<uint64_t>(size) - kSaltFieldBytes + kBlock - 1) / kBlock;
  block_index_ = blocks;
  return std::fseek(stream_, static_cast<long>(kSaltFieldBytes + blocks * kBlock), SEEK_SET) == 0;
}

bool RecordLog::Append(const std::u16string& text) {
  // A longer record could never be read back; it is refused rather than stored.
  if (!writable() || text.size() * 2 > kMaxRecordTextBytes) return false;
  std::vector<uint8_t> bytes(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(text[i]);
    bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  WriteSecretRecord(stream_, bytes.data(), static_cast<uint32_t>(bytes.size()), key_, &block_index_);
  WipeBytes(bytes.data(), bytes.size());
  return true;
}

void RecordLog::Close() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  WipeDataFileKey(key_);
  block_index_ = 0;
}

}  // namespace orv
