// Counts heap allocations so that benchmarks can report allocations per
// iteration (the hot paths must make none).
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

inline std::atomic<size_t> g_allocations{0};

void* operator new(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

// Reports allocations per iteration made while the state ran.
class AllocationReport {
 public:
  explicit AllocationReport(benchmark::State& state) : state_(state), start_(g_allocations.load()) {}
  ~AllocationReport() {
    const double made = static_cast<double>(g_allocations.load() - start_);
    state_.counters["allocs/iter"] = state_.iterations() ? made / static_cast<double>(state_.iterations()) : 0;
  }

 private:
  benchmark::State& state_;
  size_t start_;
};
