#pragma once
// Where a loaded driver's traces go: nowhere, unless the environment variable DW_DRIVER_TRACE
// names a file, to which every text is appended.

#include <memory>

#include "driver/registry/input_device.h"

namespace driver {

std::unique_ptr<TraceSink> OpenTraceSink();

}  // namespace driver
