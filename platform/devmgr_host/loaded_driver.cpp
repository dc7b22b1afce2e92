#include "platform/devmgr_host/loaded_driver.h"

#include <dlfcn.h>

#include <cerrno>
#include <chrono>

#include "platform/errors/errors.h"

namespace platform {

namespace {

constexpr uint32_t kWriteAccess = 0x40000000u;

// The driver leaves its error in errno; it is read at once on the calling thread.
uint32_t DriverError() { return static_cast<uint32_t>(errno); }

template <class Fn>
bool LookUp(void* library, const std::string& prefix, const char* entry, Fn& fn, std::string* missing) {
  const std::string symbol = prefix + "_" + entry;
  fn = reinterpret_cast<Fn>(dlsym(library, symbol.c_str()));
  if (fn == nullptr && missing->empty()) *missing = symbol;
  return fn != nullptr;
}

}  // namespace

std::shared_ptr<LoadedDriver> LoadedDriver::Load(const std::string& libraryPath, const std::string& prefix,
                                                 uint32_t* error, std::string* message) {
  void* library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    *error = kErrorBadExeFormat;
    *message = "cannot load " + libraryPath + ": " + (why != nullptr ? why : "unknown reason");
    return nullptr;
  }
  EntryPoints entry;
  std::string missing;
  LookUp(library, prefix, "Init", entry.init, &missing);
  LookUp(library, prefix, "Deinit", entry.deinit, &missing);
  LookUp(library, prefix, "Open", entry.open, &missing);
  LookUp(library, prefix, "Close", entry.close, &missing);
  LookUp(library, prefix, "Read", entry.read, &missing);
  LookUp(library, prefix, "Write", entry.write, &missing);
  LookUp(library, prefix, "IOControl", entry.ioControl, &missing);
  if (!missing.empty()) {
    dlclose(library);
    *error = kErrorProcNotFound;
    *message = libraryPath + " is not a stream driver of prefix " + prefix + ": it lacks " + missing;
    return nullptr;
  }
  return std::shared_ptr<LoadedDriver>(new LoadedDriver(library, entry));
}

LoadedDriver::~LoadedDriver() { Unload(); }

bool LoadedDriver::Init(const std::string& activeKeyPath, uint32_t* error) {
  {
    std::unique_lock lock(callLock_);
    errno = 0;
    deviceContext_ = entry_.init(activeKeyPath.c_str());
    *error = DriverError();
  }
  if (deviceContext_ != 0) return true;
  if (*error == 0) *error = kErrorDevNotExist;
  Unload();
  return false;
}

void LoadedDriver::Unload() {
  {
    std::unique_lock lock(callLock_);
    if (gone_) return;
    gone_ = true;
    if (deviceContext_ != 0) entry_.deinit(deviceContext_);
    dlclose(library_);
  }
  {
    std::lock_guard input(inputLock_);
    inputArrived_.notify_all();
  }
  TellWaiters();
}

uint32_t LoadedDriver::Open(uint32_t access, uint32_t shareMode, uint32_t* error) {
  std::shared_lock lock(callLock_);
  if (gone_) {
    *error = kErrorDevNotExist;
    return 0;
  }
  errno = 0;
  const uint32_t openContext = entry_.open(deviceContext_, access, shareMode);
  *error = DriverError();
  if (openContext != 0 && (access & kWriteAccess) != 0) {
    {
      std::lock_guard input(inputLock_);
      writers_.insert(openContext);
    }
    BumpInputSequence();
  }
  return openContext;
}

void LoadedDriver::Close(uint32_t openContext) {
  {
    std::lock_guard input(inputLock_);
    writers_.erase(openContext);
  }
  std::shared_lock lock(callLock_);
  if (!gone_) entry_.close(openContext);
}

int64_t LoadedDriver::Read(uint32_t openContext, void* buffer, uint32_t count, uint32_t* error) {
  uint32_t result = 0;
  {
    std::shared_lock lock(callLock_);
    if (gone_) {
      *error = kErrorDevNotExist;
      return -1;
    }
    errno = 0;
    result = entry_.read(openContext, buffer, count);
    *error = DriverError();
  }
  // Listeners wait for what a writer's read brought in; one that brought nothing (an idle
  // receiver, read again and again on its time-out) wakes nobody. The waiters read through this
  // device again, so they are told outside the call lock.
  if (result != 0 && IsWriter(openContext)) {
    BumpInputSequence();
    TellWaiters();
  }
  if (result == kStreamFailed) return -1;
  return result > count ? count : result;  // a driver that claims more than it was given gets no more
}

int64_t LoadedDriver::Write(uint32_t openContext, const void* data, uint32_t size, uint32_t* error) {
  std::shared_lock lock(callLock_);
  if (gone_) {
    *error = kErrorDevNotExist;
    return -1;
  }
  errno = 0;
  const uint32_t result = entry_.write(openContext, data, size);
  *error = DriverError();
  return result == kStreamFailed ? -1 : result;
}

bool LoadedDriver::IoControl(uint32_t openContext, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                             uint32_t outSize, uint32_t* returned, uint32_t* error) {
  std::shared_lock lock(callLock_);
  if (gone_) {
    *error = kErrorDevNotExist;
    return false;
  }
  errno = 0;
  const int ok = entry_.ioControl(openContext, code, in, inSize, out, outSize, returned);
  *error = DriverError();
  return ok != 0;
}

uint64_t LoadedDriver::InputSequence() const {
  std::lock_guard input(inputLock_);
  return inputSequence_;
}

bool LoadedDriver::WaitForInput(uint64_t seen, uint32_t timeoutMs) {
  std::unique_lock input(inputLock_);
  inputArrived_.wait_for(input, std::chrono::milliseconds(timeoutMs),
                         [&] { return inputSequence_ != seen || gone_.load(); });
  return inputSequence_ != seen;
}

void LoadedDriver::BumpInputSequence() {
  std::lock_guard input(inputLock_);
  ++inputSequence_;
  inputArrived_.notify_all();
}

void LoadedDriver::AddInputWaiter(InputWaiter* waiter) {
  std::lock_guard lock(waitersLock_);
  waiters_.push_back(waiter);
}

void LoadedDriver::RemoveInputWaiter(InputWaiter* waiter) {
  std::lock_guard lock(waitersLock_);
  std::erase(waiters_, waiter);
}

void LoadedDriver::TellWaiters() {
  std::lock_guard lock(waitersLock_);
  for (InputWaiter* waiter : waiters_) waiter->InputArrived();
}

bool LoadedDriver::IsWriter(uint32_t openContext) {
  std::lock_guard input(inputLock_);
  return writers_.count(openContext) != 0;
}

}  // namespace platform
