#include "warner/serial/port_entry.h"

#include "platform/text/text.h"
#include "warner/core/settings/source_setting.h"

namespace serial {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int PortEntryKind(std::string_view name) {
  if (platform::EqualsNoCase(name, kFileEntry)) return warner::kInputKindFile;
  constexpr size_t kNumberAt = 3;
  if (name.size() <= kNumberAt || !IsDigit(name[kNumberAt])) return -1;
  int number = 0;
  for (size_t i = kNumberAt; i < name.size() && IsDigit(name[i]); ++i) {
    number = number * 10 + (name[i] - '0');
    if (number > kMaxPortNumber) return -1;
  }
  return number;
}

}  // namespace serial
