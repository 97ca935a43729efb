#include "identity/signed_file.hpp"

#include <cstdio>
#include <vector>

#include "crypto/public_key.hpp"
#include "identity/file_size_limit.hpp"
#include "identity/replace_file.hpp"

namespace orv {
namespace {

bool ReadWhole(const std::string& path, std::vector<uint8_t>& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  // A file beyond any real size is neither signed nor checked.
  ok = ok && size >= 0 && static_cast<uint64_t>(size) <= kMaxProfileFileBytes && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out.resize(static_cast<size_t>(size));
    ok = std::fread(out.data(), 1, out.size(), f) == out.size();
  }
  std::fclose(f);
  return ok;
}

}  // namespace

std::string SignaturePath(const std::string& path) { return path + ".sig"; }

bool SignFile(const std::string& path, const KeyRecord& record, const uint8_t* password, size_t length) {
  if (!record.loaded || length == 0) return false;
  std::vector<uint8_t> data;
  if (!ReadWhole(path, data)) return false;
  Signature sig;
  if (!SignData(sig, record, password, length, data.data(), data.size())) return false;
  uint8_t bytes[kSignatureBytes];
  SignatureToBytes(bytes, sig);
  return ReplaceFileContent(SignaturePath(path), bytes, sizeof bytes) == ReplaceResult::kDone;
}

bool VerifyFileSignature(const std::string& path, const Certificate& own) {
  std::vector<uint8_t> data, sig_bytes;
  if (!ReadWhole(path, data) || !ReadWhole(SignaturePath(path), sig_bytes)) return false;
  if (sig_bytes.size() < kSignatureBytes) return false;
  Signature sig;
  SignatureFromBytes(sig, sig_bytes.data());
  return VerifyData(sig, own, data.data(), data.size()) == 0;
}

}  // namespace orv
