#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/sync/wait.h"

namespace platform {

namespace detail {
struct NamedMutexState;
}

// A handle to a mutex that threads of this process find by name (names compare case-blind).
// Ownership is recursive: the owner may wait again and must release as often. Copies are further
// handles to the same mutex; the name is forgotten when the last handle goes. An empty name makes
// a mutex that only its handles reach.
class NamedMutex {
 public:
  // Opens the mutex of that name, creating it when no handle to it is open. The last error is
  // kErrorAlreadyExists when it was opened, kErrorSuccess when it was created; initialOwner takes
  // ownership only of a mutex that this call created.
  static NamedMutex Create(std::string_view name, bool initialOwner = false);
  // Opens an existing mutex; nothing (last error kErrorFileNotFound) when no handle to it is open.
  static std::optional<NamedMutex> Open(std::string_view name);

  NamedMutex(const NamedMutex& other);  // no move: a handle is never empty
  NamedMutex& operator=(const NamedMutex& other);
  ~NamedMutex();

  WaitResult Wait(uint32_t timeoutMs);
  // False (last error kErrorAccessDenied) when the calling thread does not own the mutex.
  bool Release();

 private:
  explicit NamedMutex(detail::NamedMutexState* state);  // the handle is counted already

  detail::NamedMutexState* state_;
};

}  // namespace platform
