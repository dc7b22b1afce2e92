// A loopback stream driver for the device manager's tests: what any client writes, any client
// reads back, at most 16 bytes a read. Its globals tell whether two instances share one library
// file. Control request 1 answers the number of open contexts; request 2 makes the read after the
// bytes held now say that data was lost (13), as a reader overtaken in the ring hears it; any other
// echoes its input.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/stream_driver/stream_driver.h"

namespace {

std::mutex gLock;
std::string gBytes;
uint32_t gOpen = 0;
uint32_t gNextContext = 0;
constexpr size_t kReadLimit = 16;
long gLoseAfter = -1;  // bytes still to deliver before the loss; -1 none

}  // namespace

extern "C" {

uint32_t COM_Init(const char* activeKeyPath) {
#ifdef FAKE_FAIL_INIT
  (void)activeKeyPath;
  errno = 55;
  return 0;
#else
  errno = 0;
  return activeKeyPath != nullptr && *activeKeyPath != '\0' ? 0x5150 : 0;
#endif
}

int COM_Deinit(uint32_t) { return 1; }

uint32_t COM_Open(uint32_t, uint32_t, uint32_t) {
  std::lock_guard lock(gLock);
  ++gOpen;
  errno = 0;
  return ++gNextContext;
}

int COM_Close(uint32_t) {
  std::lock_guard lock(gLock);
  --gOpen;
  return 1;
}

uint32_t COM_Read(uint32_t, void* buffer, uint32_t count) {
  std::lock_guard lock(gLock);
  if (gLoseAfter == 0) {
    gLoseAfter = -1;
    errno = 13;
    return 0;
  }
  size_t n = std::min({static_cast<size_t>(count), kReadLimit, gBytes.size()});
  if (gLoseAfter > 0) {
    n = std::min(n, static_cast<size_t>(gLoseAfter));
    gLoseAfter -= static_cast<long>(n);
  }
  if (n > 0) std::memcpy(buffer, gBytes.data(), n);
  gBytes.erase(0, n);
  errno = n > 0 ? 0 : 21;
  return static_cast<uint32_t>(n);
}

uint32_t COM_Write(uint32_t, const void* data, uint32_t size) {
  std::lock_guard lock(gLock);
  gBytes.append(static_cast<const char*>(data), size);
  errno = 0;
  return size;
}

int COM_IOControl(uint32_t, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                  uint32_t* returned) {
  std::lock_guard lock(gLock);
  errno = 0;
  if (code == 1) {
    if (outSize < sizeof gOpen) return 0;
    std::memcpy(out, &gOpen, sizeof gOpen);
    *returned = sizeof gOpen;
    return 1;
  }
  if (code == 2) {
    gLoseAfter = static_cast<long>(gBytes.size());
    return 1;
  }
  *returned = std::min(inSize, outSize);
  if (*returned > 0) std::memcpy(out, in, *returned);
  return 1;
}
}
