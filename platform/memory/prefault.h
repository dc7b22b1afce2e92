#pragma once
// Maps the pages of a freshly reserved block on another thread while the caller starts filling it
// from the front: on the machines we run on a first-touch page fault costs about as much as
// parsing a POI line, so the two cores share that work. Only the kernel touches the pages (no
// user-space writes), so the filler's writes never race with it.

#include <atomic>
#include <cstddef>
#include <thread>

namespace platform {

class BackgroundPrefault {
 public:
  BackgroundPrefault(const void* begin, size_t bytes);
  BackgroundPrefault(const BackgroundPrefault&) = delete;
  BackgroundPrefault& operator=(const BackgroundPrefault&) = delete;
  // Stops after the chunk in progress and waits for the thread.
  ~BackgroundPrefault();

  // Waits until every page is mapped (or the kernel declined); true when all were mapped.
  bool Wait();

 private:
  void Run(uintptr_t begin, uintptr_t end);

  std::atomic<bool> stop_{false};
  std::atomic<bool> complete_{false};
  std::thread thread_;
};

}  // namespace platform
