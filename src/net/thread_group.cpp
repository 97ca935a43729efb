#include "net/thread_group.hpp"

#include <system_error>
#include <utility>

namespace orv {

bool ThreadGroup::Launch(std::function<void()> task) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread thread;
  try {
    thread = std::thread([task = std::move(task), done] {
      task();
      done->store(true);
    });
  } catch (const std::system_error&) {
    return false;
  }
  std::lock_guard<std::mutex> guard(lock_);
  JoinFinished();
  threads_.push_back(Entry{std::move(thread), std::move(done)});
  return true;
}

void ThreadGroup::JoinFinished() {
  for (auto it = threads_.begin(); it != threads_.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
}

void ThreadGroup::JoinAll() {
  for (;;) {
    std::list<Entry> batch;
    {
      std::lock_guard<std::mutex> guard(lock_);
      batch.swap(threads_);
    }
    if (batch.empty()) return;
    for (Entry& e : batch) e.thread.join();
  }
}

size_t ThreadGroup::Running() {
  std::lock_guard<std::mutex> guard(lock_);
  size_t n = 0;
  for (const Entry& e : threads_) n += !e.done->load();
  return n;
}

}  // namespace orv
