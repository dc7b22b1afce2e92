#include "tools/registry_tool/dwreg.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/bytes/little_endian.h"
#include "platform/devices/port_map.h"
#include "platform/errors/errors.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace tools {

namespace {

using platform::Hive;
using platform::RegistryKey;
using platform::RegistryValue;
using platform::ValueType;

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: dwreg [--user] list [KEY]\n"
    "       dwreg [--user] get KEY NAME\n"
    "       dwreg [--user] set KEY NAME (--string TEXT | --dword N | --binary HEX)\n"
    "       dwreg [--user] delete KEY [NAME]\n"
    "       dwreg --help\n"
    "The machine hive is used unless --user is given. KEY separates its levels with '\\' or '/';\n"
    "names compare without regard to case. 'set' creates missing keys. N is decimal or 0x-hex;\n"
    "HEX is two hex digits per byte. 'list Linux\\SerialPorts' also shows the serial ports in\n"
    "force, the defaults from the devices that exist included.\n"
    "Exit code 0 done, 1 refused by the registry, 2 usage.\n";

int Usage(std::ostream& err) {
  err << kUsage;
  return kExitUsage;
}

int Refused(std::ostream& err, Hive hive, const char* action, const std::string& what, uint32_t error) {
  err << "dwreg: " << action << " '" << platform::TerminalSafe(what) << "': Error No " << error << ": "
      << platform::ErrorText(error) << "\n";
  if (error == platform::kErrorRegistryCorrupt) err << "dwreg: " << platform::DamagedHiveAdvice(hive) << "\n";
  return kExitRefused;
}

// A value that `set` cannot store: the option, the argument and what is wrong with it.
int BadValue(std::ostream& err, const std::string& option, const std::string& argument, const std::string& problem) {
  err << "dwreg: " << option << " '" << platform::TerminalSafe(argument) << "' " << problem << "\n";
  return kExitUsage;
}

const char* TypeName(ValueType type) {
  switch (type) {
    case ValueType::kString: return "string";
    case ValueType::kDword: return "dword";
    case ValueType::kBinary: return "binary";
    default: return "none";
  }
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
}

// A value as `get` prints it: the text, the number, or the bytes in hex.
std::string Shown(const RegistryValue& value) {
  if (value.type == ValueType::kString) return std::string(value.data.begin(), value.data.end());
  if (value.type == ValueType::kDword && value.data.size() == 4) {
    return std::to_string(platform::GetLe32(value.data.data()));
  }
  return Hex(value.data);
}

// The value of digit `c` in `base` (10 or 16), or -1.
int DigitValue(char c, int base) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = static_cast<char>(c | 0x20);
  return base == 16 && lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// A number of 0 to 0xFFFFFFFF, decimal or 0x-hex; nothing, with what is wrong in `problem`.
std::optional<uint32_t> ParseDword(std::string_view text, std::string& problem) {
  const bool hex = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string_view digits = text.substr(hex ? 2 : 0);
  const int base = hex ? 16 : 10;
  constexpr uint64_t kTooLarge = uint64_t{1} << 32;
  bool isNumber = !digits.empty();
  uint64_t value = 0;
  for (const char c : digits) {
    const int digit = DigitValue(c, base);
    isNumber = isNumber && digit >= 0;
    // Past the limit the value stays there: it is too large whatever digits follow.
    if (isNumber) value = std::min(value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit), kTooLarge);
  }
  if (!isNumber) {
    problem = "is not a number: decimal digits, or 0x and hex digits, expected";
    return std::nullopt;
  }
  if (value == kTooLarge) {
    problem = "is too large: a DWORD holds 0 to 4294967295 (0xFFFFFFFF)";
    return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

std::optional<std::vector<uint8_t>> ParseHex(std::string_view text, std::string& problem) {
  const auto bad = std::find_if(text.begin(), text.end(), [](char c) { return DigitValue(c, 16) < 0; });
  if (bad != text.end()) {
    problem = "holds '" + platform::TerminalSafe(std::string_view(&*bad, 1)) + "', which is no hex digit";
    return std::nullopt;
  }
  if (text.size() % 2 != 0) {
    problem = "has an odd number of hex digits: each byte takes two";
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(DigitValue(text[i], 16) << 4 | DigitValue(text[i + 1], 16)));
  }
  return bytes;
}

// The value of `set`'s type option: the value, or nothing with what is wrong in `problem` (empty
// for an unknown option).
std::optional<RegistryValue> ParseValue(const std::string& option, const std::string& argument, std::string& problem) {
  if (option == "--string") return RegistryValue{ValueType::kString, {argument.begin(), argument.end()}};
  if (option == "--dword") {
    const std::optional<uint32_t> number = ParseDword(argument, problem);
    if (!number) return std::nullopt;
    RegistryValue value{ValueType::kDword, std::vector<uint8_t>(4)};
    platform::PutLe32(value.data.data(), *number);
    return value;
  }
  if (option == "--binary") {
    std::optional<std::vector<uint8_t>> bytes = ParseHex(argument, problem);
    if (bytes) return RegistryValue{ValueType::kBinary, std::move(*bytes)};
  }
  return std::nullopt;
}

// The port map's key, however the path is written.
bool IsPortMapKey(Hive hive, std::string_view path) {
  std::string levels;
  for (const char c : path) {
    if ((c == '\\' || c == '/') && (levels.empty() || levels.back() == '\\')) continue;
    levels += c == '/' ? '\\' : c;
  }
  if (!levels.empty() && levels.back() == '\\') levels.pop_back();
  return hive == Hive::kLocalMachine && platform::EqualsNoCase(levels, platform::kPortMapKey);
}

// The ports in force, which the stored values alone do not show: the defaults from the devices that
// exist, and entries whose device is missing drop out.
void ListPortsInForce(const RegistryKey& key, std::ostream& out) {
  out << "# The ports in force: the entries above over the defaults from the devices that exist\n";
  for (const auto& [port, device] : platform::PortMap()) {
    std::string stored;
    const bool fromRegistry = key.IsOpen() && key.QueryString(port, stored) == 0 && stored == device;
    out << "# " << port << " = " << device << (fromRegistry ? "" : " (default)") << "\n";
  }
}

int List(Hive hive, const std::string& path, std::ostream& out, std::ostream& err) {
  const bool portMap = IsPortMapKey(hive, path);
  RegistryKey key;
  const uint32_t opened = RegistryKey::Open(hive, path, key);
  if (portMap && opened == platform::kErrorFileNotFound) {
    ListPortsInForce(key, out);
    return kExitDone;
  }
  if (opened != 0) return Refused(err, hive, "cannot open", path, opened);
  std::string name;
  uint32_t error = 0;
  for (uint32_t i = 0; (error = key.EnumSubkey(i, name)) == 0; ++i) out << name << "\\\n";
  if (error != platform::kErrorNoMoreItems) return Refused(err, hive, "cannot list", path, error);
  for (uint32_t i = 0; (error = key.EnumValue(i, name)) == 0; ++i) {
    RegistryValue value;
    if ((error = key.QueryValue(name, value)) != 0) break;
    out << name << " (" << TypeName(value.type) << ") = " << Shown(value) << "\n";
  }
  if (error != platform::kErrorNoMoreItems) return Refused(err, hive, "cannot list", path, error);
  if (portMap) ListPortsInForce(key, out);
  return kExitDone;
}

int Get(Hive hive, const std::string& path, const std::string& name, std::ostream& out, std::ostream& err) {
  RegistryKey key;
  if (const uint32_t error = RegistryKey::Open(hive, path, key)) return Refused(err, hive, "cannot open", path, error);
  RegistryValue value;
  if (const uint32_t error = key.QueryValue(name, value)) return Refused(err, hive, "cannot read", name, error);
  out << Shown(value) << "\n";
  return kExitDone;
}

int Set(Hive hive, const std::string& path, const std::string& name, const RegistryValue& value, std::ostream& err) {
  RegistryKey key;
  if (const uint32_t error = RegistryKey::Create(hive, path, key))
    return Refused(err, hive, "cannot create", path, error);
  if (const uint32_t error = key.SetValue(name, value)) return Refused(err, hive, "cannot write", name, error);
  return kExitDone;
}

int Delete(Hive hive, const std::string& path, const std::string* name, std::ostream& err) {
  if (name == nullptr) {
    const uint32_t error = RegistryKey::DeleteKey(hive, path);
    return error ? Refused(err, hive, "cannot delete", path, error) : kExitDone;
  }
  RegistryKey key;
  if (const uint32_t error = RegistryKey::Open(hive, path, key)) return Refused(err, hive, "cannot open", path, error);
  if (const uint32_t error = key.DeleteValue(*name)) return Refused(err, hive, "cannot delete", *name, error);
  return kExitDone;
}

}  // namespace

int RunDwreg(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    out << kUsage;
    return kExitDone;
  }
  const bool user = !args.empty() && args[0] == "--user";
  const std::vector<std::string> rest(args.begin() + (user ? 1 : 0), args.end());
  const Hive hive = user ? Hive::kCurrentUser : Hive::kLocalMachine;
  if (rest.empty()) return Usage(err);
  const std::string& command = rest[0];
  const size_t operands = rest.size() - 1;
  if (command == "list" && operands <= 1) return List(hive, operands ? rest[1] : std::string(), out, err);
  if (command == "get" && operands == 2) return Get(hive, rest[1], rest[2], out, err);
  if (command == "delete" && (operands == 1 || operands == 2)) {
    return Delete(hive, rest[1], operands == 2 ? &rest[2] : nullptr, err);
  }
  if (command == "set" && operands == 4) {
    std::string problem;
    const std::optional<RegistryValue> value = ParseValue(rest[3], rest[4], problem);
    if (value) return Set(hive, rest[1], rest[2], *value, err);
    if (!problem.empty()) return BadValue(err, rest[3], rest[4], problem);
  }
  return Usage(err);
}

}  // namespace tools
