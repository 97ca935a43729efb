// Extended Euclid over three rotating rows (r, s, t) with s N + t a = r:
// row 0 starts as (N, 1, 0) and row 1 as (a, 0, 1). Each step divides
// r_i by r_j and forms the next row from the quotient; when the remainder
// is 0, row j holds the gcd and t_j with t_j a = gcd (mod N).
#include "crypto/mod_inverse.hpp"

#include <cstring>

#include "crypto/bignum_ops.hpp"
#include "crypto/bignum_signed.hpp"
#include "crypto/wipe.hpp"

namespace orv {
namespace {

struct Row {
  uint32_t* r;
  uint32_t* s;
  uint32_t* t;
};

// Layout of the context words for rows of w = 2v words.
constexpr size_t RowsWords(size_t w) { return 9 * w; }
constexpr size_t TotalWords(size_t w) { return RowsWords(w) + w + 2 * w + BigSignedScratchWords(w); }

// Zero-extends a value of v words into a row of w words.
void Extend(uint32_t* row, const uint32_t* value, size_t v, size_t w) {
  std::memset(row, 0, w * sizeof *row);
  std::memcpy(row, value, v * sizeof *row);
}

// Sets a row of w words to a small value.
void SetSmall(uint32_t* row, uint32_t value, size_t w) {
  std::memset(row, 0, w * sizeof *row);
  row[0] = value;
}

bool IsOne(const uint32_t* a, size_t w) { return a[0] == 1 && BigIsZero(a + 1, w - 1); }

}  // namespace

InverseContext::InverseContext(size_t v) : v_(v), words_(TotalWords(2 * v)) {}

void InverseContext::Clear() {
  words_.Wipe();
  WipeAdvance();
}

int ModInverse(InverseContext& c, uint32_t* result, const uint32_t* a, const uint32_t* modulus) {
  const size_t v = c.v_;
  const size_t w = 2 * v;
  uint32_t* base = c.words_.data();
  Row rows[3];
  for (size_t i = 0; i < 3; ++i) rows[i] = {base + 3 * i * w, base + (3 * i + 1) * w, base + (3 * i + 2) * w};
  uint32_t* quotient = base + RowsWords(w);
  uint32_t* product = quotient + w;
  uint32_t* scratch = product + 2 * w;

  Extend(rows[0].r, modulus, v, w);
  SetSmall(rows[0].s, 1, w);
  SetSmall(rows[0].t, 0, w);
  Extend(rows[1].r, a, v, w);
  SetSmall(rows[1].s, 0, w);
  SetSmall(rows[1].t, 1, w);

  size_t i = 0;
  size_t j = 1;
  for (;;) {
    size_t k = (i + 2) % 3;
    BigSignedDivide(quotient, rows[k].r, rows[i].r, rows[j].r, w, scratch);
    if (BigIsZero(rows[k].r, w)) break;
    BigSignedMultiply(product, rows[j].s, quotient, w, scratch);
    BigSub(rows[k].s, rows[i].s, product, w);
    BigSignedMultiply(product, rows[j].t, quotient, w, scratch);
    BigSub(rows[k].t, rows[i].t, product, w);
    i = j;
    j = k;
  }

  const Row& last = rows[j];
  if (last.t[w - 1] >> 31) BigAdd(last.t, last.t, modulus, v);
  int ok = IsOne(last.r, w) ? 1 : 0;
  std::memcpy(result, last.t, v * sizeof *result);
  return ok;
}

}  // namespace orv
