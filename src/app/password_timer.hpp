// The thread that re-masks the cached password every minute and forgets it
// when its time is up. Tests call PasswordService::Tick directly.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/password_service.hpp"

namespace orv {

class PasswordTimer {
 public:
  explicit PasswordTimer(PasswordService& service, std::chrono::milliseconds period = std::chrono::minutes(1));
  ~PasswordTimer();  // wakes and joins the thread
  PasswordTimer(const PasswordTimer&) = delete;
  PasswordTimer& operator=(const PasswordTimer&) = delete;

 private:
  void Run(std::stop_token stop);
  PasswordService& service_;
  std::chrono::milliseconds period_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::jthread thread_;
};

}  // namespace orv
