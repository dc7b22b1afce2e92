#include "tools/registry_tool/dwreg.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/bytes/little_endian.h"
#include "platform/errors/errors.h"
#include "platform/registry/registry.h"

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
    "HEX is two hex digits per byte. Exit code 0 done, 1 refused by the registry, 2 usage.\n";

int Usage(std::ostream& err) {
  err << kUsage;
  return kExitUsage;
}

int Refused(std::ostream& err, const char* action, const std::string& what, uint32_t error) {
  err << "dwreg: " << action << " '" << what << "': Error No " << error << ": " << platform::ErrorText(error) << "\n";
  return kExitRefused;
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

std::optional<uint32_t> ParseDword(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string_view digits = std::string_view(text).substr(hex ? 2 : 0);
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (const char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
  }
  return value <= 0xFFFFFFFFu ? std::optional<uint32_t>(static_cast<uint32_t>(value)) : std::nullopt;
}

std::optional<std::vector<uint8_t>> ParseHex(const std::string& text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    const std::optional<uint32_t> byte = ParseDword("0x" + text.substr(i, 2));
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(*byte));
  }
  return bytes;
}

// The value of `set`'s type option, or nothing when the option or its argument is wrong.
std::optional<RegistryValue> ParseValue(const std::string& option, const std::string& argument) {
  if (option == "--string") return RegistryValue{ValueType::kString, {argument.begin(), argument.end()}};
  if (option == "--dword") {
    const std::optional<uint32_t> number = ParseDword(argument);
    if (!number) return std::nullopt;
    RegistryValue value{ValueType::kDword, std::vector<uint8_t>(4)};
    platform::PutLe32(value.data.data(), *number);
    return value;
  }
  if (option == "--binary") {
    std::optional<std::vector<uint8_t>> bytes = ParseHex(argument);
    if (bytes) return RegistryValue{ValueType::kBinary, std::move(*bytes)};
  }
  return std::nullopt;
}

int List(Hive hive, const std::string& path, std::ostream& out, std::ostream& err) {
  RegistryKey key;
  if (const uint32_t error = RegistryKey::Open(hive, path, key)) return Refused(err, "cannot open", path, error);
  std::string name;
  uint32_t error = 0;
  for (uint32_t i = 0; (error = key.EnumSubkey(i, name)) == 0; ++i) out << name << "\\\n";
  if (error != platform::kErrorNoMoreItems) return Refused(err, "cannot list", path, error);
  for (uint32_t i = 0; (error = key.EnumValue(i, name)) == 0; ++i) {
    RegistryValue value;
    if ((error = key.QueryValue(name, value)) != 0) break;
    out << name << " (" << TypeName(value.type) << ") = " << Shown(value) << "\n";
  }
  return error == platform::kErrorNoMoreItems ? kExitDone : Refused(err, "cannot list", path, error);
}

int Get(Hive hive, const std::string& path, const std::string& name, std::ostream& out, std::ostream& err) {
  RegistryKey key;
  if (const uint32_t error = RegistryKey::Open(hive, path, key)) return Refused(err, "cannot open", path, error);
  RegistryValue value;
  if (const uint32_t error = key.QueryValue(name, value)) return Refused(err, "cannot read", name, error);
  out << Shown(value) << "\n";
  return kExitDone;
}

int Set(Hive hive, const std::string& path, const std::string& name, const RegistryValue& value, std::ostream& err) {
  RegistryKey key;
  if (const uint32_t error = RegistryKey::Create(hive, path, key)) return Refused(err, "cannot create", path, error);
  if (const uint32_t error = key.SetValue(name, value)) return Refused(err, "cannot write", name, error);
  return kExitDone;
}

int Delete(Hive hive, const std::string& path, const std::string* name, std::ostream& err) {
  if (name == nullptr) {
    const uint32_t error = RegistryKey::DeleteKey(hive, path);
    return error ? Refused(err, "cannot delete", path, error) : kExitDone;
  }
  RegistryKey key;
  if (const uint32_t error = RegistryKey::Open(hive, path, key)) return Refused(err, "cannot open", path, error);
  if (const uint32_t error = key.DeleteValue(*name)) return Refused(err, "cannot delete", *name, error);
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
    const std::optional<RegistryValue> value = ParseValue(rest[3], rest[4]);
    if (value) return Set(hive, rest[1], rest[2], *value, err);
  }
  return Usage(err);
}

}  // namespace tools
