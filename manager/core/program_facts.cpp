#include "manager/core/program_facts.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "driver/registry/driver_keys.h"
#include "platform/paths/paths.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace manager {

namespace {

bool ReadDigits(std::string_view text, int& value) {
  if (text.empty() || text.size() > 4) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

std::string FindInPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  std::string_view folders(path);
  while (!folders.empty()) {
    const size_t colon = folders.find(':');
    const std::string folder(folders.substr(0, colon));
    folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + std::string(name);
    if (access(candidate.c_str(), X_OK) == 0) return std::filesystem::absolute(candidate).lexically_normal().string();
  }
  return {};
}

}  // namespace

OsVersion ParseOsVersion(std::string_view text) {
  OsVersion version;
  const size_t dot = text.find('.');
  int major = 0;
  int minor = 0;
  if (!ReadDigits(text.substr(0, dot), major)) return version;
  if (dot != std::string_view::npos && !ReadDigits(text.substr(dot + 1), minor)) return version;
  return {major, minor};
}

OsVersion ReadOsVersion() {
  if (const char* text = std::getenv(kOsVersionVariable)) return ParseOsVersion(text);
  platform::RegistryKey key;
  std::string text;
  if (platform::RegistryKey::Open(platform::Hive::kLocalMachine, kOsVersionKey, key) == 0 &&
      key.QueryString(kOsVersionValue, text) == 0) {
    return ParseOsVersion(text);
  }
  return {};
}

std::string ProgramNameFor(std::string_view executablePath) {
  std::string base = platform::BaseNamePart(executablePath);
  const std::string_view manager = driver::kManagerBaseName;
  if (base.size() < manager.size() ||
      !platform::EqualsNoCase(std::string_view(base).substr(0, manager.size()), manager)) {
    return base;
  }
  return std::string(manager) + platform::ToUpperAscii(std::string_view(base).substr(manager.size()));
}

std::string ModuleFileNameFor(std::string_view argv0) {
  if (argv0.find('/') != std::string_view::npos) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(std::filesystem::path(argv0), error);
    if (!error) return absolute.lexically_normal().string();
  }
  if (std::string found = FindInPath(argv0); !found.empty()) return found;
  return platform::ProgramFolder() + platform::FileNamePart(argv0);
}

ProgramFacts GatherProgramFacts(std::string_view argv0) {
  ProgramFacts facts;
  facts.os = ReadOsVersion();
  facts.moduleFileName = ModuleFileNameFor(argv0);
  facts.programName = ProgramNameFor(facts.moduleFileName);
  facts.registryName = driver::RegistryName(facts.programName);
  return facts;
}

}  // namespace manager
