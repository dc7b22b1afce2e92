#include "platform/testing/system_root.h"

#include <stdlib.h>

namespace platform::testing {

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* previous = getenv(name)) previous_ = previous;
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (previous_) {
    setenv(name_, previous_->c_str(), 1);
  } else {
    unsetenv(name_);
  }
}

namespace {

std::string Made(const std::filesystem::path& path) {
  std::filesystem::create_directories(path);
  return path.string();
}

}  // namespace

TempSystemRoot::TempSystemRoot(std::string_view prefix)
    : folder_(prefix),
      root_(Made(folder_ / "root")),
      systemRoot_("DW_SYSTEM_ROOT", root_),
      devRoot_("DW_DEV_ROOT", Made(folder_ / "dev")),
      sysRoot_("DW_SYS_ROOT", Made(folder_ / "sys")) {}

}  // namespace platform::testing
