// rds-groups: writes the byte streams of a TMC receiver from RDS groups written as text, for
// trying out and testing the warner's traffic decoding.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "tools/rds_groups/rds_groups.h"

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  rds-groups merge GROUPS NMEA OUT [--every-bytes N | --every-sentences K | --inside]\n"
    "  rds-groups port GROUPS OUT [--junk N]\n"
    "  rds-groups make [--pi HEX] [--ps NAME] [--ltn N] [--message E,L,X,D]... OUT\n"
    "  rds-groups --help\n"
    "\n"
    "GROUPS is a text file of RDS groups, one a line: the blocks A B C D as four hex digits each,\n"
    "separated by blanks (\"D301 0408 2037 4148\"); '#' starts a comment; blank lines are ignored.\n"
    "Each group becomes a 10-byte receiver record: '?', the blocks high byte first, one byte 0.\n"
    "\n"
    "merge   writes the NMEA log with the records merged in, in order: one after every N bytes,\n"
    "        after every K-th sentence (the default, K = 1), or into the middle of each sentence.\n"
    "        Records left when the log ends follow it. The log must not hold '?' itself.\n"
    "port    writes the records as a separate TMC port delivers them, with N junk bytes (never\n"
    "        '?') before each record (default 0).\n"
    "make    writes a sample GROUPS file: the station name groups of PI HEX (default D301) and\n"
    "        NAME (1 to 8 printable ASCII characters, default \"TMC TEST\"), the TMC announcement\n"
    "        (3A, AID CD46) with location table N (default 1), and for each --message a\n"
    "        single-group message E event, L location, X extent (0..7), D direction (0 or 1),\n"
    "        sent twice as receivers expect.\n"
    "\n"
    "Exit status: 0 done, 1 bad group file, NMEA log with '?' or unreadable/unwritable file,\n"
    "2 wrong command line.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "rds-groups: %s\nTry 'rds-groups --help'.\n", message.c_str());
  return 2;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "rds-groups: %s\n", message.c_str());
  return 1;
}

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

bool ReadCount(const char* text, size_t& value, size_t lowest = 1) {
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text, &end, 10);
  if (end == text || *end != 0 || parsed < lowest || parsed > 1000000 || text[0] == '-') return false;
  value = static_cast<size_t>(parsed);
  return true;
}

bool LoadRecords(const std::string& path, std::vector<rds_groups::Record>& records, std::string& error) {
  std::string text;
  if (!ReadFile(path, text)) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<rds_groups::Group> groups;
  if (!rds_groups::ParseGroups(text, groups, error, path)) return false;
  records = rds_groups::TmcRecords(groups);
  return true;
}

int Save(const std::string& path, const std::string& bytes) {
  if (!WriteFile(path, bytes)) return Failure(path + ": cannot be written");
  return 0;
}

int Merge(const std::vector<std::string>& args) {
  if (args.size() != 3 && args.size() != 4 && args.size() != 5) return UsageError("merge needs GROUPS NMEA OUT");
  rds_groups::MergePlan plan;
  const bool hasOption = args.size() > 3;
  if (hasOption && args[3] == "--inside" && args.size() == 4) {
    plan.mode = rds_groups::MergeMode::kInsideSentences;
  } else if (hasOption && args.size() == 5 && (args[3] == "--every-bytes" || args[3] == "--every-sentences")) {
    plan.mode =
        args[3] == "--every-bytes" ? rds_groups::MergeMode::kEveryBytes : rds_groups::MergeMode::kEverySentences;
    if (!ReadCount(args[4].c_str(), plan.every)) return UsageError("a count of 1 to 1000000 expected: " + args[4]);
  } else if (hasOption) {
    return UsageError("unknown merge option: " + args[3]);
  }
  std::vector<rds_groups::Record> records;
  std::string error;
  if (!LoadRecords(args[0], records, error)) return Failure(error);
  std::string nmea;
  if (!ReadFile(args[1], nmea)) return Failure(args[1] + ": " + std::strerror(errno));
  // The reader takes every '?' for the start of a record: the log's own would garble the merge.
  if (const size_t mark = nmea.find('?'); mark != std::string::npos) {
    return Failure(args[1] + ": byte " + std::to_string(mark + 1) +
                   " is '?', which a receiver sends only before a record");
  }
  return Save(args[2], rds_groups::MergeRecords(nmea, records, plan));
}

int Port(const std::vector<std::string>& args) {
  size_t junk = 0;
  if (args.size() == 4 && args[2] == "--junk") {
    if (!ReadCount(args[3].c_str(), junk, 0)) return UsageError("a count of 0 to 1000000 expected: " + args[3]);
  } else if (args.size() != 2) {
    return UsageError("port needs GROUPS OUT [--junk N]");
  }
  std::vector<rds_groups::Record> records;
  std::string error;
  if (!LoadRecords(args[0], records, error)) return Failure(error);
  return Save(args[1], rds_groups::PortStream(records, junk));
}

int Make(const std::vector<std::string>& args) {
  rds_groups::StationPlan plan;
  plan.ps = "TMC TEST";
  std::string out;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--pi" && hasValue) {
      char* end = nullptr;
      const unsigned long pi = std::strtoul(args[++i].c_str(), &end, 16);
      if (*end != 0 || args[i].empty() || pi > 0xFFFF) return UsageError("PI must be 1 to 4 hex digits");
      plan.pi = static_cast<uint16_t>(pi);
    } else if (arg == "--ps" && hasValue) {
      plan.ps = args[++i];
      std::string error;
      if (!rds_groups::CheckStationName(plan.ps, error)) return UsageError(error);
    } else if (arg == "--ltn" && hasValue) {
      size_t ltn = 0;
      if (!ReadCount(args[++i].c_str(), ltn) || ltn > 63) return UsageError("LTN must be 1..63");
      plan.ltn = static_cast<int>(ltn);
    } else if (arg == "--message" && hasValue) {
      rds_groups::TmcEventPlan message;
      std::string error;
      if (!rds_groups::ParseEventPlan(args[++i], message, error)) return UsageError(error);
      plan.messages.push_back(message);
    } else if (!arg.starts_with("--") && out.empty()) {
      out = arg;
    } else {
      return UsageError("unexpected argument: " + arg);
    }
  }
  if (out.empty()) return UsageError("make needs OUT");
  return Save(out, rds_groups::MakeGroupFile(plan));
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty()) return UsageError("a command is needed");
  if (all[0] == "--help" || all[0] == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::vector<std::string> args(all.begin() + 1, all.end());
  if (all[0] == "merge") return Merge(args);
  if (all[0] == "port") return Port(args);
  if (all[0] == "make") return Make(args);
  return UsageError("unknown command: " + all[0]);
}
