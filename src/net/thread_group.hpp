// Short-lived threads that the endpoint starts and must see finished before
// it frees what they use: the handshake workers and the warning boxes.
// Finished threads are joined whenever a new one starts; JoinAll waits for
// every thread, including those started while it waits.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace orv {

class ThreadGroup {
 public:
  ThreadGroup() = default;
  ~ThreadGroup() { JoinAll(); }
  ThreadGroup(const ThreadGroup&) = delete;
  ThreadGroup& operator=(const ThreadGroup&) = delete;

  // Runs `task` on a thread of its own; false when no thread could be made.
  bool Launch(std::function<void()> task);

  // Waits until no thread of the group runs.
  void JoinAll();

  // Threads that have not finished yet.
  size_t Running();

 private:
  struct Entry {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void JoinFinished();  // Must hold lock_.

  std::mutex lock_;
  std::list<Entry> threads_;
};

}  // namespace orv
