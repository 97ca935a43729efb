// The clock that paces the WAV-file devices: real time for orvd and the
// call tests, a manual clock for unit tests that must not wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>

namespace orv {

class PaceClock {
 public:
  virtual ~PaceClock() = default;
  // Nanoseconds since the clock started.
  virtual int64_t Now() = 0;
  // Waits until Now() reaches `deadline`; false when `stop` was requested first.
  virtual bool WaitUntil(int64_t deadline, std::stop_token stop) = 0;
};

class SteadyPaceClock : public PaceClock {
 public:
  SteadyPaceClock();
  int64_t Now() override;
  // The steady clock's reading (ns) at which Now() was 0: the same clock
  // for every process of the machine, so that times of two nodes compare.
  int64_t origin() const { return start_; }
  bool WaitUntil(int64_t deadline, std::stop_token stop) override;

 private:
  int64_t start_;
  std::mutex mutex_;
  std::condition_variable_any never_;
};

// Time moves only when Advance is called.
class ManualPaceClock : public PaceClock {
 public:
  int64_t Now() override;
  bool WaitUntil(int64_t deadline, std::stop_token stop) override;
  void Advance(int64_t nanoseconds);

 private:
  std::mutex mutex_;
  std::condition_variable_any moved_;
  int64_t now_ = 0;
};

}  // namespace orv
