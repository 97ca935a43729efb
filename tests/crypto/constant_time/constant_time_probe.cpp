// Runs the exponentiations that handle secrets with those secrets marked
// undefined for valgrind's memcheck: every conditional jump and every
// memory address computed from them is reported, and the ctest entry runs
// this program under `valgrind --error-exitcode=1`. It is built without
// sanitizers (they do not mix with valgrind). Covered: ModExp with a
// secret exponent (and a secret base) on each Montgomery kernel the CPU
// offers, the handshake's exponentiations as HandshakeStart and
// HandshakeOnRequest make them (fresh secret exponents), and Sign with a
// secret private exponent and a secret nonce, by its own table and by a
// shared one.
#include <valgrind/memcheck.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "constant_time/probe_random.hpp"
#include "crypto/bignum.hpp"
#include "crypto/byte_order.hpp"
#include "crypto/handshake.hpp"
#include "crypto/prime_table.hpp"
#include "crypto/public_key.hpp"
#include "crypto/signer_powers.hpp"
#include "crypto/random_pool.hpp"

namespace orv {
namespace {

using Words = std::vector<uint32_t>;
constexpr size_t kN = kNumWords;

int g_failures = 0;

void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "WRONG RESULT", what);
  if (!ok) ++g_failures;
}

template <typename T>
void Secret(T* p, size_t bytes) {
  VALGRIND_MAKE_MEM_UNDEFINED(p, bytes);
}
template <typename T>
void Public(T* p, size_t bytes) {
  VALGRIND_MAKE_MEM_DEFINED(p, bytes);
}

Words Filled(uint32_t seed) {
  Words w(kN);
  for (auto& x : w) x = seed = seed * 1664525u + 1013904223u;
  return w;
}

// Valgrind hides ADX from CPUID but runs the instructions; the host's own
// flags come from /proc/cpuinfo.
bool HostHasMulxAdx() {
  std::FILE* f = std::fopen("/proc/cpuinfo", "r");
  if (f == nullptr) return false;
  char line[4096];
  bool bmi2 = false, adx = false;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "flags", 5) != 0) continue;
    bmi2 = std::strstr(line, " bmi2") != nullptr;
    adx = std::strstr(line, " adx") != nullptr;
    break;
  }
  std::fclose(f);
  return bmi2 && adx;
}

// A secret exponent (and optionally a secret base) on one kernel; the
// result is compared with the same power computed from public copies.
void ProbeModExp(const Words& p, MontgomeryKernel kernel, bool secret_base, const char* what) {
  ModExpContext c(kN);
  const bool host_has_it = kernel == MontgomeryKernel::kPortable || HostHasMulxAdx();
  if (!host_has_it || !c.Montgomery().UseKernelUnchecked(kernel)) {
    std::printf("skipped: %s (kernel not available here)\n", what);
    return;
  }
  Words base = Filled(7), exponent = Filled(11), expected(kN), result(kN);
  base[kN - 1] &= 0x7fffffff;
  ModExp(c, expected.data(), base.data(), exponent.data(), p.data());
  Secret(exponent.data(), 4 * kN);
  if (secret_base) Secret(base.data(), 4 * kN);
  ModExp(c, result.data(), base.data(), exponent.data(), p.data());
  Public(result.data(), 4 * kN);
  Check(result == expected, what);
}

// Sign with x and the nonce k secret, with the context's own table or a
// shared one; the signature must verify.
void ProbeSign(const Certificate& cert, const Words& x_value, const SignerPowers* powers, const char* what) {
  SignatureContext ctx;
  Signature sig;
  Words digest = Filled(23), x = x_value;
  Secret(x.data(), 4 * kN);
  probe::MarkRandomnessSecret(true);
  Sign(ctx, sig, digest.data(), cert, x.data(), powers);
  probe::MarkRandomnessSecret(false);
  Public(&sig, sizeof sig);
  Words out(kN);
  Verify(ctx, out.data(), sig, cert);
  Check(out == digest, what);
}

// The initiator's A = g^a and the responder's B = g^b and K = A^b, each
// with an exponent drawn as secret; both sides must find the same K.
void ProbeHandshake() {
  auto init = std::make_unique<HandshakeInitiator>();
  auto resp = std::make_unique<HandshakeResponder>();
  std::vector<uint8_t> request(kRequestBytes);
  HandshakeStart(*init, request.data());  // picks the group (public)
  Secret(init->exponent.data(), 4 * kN);
  ModExp(init->mod_exp, init->a_value.data(), init->g.data(), init->exponent.data(), init->p.data());
  Public(init->a_value.data(), 4 * kN);
  WordsToLeBytes(request.data() + 2 * 512, init->a_value.data(), kN);
  // The responder's two exponentiations, as HandshakeOnRequest makes them.
  Words g(kN), p(kN), a(kN), b(kN), big_b(kN), k_resp(kN), k_init(kN);
  LeBytesToWords(g.data(), request.data(), kN);
  LeBytesToWords(p.data(), request.data() + 512, kN);
  LeBytesToWords(a.data(), request.data() + 1024, kN);
  probe::MarkRandomnessSecret(true);
  RandomWords(b.data(), kN);
  probe::MarkRandomnessSecret(false);
  ModExp(resp->mod_exp, big_b.data(), g.data(), b.data(), p.data());
  ModExp(resp->mod_exp, k_resp.data(), a.data(), b.data(), p.data());
  Public(big_b.data(), 4 * kN);
  Public(k_resp.data(), 4 * kN);
  ModExp(init->mod_exp, k_init.data(), big_b.data(), init->exponent.data(), p.data());
  Public(k_init.data(), 4 * kN);
  Check(k_init == k_resp, "handshake exponentiations with secret exponents agree");
}

int Run() {
  Words p(kN);
  PrimeTableEntry(0, p.data());
  std::printf("host CPU %s mulx/adcx/adox\n", HostHasMulxAdx() ? "has" : "lacks");
  ProbeModExp(p, MontgomeryKernel::kPortable, false, "ModExp, portable kernel, secret exponent");
  ProbeModExp(p, MontgomeryKernel::kMulxAdx, true, "ModExp, mulx/adx kernel, secret exponent and base");
  SignatureContext ctx;
  KeyRecord record;
  Words x(kN);
  GenerateUserKey(ctx, record.certificate, x.data(), p.data(), nullptr, 0);
  ProbeSign(record.certificate, x, nullptr, "Sign with a secret private exponent and nonce");
  const auto powers = MakeSignerPowers(record.certificate);
  ProbeSign(record.certificate, x, powers.get(), "Sign by a shared table, secret private exponent and nonce");
  ProbeHandshake();
  return g_failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace orv

int main() { return orv::Run(); }
