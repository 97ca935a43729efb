#include "crypto/certificate.hpp"

#include <cstring>

#include "crypto/bignum.hpp"
#include "crypto/block_hash.hpp"
#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

constexpr size_t kInfoOffset = 2;
constexpr size_t kIdOffset = 448;

// A value is "small" when it is 0, 1 or 2.
bool IsSmall(const uint32_t* v) {
  if (v[0] > 2) return false;
  for (size_t i = 1; i < kNumWords; ++i)
    if (v[i] != 0) return false;
  return true;
}

bool InfoIsPadded(const Certificate& cert) {
  if (cert.info_length > kCertificateInfoBytes) return false;
  for (size_t i = cert.info_length; i < kCertificateInfoBytes; ++i)
    if (cert.info[i] != 0) return false;
  return true;
}

using StoreWord = void (*)(uint8_t*, uint32_t);
using LoadWord = uint32_t (*)(const uint8_t*);

uint8_t* PutWords(uint8_t* out, const uint32_t* words, size_t n, StoreWord store) {
  for (size_t i = 0; i < n; ++i, out += 4) store(out, words[i]);
  return out;
}

const uint8_t* GetWords(uint32_t* words, const uint8_t* in, size_t n, LoadWord load) {
  for (size_t i = 0; i < n; ++i, in += 4) words[i] = load(in);
  return in;
}

size_t PutCertificate(uint8_t* out, const Certificate& cert, bool big_endian) {
  const uint16_t len = cert.info_length;
  out[0] = static_cast<uint8_t>(big_endian ? len >> 8 : len);
  out[1] = static_cast<uint8_t>(big_endian ? len : len >> 8);
  std::memcpy(out + kInfoOffset, cert.info, kCertificateInfoBytes);
  const StoreWord store = big_endian ? StoreBe32 : StoreLe32;
  uint8_t* at = PutWords(out + kIdOffset, cert.user_id, kUserIdWords, store);
  at = PutWords(at, cert.p, kNumWords, store);
  at = PutWords(at, cert.g, kNumWords, store);
  PutWords(at, cert.y, kNumWords, store);
  return kCertificateBytes;
}

size_t GetCertificate(Certificate& cert, const uint8_t* in, bool big_endian) {
  cert.info_length = static_cast<uint16_t>(big_endian ? (in[0] << 8) | in[1] : in[0] | (in[1] << 8));
  std::memcpy(cert.info, in + kInfoOffset, kCertificateInfoBytes);
  const LoadWord load = big_endian ? LoadBe32 : LoadLe32;
  const uint8_t* at = GetWords(cert.user_id, in + kIdOffset, kUserIdWords, load);
  at = GetWords(cert.p, at, kNumWords, load);
  at = GetWords(cert.g, at, kNumWords, load);
  GetWords(cert.y, at, kNumWords, load);
  return kCertificateBytes;
}

}  // namespace

void SetCertificateInfo(Certificate& cert, const uint8_t* info, size_t length) {
  cert.info_length = 0;
  std::memset(cert.info, 0, sizeof cert.info);
  if (info == nullptr || length == 0) return;
  const size_t take = length < kCertificateInfoBytes ? length : kCertificateInfoBytes;
  std::memcpy(cert.info, info, take);
  cert.info_length = static_cast<uint16_t>(take);
}

int CheckCertificate(const Certificate& cert) {
  uint32_t id[kUserIdWords];
  Fingerprint(id, cert.g, cert.y, cert.p);
  if (std::memcmp(id, cert.user_id, sizeof id) != 0) return 0;
  if (!InfoIsPadded(cert)) return 0;
  if (IsSmall(cert.g) || BigCompare(cert.g, cert.p, kNumWords) >= 0) return 0;
  if (IsSmall(cert.y) || BigCompare(cert.y, cert.p, kNumWords) >= 0) return 0;
  if (BigCompare(cert.g, cert.y, kNumWords) == 0) return 0;
  if ((cert.p[kNumWords - 1] & 0x80000000u) == 0) return 0;
  if ((cert.p[0] & 3) != 3) return 0;
  return 1;
}

size_t CertificateToFileForm(uint8_t* out, const Certificate& cert) { return PutCertificate(out, cert, true); }
size_t CertificateFromFileForm(Certificate& cert, const uint8_t* in) { return GetCertificate(cert, in, true); }
size_t CertificateToBytes(uint8_t* out, const Certificate& cert) { return PutCertificate(out, cert, false); }
size_t CertificateFromBytes(Certificate& cert, const uint8_t* in) { return GetCertificate(cert, in, false); }

size_t SignatureToBytes(uint8_t* out, const Signature& sig) {
  uint8_t* at = PutWords(out, sig.user_id, kUserIdWords, StoreLe32);
  at = PutWords(at, sig.e, kNumWords, StoreLe32);
  PutWords(at, sig.s, kNumWords, StoreLe32);
  return kSignatureBytes;
}

size_t SignatureFromBytes(Signature& sig, const uint8_t* in) {
  const uint8_t* at = GetWords(sig.user_id, in, kUserIdWords, LoadLe32);
  at = GetWords(sig.e, at, kNumWords, LoadLe32);
  GetWords(sig.s, at, kNumWords, LoadLe32);
  return kSignatureBytes;
}

void WipeCertificate(Certificate& cert) {
  WipeWords(cert.user_id, kUserIdWords);
  WipeWords(cert.p, kNumWords);
  WipeWords(cert.g, kNumWords);
  WipeWords(cert.y, kNumWords);
  cert.info_length = kCertificateInfoBytes;
  WipeBytes(cert.info, kCertificateInfoBytes);
  WipeAdvance();
}

void WipeSignature(Signature& sig) {
  WipeWords(sig.user_id, kUserIdWords);
  WipeWords(sig.e, kNumWords);
  WipeWords(sig.s, kNumWords);
  WipeAdvance();
}

}  // namespace orv
