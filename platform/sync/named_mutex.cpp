#include "platform/sync/named_mutex.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/errors/errors.h"

namespace platform {

namespace detail {

struct NamedMutexState {
  explicit NamedMutexState(std::string name) : key(std::move(name)) {}

  const std::string key;  // folded name; empty for an unnamed mutex
  size_t handles = 1;     // guarded by the name table's mutex
  std::mutex mutex;
  std::condition_variable released;
  std::thread::id owner;
  uint32_t depth = 0;
};

}  // namespace detail

namespace {

using detail::NamedMutexState;

// The names of this process's mutexes. Handles are counted under the table's lock, so whatever the
// last owner of a mutex did happens before a new mutex of the same name is created.
struct NameTable {
  std::mutex mutex;
  std::unordered_map<std::string, NamedMutexState*> byName;
};

NameTable& Names() {
  static NameTable table;
  return table;
}

std::string FoldCase(std::string_view name) {
  std::string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return folded;
}

}  // namespace

NamedMutex::NamedMutex(NamedMutexState* state) : state_(state) {}

NamedMutex::NamedMutex(const NamedMutex& other) : state_(other.state_) {
  std::lock_guard lock(Names().mutex);
  ++state_->handles;
}

NamedMutex& NamedMutex::operator=(const NamedMutex& other) {
  NamedMutex copy(other);
  std::swap(state_, copy.state_);
  return *this;
}

NamedMutex::~NamedMutex() {
  std::unique_ptr<NamedMutexState> last;
  NameTable& table = Names();
  std::lock_guard lock(table.mutex);
  if (--state_->handles > 0) return;
  if (!state_->key.empty()) table.byName.erase(state_->key);
  last.reset(state_);  // freed after the table is unlocked
}

NamedMutex NamedMutex::Create(std::string_view name, bool initialOwner) {
  std::string key = FoldCase(name);
  NameTable& table = Names();
  std::lock_guard lock(table.mutex);
  if (!key.empty()) {
    const auto entry = table.byName.find(key);
    if (entry != table.byName.end()) {
      ++entry->second->handles;
      SetLastError(kErrorAlreadyExists);
      return NamedMutex(entry->second);
    }
  }
  auto state = std::make_unique<NamedMutexState>(key);
  if (initialOwner) {
    state->owner = std::this_thread::get_id();
    state->depth = 1;
  }
  if (!key.empty()) table.byName.emplace(std::move(key), state.get());
  SetLastError(kErrorSuccess);
  return NamedMutex(state.release());
}

std::optional<NamedMutex> NamedMutex::Open(std::string_view name) {
  NamedMutexState* state = nullptr;
  {
    NameTable& table = Names();
    std::lock_guard lock(table.mutex);
    const auto entry = table.byName.find(FoldCase(name));
    if (entry != table.byName.end()) {
      state = entry->second;
      ++state->handles;
    }
  }
  if (state == nullptr) {
    SetLastError(kErrorFileNotFound);
    return std::nullopt;
  }
  // Built outside the lock: the optional copies the handle, and a copy takes the table lock.
  return NamedMutex(state);
}

WaitResult NamedMutex::Wait(uint32_t timeoutMs) {
  NamedMutexState& s = *state_;
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(s.mutex);
  const bool acquired = WaitUntilReady(s.released, lock, timeoutMs, [&] { return s.depth == 0 || s.owner == self; });
  if (!acquired) return WaitResult::kTimedOut;
  s.owner = self;
  ++s.depth;
  return WaitResult::kSignalled;
}

bool NamedMutex::Release() {
  NamedMutexState& s = *state_;
  {
    std::lock_guard lock(s.mutex);
    if (s.depth == 0 || s.owner != std::this_thread::get_id()) {
      SetLastError(kErrorAccessDenied);
      return false;
    }
    if (--s.depth > 0) return true;
    s.owner = {};
  }
  s.released.notify_one();
  return true;
}

}  // namespace platform
