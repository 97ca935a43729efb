#include "crypto/password_kdf.hpp"

#include <memory>
#include <mutex>

#include "crypto/byte_order.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

constexpr uint32_t kTableWords = 262144;  // 1 MiB
constexpr uint32_t kTableMask = kTableWords - 1;
constexpr uint32_t kIterations = 0xC0000;
constexpr uint64_t kPrime = 0x7e012aab8b1f14f3ull;
constexpr uint32_t kInverseThreshold = 0xf0000001u;

// The table is built once, filled with T[i] = i, and every derivation leaves
// it that way again; its lock serialises derivations.
struct PasswordTable {
  PasswordTable() : words(std::make_unique<uint32_t[]>(kTableWords)) { Reset(); }
  void Reset() {
    for (uint32_t i = 0; i < kTableWords; ++i) words[i] = i;
  }
  std::mutex lock;
  std::unique_ptr<uint32_t[]> words;
};

PasswordTable& Table() {
  static PasswordTable table;
  return table;
}

inline uint32_t S(uint32_t w) { return w ^ (w << 5); }
// G(a, w) = (((a >> 17) ^ S(w)) >> 12) ^ a ^ S(w). A right shift spreads
// over XOR, so the same value is a ^ (a >> 29) ^ W(w) with W(w) = S(w) ^
// (S(w) >> 12): two steps deep in a instead of four, and a is what each G
// of the chain waits for.
inline uint32_t W(uint32_t w) { return S(w) ^ (S(w) >> 12); }
inline uint32_t G(uint32_t a, uint32_t w) { return (a ^ W(w)) ^ (a >> 29); }

// Reads four bytes in order, cycling over `length` bytes; the first byte
// read ends up most significant.
inline uint32_t NextWord(const uint8_t* bytes, size_t length, size_t& at) {
  uint32_t w = 0;
  for (int k = 0; k < 4; ++k) {
    w = (w << 8) | (length == 0 ? 0 : bytes[at]);
    if (length != 0 && ++at == length) at = 0;
  }
  return w;
}

struct DeriveState {
  uint32_t h[4] = {0xffffffffu, 0xffffffffu, 0xffffffffu, 0xffffffffu};
  uint32_t key_lo = static_cast<uint32_t>(kPrime);
  uint32_t key_hi = static_cast<uint32_t>(kPrime >> 32);
  uint32_t j = 0;
  size_t salt_at = 0;
  size_t password_at = 0;
  uint32_t x[25];  // X[-3..21]: x[k + 3] holds X[k]
};

inline uint32_t& X(uint32_t* x, int k) { return x[k + 3]; }

inline void Chain(uint32_t* x, int from, int to) {
  for (int k = from; k <= to; ++k) X(x, k) = G(X(x, k - 1), X(x, k - 4));
}

void Iterate(DeriveState& st, uint32_t* table, uint32_t i, uint32_t ws, uint32_t wp, uint8_t* result) {
  uint32_t* x = st.x;
  X(x, -3) = st.h[0] + (st.key_lo ^ ws);
  X(x, -2) = st.h[1];
  X(x, -1) = st.h[2];
  X(x, 0) = st.h[3];
  // The password enters through X[4] after X[5..7] have used it, before X[8].
  Chain(x, 1, 7);
  X(x, 4) += st.key_hi ^ wp;
  Chain(x, 8, 14);

  const uint32_t a = i & kTableMask;
  const uint32_t old = table[a];
  st.j = (old + X(x, 7) + st.j) & kTableMask;
  table[a] = table[st.j];
  if (X(x, 7) >= kInverseThreshold) {
    uint64_t v = (static_cast<uint64_t>(old) << 32) + table[st.j];
    if (v > kPrime) v %= kPrime;
    const uint64_t k = PasswordKeyInverse(v);
    st.key_lo = static_cast<uint32_t>(k);
    st.key_hi = static_cast<uint32_t>(k >> 32);
  }
  table[st.j] = RotateLeft((X(x, 14) + old) ^ table[st.j], 11);

  X(x, 11) += table[st.j] ^ i;
  Chain(x, 15, 21);
  for (int k = 0; k < 4; ++k) st.h[k] = X(x, 18 + k);
  const uint32_t last = X(x, 21);
  const uint32_t q = (last >> 16) + last;
  result[last % kPasswordKeyBytes] = static_cast<uint8_t>(result[last % kPasswordKeyBytes] + ((q >> 8) ^ q));
}

}  // namespace

uint64_t PasswordKeyInverse(uint64_t v) {
  if (v == 0) return kPrime;
  v %= kPrime;
  if (v <= 1) return v;
  // Extended Euclid; every coefficient stays below P < 2^63 in magnitude.
  int64_t t0 = 0, t1 = 1;
  uint64_t r0 = kPrime, r1 = v;
  while (r1 != 0) {
    const uint64_t q = r0 / r1;
    const uint64_t r2 = r0 - q * r1;
    const int64_t t2 = t0 - static_cast<int64_t>(q) * t1;
    r0 = r1;
    r1 = r2;
    t0 = t1;
    t1 = t2;
  }
  return t0 < 0 ? static_cast<uint64_t>(t0 + static_cast<int64_t>(kPrime)) : static_cast<uint64_t>(t0);
}

void PasswordKeyDerive(const uint8_t* password, size_t length, const uint8_t* salt, uint8_t* result) {
  PasswordTable& table = Table();
  std::lock_guard<std::mutex> lock(table.lock);
  for (size_t k = 0; k < kPasswordKeyBytes; ++k) result[k] = 0;
  DeriveState st;
  for (uint32_t i = 0; i < kIterations; ++i) {
    const uint32_t ws = NextWord(salt, kSaltBytes, st.salt_at);
    const uint32_t wp = NextWord(password, length, st.password_at);
    Iterate(st, table.words.get(), i, ws, wp, result);
  }
  table.Reset();
  WipeWords(st.h, 4);
  WipeWords(st.x, 25);
  st.key_lo = st.key_hi = st.j = 0;
  WipeAdvance();
}

bool PasswordTableIsIdentity() {
  PasswordTable& table = Table();
  std::lock_guard<std::mutex> lock(table.lock);
  for (uint32_t i = 0; i < kTableWords; ++i)
    if (table.words[i] != i) return false;
  return true;
}

}  // namespace orv
