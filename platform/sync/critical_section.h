#pragma once
// A critical section as the programs use it: recursive, so a thread that already holds it may
// take it again (the engine and the display helpers nest their sections on the same thread).

#include <mutex>

namespace platform {

class CriticalSection {
 public:
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool try_lock() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
};

}  // namespace platform
