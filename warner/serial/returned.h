#pragma once
// Every operation of the sources leaves the code it returns as the thread's last error.

#include <cstdint>

#include "platform/errors/errors.h"

namespace serial {

inline uint32_t Returned(uint32_t code) {
  platform::SetLastError(code);
  return code;
}

}  // namespace serial
