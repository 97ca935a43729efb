// Generator of the built-in table of 360 safe primes (4096 bits each).
//
// Every entry p is a safe prime (p = 2q + 1, q prime) of exactly 4096 bits
// with its top bit set; p = 3 (mod 4) follows from q being odd.
//
// Entry layout as stored: 512 bytes, one little-endian integer.
//   * Entries 0..256 and 357..359 ("random-looking"): the 512 start bytes are
//     64 outputs of SplitMix64 (each written little-endian, first output in
//     bytes 0..7), with the generator state starting at
//     0x4F52562D5052494D + i * 0x9E3779B97F4A7C15 for entry i. Byte 511 gets
//     its top bit set.
//   * Entries 257..356 ("text"): bytes 4..510 hold the next 507-byte piece of
//     the text T, where T is /usr/share/common-licenses/GPL-3 followed by
//     /usr/share/common-licenses/GPL-2 (Debian 12 copies, md5 1ebbd3e3... and
//     b234ee4d...), every LF turned into CR LF. Entry 257 holds T[0..506],
//     entry 258 holds T[507..1013], and so on. Bytes 0..3 start at 0 and byte
//     511 starts at 0x80.
//
// Search (the same for both kinds): only the low word (bytes 0..3) and the top
// byte (byte 511) change. The low word runs over the values L = 4s + 3,
// slot s = 0 .. 2^30 - 1, starting at the slot of the start low word
// (start >> 2) and wrapping once round; the first slot in that order whose p
// is a safe prime wins. If no slot wins, byte 511 is increased by one (kept in
// 0x80..0xFF) and the low-word search starts again at the same start slot.
// A candidate wins when 2 passes the Fermat test for p and for q and 32
// Miller-Rabin rounds (GMP) accept both. Candidates where a small odd prime
// divides p or (p - 1) / 2 are sieved out first (below 2^30 since entry 224
// was done, below 2^28 before); a 4096-bit safe prime has no small factor,
// so the bound only changes the speed, never the winner. The result
// therefore depends only on the entry index.
//
// Progress is appended to a text file, one finished entry per line:
// "<index> <p as 1024 upper-case hex digits, most significant first>".
// A restarted run keeps those and computes only the missing entries, one
// entry per worker thread. "--assemble OUT" writes the 184320-byte table.
//
// Usage: gen_prime_table [--threads N] [--progress FILE] [--only-text]
//        gen_prime_table --progress FILE --assemble OUT [--partial]
#include <gmp.h>
#include <openssl/bn.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kEntries = 360;
constexpr int kTextFirst = 257;
constexpr int kTextLast = 356;
constexpr size_t kTextPiece = 507;
constexpr uint32_t kSieveBound = 1u << 30;
constexpr uint64_t kSlots = 1ull << 30;
constexpr uint64_t kWindow = 1ull << 21;

std::vector<uint32_t> g_primes;  // odd primes 3 .. kSieveBound
std::vector<uint32_t> g_inv4;    // 4^-1 mod r for each prime
std::mutex g_out_lock;
std::string g_progress = "tools/prime_table/entries.txt";

void BuildSmallPrimes() {
  std::vector<uint8_t> composite(kSieveBound / 2, 0);  // index k stands for 2k + 1
  for (uint64_t k = 1; k < kSieveBound / 2; ++k) {
    if (composite[k]) continue;
    uint64_t r = 2 * k + 1;
    g_primes.push_back(static_cast<uint32_t>(r));
    for (uint64_t m = r * r; m < kSieveBound; m += 2 * r) composite[m / 2] = 1;
  }
  g_inv4.resize(g_primes.size());
  for (size_t i = 0; i < g_primes.size(); ++i) {
    uint64_t r = g_primes[i];
    // 4 * inv = 1 (mod r): inv = (r + 1)/2 squared halves; compute directly.
    uint64_t inv2 = (r + 1) / 2;
    g_inv4[i] = static_cast<uint32_t>(inv2 * inv2 % r);
  }
}

std::string LoadText() {
  std::string raw;
  for (const char* path : {"/usr/share/common-licenses/GPL-3", "/usr/share/common-licenses/GPL-2"}) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "missing %s\n", path);
      std::exit(2);
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    raw += ss.str();
  }
  std::string text;
  for (char c : raw) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return text;
}

uint64_t SplitMix64(uint64_t& state) {
  state += 0x9E3779B97F4A7C15ull;
  uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<uint8_t> StartBytes(int index, const std::string& text) {
  std::vector<uint8_t> b(512, 0);
  if (index >= kTextFirst && index <= kTextLast) {
    size_t off = static_cast<size_t>(index - kTextFirst) * kTextPiece;
    if (off + kTextPiece > text.size()) {
      std::fprintf(stderr, "text too short\n");
      std::exit(2);
    }
    std::memcpy(b.data() + 4, text.data() + off, kTextPiece);
    b[511] = 0x80;
  } else {
    uint64_t state = 0x4F52562D5052494Dull + static_cast<uint64_t>(index) * 0x9E3779B97F4A7C15ull;
    for (int w = 0; w < 64; ++w) {
      uint64_t v = SplitMix64(state);
      for (int k = 0; k < 8; ++k) b[w * 8 + k] = static_cast<uint8_t>(v >> (8 * k));
    }
    b[511] |= 0x80;
  }
  return b;
}

void BytesToMpz(mpz_t out, const std::vector<uint8_t>& b) {
  mpz_import(out, b.size(), -1, 1, 0, 0, b.data());  // least significant byte first
}

class Tester {
 public:
  Tester() : ctx_(BN_CTX_new()), bn_(BN_new()), r_(BN_new()), e_(BN_new()) {}
  ~Tester() {
    BN_free(bn_);
    BN_free(r_);
    BN_free(e_);
    BN_CTX_free(ctx_);
  }
  // 2^(n-1) == 1 (mod n)
  bool Fermat2(const mpz_t n) {
    std::string hex(mpz_sizeinbase(n, 16) + 2, '\0');
    mpz_get_str(hex.data(), 16, n);
    BN_hex2bn(&bn_, hex.c_str());
    BN_copy(e_, bn_);
    BN_sub_word(e_, 1);
    BN_MONT_CTX* mont = BN_MONT_CTX_new();
    BN_MONT_CTX_set(mont, bn_, ctx_);
    BN_mod_exp_mont_word(r_, 2, e_, bn_, ctx_, mont);
    BN_MONT_CTX_free(mont);
    return BN_is_one(r_);
  }

 private:
  BN_CTX* ctx_;
  BIGNUM* bn_;
  BIGNUM* r_;
  BIGNUM* e_;
};

// Searches one entry; returns p.
void SearchEntry(int index, const std::string& text, mpz_t result) {
  std::vector<uint8_t> start = StartBytes(index, text);
  uint32_t low_start = static_cast<uint32_t>(start[0]) | (static_cast<uint32_t>(start[1]) << 8) |
                       (static_cast<uint32_t>(start[2]) << 16) | (static_cast<uint32_t>(start[3]) << 24);
  uint64_t slot_start = low_start >> 2;
  std::vector<uint32_t> hr(g_primes.size());
  std::vector<uint64_t> bits(kWindow / 64);
  Tester tester;
  mpz_t high, p, q;
  mpz_inits(high, p, q, nullptr);
  for (int variant = 0; variant < 128; ++variant) {
    std::vector<uint8_t> b = start;
    b[0] = b[1] = b[2] = b[3] = 0;
    b[511] = static_cast<uint8_t>(0x80 | ((start[511] + variant) & 0x7f));
    BytesToMpz(high, b);
    // Residues two primes at a time: one division by their product (< 2^60).
    for (size_t i = 0; i < g_primes.size(); i += 2) {
      if (i + 1 == g_primes.size()) {
        hr[i] = static_cast<uint32_t>(mpz_fdiv_ui(high, g_primes[i]));
        break;
      }
      const unsigned long r0 = g_primes[i], r1 = g_primes[i + 1];
      const unsigned long t = mpz_fdiv_ui(high, r0 * r1);
      hr[i] = static_cast<uint32_t>(t % r0);
      hr[i + 1] = static_cast<uint32_t>(t % r1);
    }
    for (uint64_t done = 0; done < kSlots;) {
      uint64_t a = (slot_start + done) % kSlots;
      uint64_t w = std::min<uint64_t>({kWindow, kSlots - a, kSlots - done});
      std::fill(bits.begin(), bits.end(), 0);
      for (size_t i = 0; i < g_primes.size(); ++i) {
        uint64_t r = g_primes[i];
        uint64_t c = (hr[i] + (4 * a) % r + 3) % r;       // p(a) mod r
        uint64_t i0 = (r - c) % r * g_inv4[i] % r;        // p = 0 (mod r)
        uint64_t i1 = (r + 1 - c) % r * g_inv4[i] % r;    // p = 1 (mod r), r | q
        for (uint64_t k = i0; k < w; k += r) bits[k >> 6] |= 1ull << (k & 63);
        for (uint64_t k = i1; k < w; k += r) bits[k >> 6] |= 1ull << (k & 63);
      }
      for (uint64_t k = 0; k < w; ++k) {
        if (bits[k >> 6] >> (k & 63) & 1) continue;
        uint64_t low = 4 * (a + k) + 3;
        mpz_add_ui(p, high, low);
        if (!tester.Fermat2(p)) continue;
        mpz_fdiv_q_2exp(q, p, 1);
        if (!tester.Fermat2(q)) continue;
        if (mpz_probab_prime_p(q, 32) == 0 || mpz_probab_prime_p(p, 32) == 0) continue;
        mpz_set(result, p);
        mpz_clears(high, p, q, nullptr);
        return;
      }
      done += w;
    }
  }
  std::fprintf(stderr, "entry %d: no safe prime found\n", index);
  std::exit(3);
}

std::map<int, std::string> ReadProgress() {
  std::map<int, std::string> done;
  std::ifstream in(g_progress);
  int idx;
  std::string hex;
  while (in >> idx >> hex) {
    if (idx >= 0 && idx < kEntries && hex.size() == 1024) done[idx] = hex;
  }
  return done;
}

void AppendProgress(int index, const mpz_t p) {
  char hex[1100];
  gmp_snprintf(hex, sizeof hex, "%ZX", p);
  std::lock_guard<std::mutex> lock(g_out_lock);
  FILE* f = std::fopen(g_progress.c_str(), "a");
  if (!f) {
    std::perror("progress file");
    std::exit(2);
  }
  std::fprintf(f, "%d %s\n", index, hex);
  std::fflush(f);
  std::fclose(f);
}

int Assemble(const char* out_path, bool partial) {
  std::map<int, std::string> done = ReadProgress();
  if (!partial && static_cast<int>(done.size()) != kEntries) {
    std::fprintf(stderr, "only %zu of %d entries finished\n", done.size(), kEntries);
    return 1;
  }
  std::vector<uint8_t> table(static_cast<size_t>(kEntries) * 512, 0);
  mpz_t p;
  mpz_init(p);
  for (const auto& [idx, hex] : done) {
    mpz_set_str(p, hex.c_str(), 16);
    if (mpz_sizeinbase(p, 2) != 4096) {
      std::fprintf(stderr, "entry %d has the wrong size\n", idx);
      return 1;
    }
    size_t count = 0;
    mpz_export(table.data() + idx * 512, &count, -1, 1, 0, 0, p);
  }
  mpz_clear(p);
  FILE* f = std::fopen(out_path, "wb");
  if (!f || std::fwrite(table.data(), 1, table.size(), f) != table.size()) return 1;
  std::fclose(f);
  std::printf("wrote %zu entries to %s\n", done.size(), out_path);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned threads = 2;
  const char* assemble = nullptr;
  bool partial = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--threads" && i + 1 < argc) threads = static_cast<unsigned>(std::atoi(argv[++i]));
    else if (a == "--progress" && i + 1 < argc) g_progress = argv[++i];
    else if (a == "--assemble" && i + 1 < argc) assemble = argv[++i];
    else if (a == "--partial") partial = true;
    else {
      std::fprintf(stderr, "unknown argument %s\n", a.c_str());
      return 2;
    }
  }
  if (assemble) return Assemble(assemble, partial);

  std::map<int, std::string> done = ReadProgress();
  std::vector<int> todo;
  for (int i = 0; i < kEntries; ++i)
    if (!done.count(i)) todo.push_back(i);
  std::printf("%zu entries finished, %zu to go\n", done.size(), todo.size());
  if (todo.empty()) return 0;
  std::string text = LoadText();
  BuildSmallPrimes();
  std::atomic<size_t> next{0};
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) {
    pool.emplace_back([&] {
      mpz_t p;
      mpz_init(p);
      for (size_t k; (k = next++) < todo.size();) {
        SearchEntry(todo[k], text, p);
        AppendProgress(todo[k], p);
        std::printf("entry %d done\n", todo[k]);
        std::fflush(stdout);
      }
      mpz_clear(p);
    });
  }
  for (auto& th : pool) th.join();
  return 0;
}
