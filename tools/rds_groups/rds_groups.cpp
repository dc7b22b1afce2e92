#include "tools/rds_groups/rds_groups.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace rds_groups {

namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The next blank-separated word of `text`, which loses it.
std::string_view NextWord(std::string_view& text) {
  const size_t start = std::min(text.find_first_not_of(kBlanks), text.size());
  const size_t end = std::min(text.find_first_of(kBlanks, start), text.size());
  const std::string_view word = text.substr(start, end - start);
  text.remove_prefix(end);
  return word;
}

bool ParseBlock(std::string_view word, uint16_t& block) {
  if (word.size() != 4) return false;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), block, 16);
  return error == std::errc() && end == word.data() + word.size();
}

std::string LineError(std::string_view source, int line, const std::string& what) {
  return std::string(source) + ":" + std::to_string(line) + ": " + what;
}

bool ParseLine(std::string_view line, Group& group, std::string& what) {
  for (size_t i = 0; i < group.blocks.size(); ++i) {
    const std::string_view word = NextWord(line);
    if (word.empty()) {
      what = "four blocks expected, found " + std::to_string(i);
      return false;
    }
    if (!ParseBlock(word, group.blocks[i])) {
      what = "block '" + std::string(word) + "' is not four hex digits";
      return false;
    }
  }
  if (!Trim(line).empty()) {
    what = "text after the fourth block: '" + std::string(Trim(line)) + "'";
    return false;
  }
  return true;
}

int ParseInt(std::string_view text, int low, int high) {
  int value = 0;
  text = Trim(text);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return -1;
  }
  return value;
}

void AppendGroup(std::string& out, uint16_t a, uint16_t b, uint16_t c, uint16_t d, const char* comment) {
  char blocks[32];
  std::snprintf(blocks, sizeof blocks, "%04X %04X %04X %04X  # ", a, b, c, d);
  out.append(blocks).append(comment).append("\n");
}

// Group 0A: TP and music set, the segment address in bits 1-0, two name characters in block D.
void AppendStationName(std::string& out, uint16_t pi, const std::string& ps) {
  for (int segment = 0; segment < 4; ++segment) {
    const auto first = static_cast<uint8_t>(ps[2 * static_cast<size_t>(segment)]);
    const auto second = static_cast<uint8_t>(ps[2 * static_cast<size_t>(segment) + 1]);
    char comment[40];
    std::snprintf(comment, sizeof comment, "0A segment %d \"%c%c\"", segment, first, second);
    AppendGroup(out, pi, static_cast<uint16_t>(0x0408 | segment), 0xE0CD, static_cast<uint16_t>(first << 8 | second),
                comment);
  }
}

}  // namespace

bool ParseGroups(std::string_view text, std::vector<Group>& groups, std::string& error, std::string_view sourceName) {
  groups.clear();
  int lineNumber = 0;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    ++lineNumber;
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    Group group;
    std::string what;
    if (!ParseLine(line, group, what)) {
      error = LineError(sourceName, lineNumber, what);
      return false;
    }
    groups.push_back(group);
  }
  return true;
}

std::string FormatGroup(const Group& group) {
  char text[24];
  std::snprintf(text, sizeof text, "%04X %04X %04X %04X", group.blocks[0], group.blocks[1], group.blocks[2],
                group.blocks[3]);
  return text;
}

Record TmcRecord(const Group& group) {
  Record record{'?'};
  for (size_t i = 0; i < group.blocks.size(); ++i) {
    record[1 + 2 * i] = static_cast<uint8_t>(group.blocks[i] >> 8);
    record[2 + 2 * i] = static_cast<uint8_t>(group.blocks[i] & 0xFF);
  }
  return record;
}

std::vector<Record> TmcRecords(const std::vector<Group>& groups) {
  std::vector<Record> records;
  records.reserve(groups.size());
  for (const Group& group : groups) records.push_back(TmcRecord(group));
  return records;
}

std::string MergeRecords(std::string_view nmea, const std::vector<Record>& records, const MergePlan& plan) {
  std::string out;
  out.reserve(nmea.size() + records.size() * kRecordSize);
  size_t next = 0;
  const auto insert = [&] {
    if (next == records.size()) return;
    out.append(reinterpret_cast<const char*>(records[next].data()), kRecordSize);
    ++next;
  };
  const size_t every = std::max<size_t>(plan.every, 1);
  size_t sentences = 0;
  size_t sentenceStart = std::string_view::npos;
  for (size_t i = 0; i < nmea.size(); ++i) {
    const char byte = nmea[i];
    if (plan.mode == MergeMode::kInsideSentences && byte == '$') sentenceStart = i;
    // Inside: halfway between the '$' and the line feed, found once the line feed is seen.
    if (plan.mode == MergeMode::kInsideSentences && byte == '\n' && sentenceStart != std::string_view::npos) {
      const size_t middle = out.size() - (i - sentenceStart) / 2;
      if (next < records.size()) {
        out.insert(middle, reinterpret_cast<const char*>(records[next].data()), kRecordSize);
        ++next;
      }
      sentenceStart = std::string_view::npos;
    }
    out += byte;
    if (plan.mode == MergeMode::kEveryBytes && (i + 1) % every == 0) insert();
    if (plan.mode == MergeMode::kEverySentences && byte == '\n' && ++sentences % every == 0) insert();
  }
  while (next < records.size()) insert();
  return out;
}

std::string PortStream(const std::vector<Record>& records, size_t junkBytes) {
  std::string out;
  uint32_t seed = 12345;
  for (const Record& record : records) {
    for (size_t i = 0; i < junkBytes; ++i) {
      seed = seed * 1103515245u + 12345u;
      const auto junk = static_cast<char>(seed >> 24);
      out += junk == '?' ? '!' : junk;
    }
    out.append(reinterpret_cast<const char*>(record.data()), kRecordSize);
  }
  return out;
}

bool CheckStationName(std::string_view ps, std::string& error) {
  const bool printable = std::all_of(ps.begin(), ps.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  if (!ps.empty() && ps.size() <= 8 && printable) return true;
  error = "the station name must have 1 to 8 printable ASCII characters";
  return false;
}

bool ParseEventPlan(std::string_view text, TmcEventPlan& plan, std::string& error) {
  int values[4];
  static constexpr int kHigh[4] = {2047, 65535, 7, 1};
  static constexpr const char* kNames[4] = {"event", "location", "extent", "direction"};
  for (size_t i = 0; i < 4; ++i) {
    const size_t comma = i < 3 ? text.find(',') : text.size();
    if (comma == std::string_view::npos) {
      error = "'event,location,extent,direction' expected";
      return false;
    }
    values[i] = ParseInt(text.substr(0, comma), i == 0 ? 1 : 0, kHigh[i]);
    if (values[i] < 0) {
      error = std::string(kNames[i]) + " must be " + (i == 0 ? "1" : "0") + ".." + std::to_string(kHigh[i]);
      return false;
    }
    text.remove_prefix(std::min(comma + 1, text.size()));
  }
  plan = {values[0], values[1], values[2], values[3]};
  return true;
}

std::string MakeGroupFile(const StationPlan& plan) {
  std::string ps = plan.ps.substr(0, 8);
  ps.resize(8, ' ');
  std::string out = "# Station PI " + FormatGroup({{plan.pi, 0, 0, 0}}).substr(0, 4) + " \"" + ps + "\"\n";
  out += "# The first three groups only confirm the PI; the name is complete after a full round.\n";
  AppendStationName(out, plan.pi, ps);
  AppendStationName(out, plan.pi, ps);
  char comment[64];
  std::snprintf(comment, sizeof comment, "3A: TMC in 8A, AID CD46, LTN %d", plan.ltn);
  out += "# Traffic message channel announcement, sent twice.\n";
  for (int copy = 0; copy < 2; ++copy)
    AppendGroup(out, plan.pi, 0x3410, static_cast<uint16_t>((plan.ltn & 0x3F) << 6), 0xCD46, comment);
  if (!plan.messages.empty()) out += "# Single-group messages, each sent twice as receivers expect.\n";
  for (const TmcEventPlan& m : plan.messages) {
    std::snprintf(comment, sizeof comment, "8A event %d, location %d, extent %d, direction %d", m.event, m.location,
                  m.extent, m.direction);
    const auto c = static_cast<uint16_t>((m.direction & 1) << 14 | (m.extent & 7) << 11 | (m.event & 0x7FF));
    for (int copy = 0; copy < 2; ++copy)
      AppendGroup(out, plan.pi, 0x8408, c, static_cast<uint16_t>(m.location), comment);
  }
  return out;
}

}  // namespace rds_groups
