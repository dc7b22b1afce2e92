// The driver library's exported entry points: one driver instance per loaded library file, each
// call forwarded to it and its error left in errno for the device manager.

#include <cerrno>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "driver/stream/sercast_driver.h"
#include "driver/stream/trace_sink.h"
#include "platform/errors/errors.h"
#include "platform/stream_driver/stream_driver.h"
#include "platform/sync/named_mutex.h"

namespace {

// The library's one driver instance, destroyed when the library is unloaded. The platform's
// table of named mutexes, which the instance's handles use until then, is made first, so that it
// is destroyed after the instance.
struct Instance {
  const bool mutexTableReady = (platform::NamedMutex::Create(""), true);
  const std::unique_ptr<driver::TraceSink> trace = driver::OpenTraceSink();
  driver::SercastDriver driver{*trace};
};

driver::SercastDriver& Driver() {
  static Instance instance;
  return instance.driver;
}

// The very last step of every entry point: the device manager reads errno at once.
template <typename Result>
Result Leave(Result result) {
  errno = static_cast<int>(platform::GetLastError());
  return result;
}

}  // namespace

#define DW_EXPORT extern "C" [[gnu::visibility("default")]]

DW_EXPORT uint32_t COM_Init(const char* activeKeyPath) { return Leave(Driver().Init(activeKeyPath)); }
DW_EXPORT int COM_PreDeinit(uint32_t deviceContext) { return Leave(int{Driver().PreDeinit(deviceContext)}); }
DW_EXPORT int COM_Deinit(uint32_t deviceContext) { return Leave(int{Driver().Deinit(deviceContext)}); }
DW_EXPORT uint32_t COM_Open(uint32_t deviceContext, uint32_t access, uint32_t shareMode) {
  return Leave(Driver().Open(deviceContext, access, shareMode));
}
DW_EXPORT int COM_Close(uint32_t openContext) { return Leave(int{Driver().Close(openContext)}); }
DW_EXPORT uint32_t COM_Read(uint32_t openContext, void* buffer, uint32_t count) {
  return Leave(static_cast<uint32_t>(Driver().Read(openContext, buffer, count)));
}
DW_EXPORT uint32_t COM_Write(uint32_t openContext, const void* buffer, uint32_t count) {
  return Leave(static_cast<uint32_t>(Driver().Write(openContext, buffer, count)));
}
DW_EXPORT uint32_t COM_Seek(uint32_t openContext, int32_t amount, uint16_t method) {
  return Leave(static_cast<uint32_t>(Driver().Seek(openContext, amount, method)));
}
DW_EXPORT int COM_IOControl(uint32_t openContext, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                            uint32_t outSize, uint32_t* returned) {
  return Leave(int{Driver().IoControl(openContext, code, in, inSize, out, outSize, returned)});
}
DW_EXPORT void COM_PowerUp(uint32_t deviceContext) {
  Driver().PowerUp(deviceContext);
  Leave(0);
}
DW_EXPORT void COM_PowerDown(uint32_t deviceContext) {
  Driver().PowerDown(deviceContext);
  Leave(0);
}

static_assert(std::is_same_v<decltype(&COM_Init), StreamInitFn>);
static_assert(std::is_same_v<decltype(&COM_PreDeinit), StreamDeinitFn>);
static_assert(std::is_same_v<decltype(&COM_Deinit), StreamDeinitFn>);
static_assert(std::is_same_v<decltype(&COM_Open), StreamOpenFn>);
static_assert(std::is_same_v<decltype(&COM_Close), StreamCloseFn>);
static_assert(std::is_same_v<decltype(&COM_Read), StreamReadFn>);
static_assert(std::is_same_v<decltype(&COM_Write), StreamWriteFn>);
static_assert(std::is_same_v<decltype(&COM_Seek), StreamSeekFn>);
static_assert(std::is_same_v<decltype(&COM_IOControl), StreamIoControlFn>);
static_assert(std::is_same_v<decltype(&COM_PowerUp), StreamPowerFn>);
static_assert(std::is_same_v<decltype(&COM_PowerDown), StreamPowerFn>);
