// Any text as an event list and as a location list: the compiler either refuses it with a message
// that names the line, or its binary list decompiles to a canonical text that compiles to the very
// same bytes again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tools/tmc_lists/code_list_compiler.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void RoundTrip(tmc_lists::CodeListKind kind, std::string_view text) {
  std::vector<uint8_t> file;
  std::string error;
  if (!tmc_lists::CompileCodeList(kind, text, file, error, "fuzz")) {
    Check(error.rfind("fuzz:", 0) == 0);
    return;
  }
  std::string canonical;
  Check(tmc_lists::DecompileCodeList(kind, file, canonical, error));
  std::vector<uint8_t> again;
  Check(tmc_lists::CompileCodeList(kind, canonical, again, error, "canonical"));
  Check(again == file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RoundTrip(tmc_lists::CodeListKind::kEvents, text);
  RoundTrip(tmc_lists::CodeListKind::kLocations, text);
  return 0;
}
