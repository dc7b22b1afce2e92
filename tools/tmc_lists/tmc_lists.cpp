// tmc-lists: compiles the text form of the TMC event and location lists into the binary lists the
// warner reads, and turns binary lists back into text.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tools/tmc_lists/code_list_compiler.h"

namespace {

constexpr const char* kUsage =
    "Usage: tmc-lists compile events|locations IN.txt OUT.bin\n"
    "       tmc-lists decompile events|locations IN.bin [OUT.txt]\n"
    "compile turns a text list into the binary code list the warner reads (ECL_D1.bin for the\n"
    "events, LCL_D1.bin for the locations); decompile writes a binary list as text (to standard\n"
    "output without OUT.txt), in the canonical form that compiles to the same list again.\n"
    "\n"
    "Text lists are UTF-8, one record a line; '#' starts a comment line; fields are separated by\n"
    "';' and trimmed of blanks:\n"
    "  events:    code;text;directionality;short text\n"
    "  locations: code;text a;text b;name;parent;negative;positive;flag\n"
    "Codes 1..65535; parent and neighbour codes 0..65535 (empty: 0); flag 0..255 (empty: 0);\n"
    "directionality 1 (one direction) or 2 (both). Texts must have a Windows-1252 code and fit their\n"
    "fields: event text 245 bytes, short text 16; text a 8, text b 40, name 79.\n"
    "\n"
    "Exit status: 0 done, 1 bad list or unreadable/unwritable file, 2 wrong command line.\n";

int UsageError(const char* message) {
  std::fprintf(stderr, "tmc-lists: %s\nTry 'tmc-lists --help'.\n", message);
  return 2;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "tmc-lists: %s\n", message.c_str());
  return 1;
}

std::string_view AsText(const std::vector<uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

int Compile(tmc_lists::CodeListKind kind, const std::string& in, const std::string& out) {
  std::string text;
  std::string error;
  std::vector<uint8_t> file;
  if (!tmc_lists::ReadFileBytes(in, text, error) || !tmc_lists::CompileCodeList(kind, text, file, error, in) ||
      !tmc_lists::WriteFileBytes(out, AsText(file), error)) {
    return Failure(error);
  }
  return 0;
}

int Decompile(tmc_lists::CodeListKind kind, const std::string& in, const char* out) {
  std::string bytes;
  std::string error;
  std::string text;
  if (!tmc_lists::ReadFileBytes(in, bytes, error)) return Failure(error);
  if (!tmc_lists::DecompileCodeList(kind, std::vector<uint8_t>(bytes.begin(), bytes.end()), text, error)) {
    return Failure(in + ": " + error);
  }
  if (out != nullptr) return tmc_lists::WriteFileBytes(out, text, error) ? 0 : Failure(error);
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    return Failure("cannot write the standard output");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 4) return UsageError("missing arguments");
  const std::string_view command = argv[1];
  const std::string_view kindName = argv[2];
  if (kindName != "events" && kindName != "locations") return UsageError("the list is either events or locations");
  const auto kind = kindName == "events" ? tmc_lists::CodeListKind::kEvents : tmc_lists::CodeListKind::kLocations;
  if (command == "compile" && argc == 5) return Compile(kind, argv[3], argv[4]);
  if (command == "decompile" && argc <= 5) return Decompile(kind, argv[3], argc == 5 ? argv[4] : nullptr);
  return UsageError(command == "compile" || command == "decompile" ? "wrong number of arguments" : "unknown command");
}
