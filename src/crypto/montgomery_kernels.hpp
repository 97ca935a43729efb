// Internal to the Montgomery arithmetic: the one inner loop every product
// and every reduction is made of, in a portable form and, on x86-64 CPUs
// with BMI2 and ADX, in a form with mulx and the two carry chains of adcx
// and adox. Both give the same results; neither branches on or indexes by
// the values it works on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv::mont {

// r[0..n) += a[0..n) * b; returns the carry limb out of r[n - 1].
using AddMulFn = uint64_t (*)(uint64_t* r, const uint64_t* a, size_t n, uint64_t b);

uint64_t AddMulPortable(uint64_t* r, const uint64_t* a, size_t n, uint64_t b);

// Null where the build has no x86-64 form.
extern const AddMulFn kAddMulAdx;

// True when this CPU runs the mulx/adcx/adox form.
bool CpuHasMulxAdx();

}  // namespace orv::mont
