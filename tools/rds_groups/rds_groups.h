#pragma once
// RDS groups as people write them, and the byte streams a TMC receiver sends: records merged into
// an NMEA log (the receiver on the GPS line) or a plain stream of records (a TMC port).
//
// Text form, one group a line: four blocks A B C D of four hex digits separated by blanks or tabs
// ("D301 0408 2037 4148"); '#' starts a comment (to the line end); blank lines are ignored.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rds_groups {

struct Group {
  std::array<uint16_t, 4> blocks{};
};

// A receiver record: '?', the blocks high byte first, one unused byte 0.
inline constexpr size_t kRecordSize = 10;
using Record = std::array<uint8_t, kRecordSize>;

// False with "<sourceName>:<line>: <what is wrong>" in `error`.
bool ParseGroups(std::string_view text, std::vector<Group>& groups, std::string& error,
                 std::string_view sourceName = "groups");
// "D301 0408 2037 4148"
std::string FormatGroup(const Group& group);

Record TmcRecord(const Group& group);
std::vector<Record> TmcRecords(const std::vector<Group>& groups);

// Where records go into an NMEA stream: one record after every `every` bytes, after every
// `every`-th sentence, or into the middle of each sentence.
enum class MergeMode { kEveryBytes, kEverySentences, kInsideSentences };
struct MergePlan {
  MergeMode mode = MergeMode::kEverySentences;
  size_t every = 1;  // at least 1; not used inside sentences
};

// The NMEA bytes with the records merged in, in order; records left when the NMEA stream ends
// follow it. A sentence is what runs from '$' to the next line feed.
std::string MergeRecords(std::string_view nmea, const std::vector<Record>& records, const MergePlan& plan);

// The records one after another with `junkBytes` bytes between them (fixed pseudo-random bytes,
// never '?', so the reader has to skip them).
std::string PortStream(const std::vector<Record>& records, size_t junkBytes = 0);

// A sample group file for a station that carries traffic messages.
struct TmcEventPlan {
  int event = 0;      // 1..2047
  int location = 0;   // 0..65535
  int extent = 0;     // 0..7
  int direction = 0;  // 0 or 1
};
struct StationPlan {
  uint16_t pi = 0xD301;
  std::string ps;  // up to 8 characters (see CheckStationName), padded with blanks
  int ltn = 1;     // 0..63
  std::vector<TmcEventPlan> messages;
};
// A station name is 1 to 8 bytes, one a character. The RDS character set agrees with ASCII only in
// its printable part, so anything else (a UTF-8 'ü' is two bytes) is refused with a message in
// `error` rather than sent as something the radio shows differently.
bool CheckStationName(std::string_view ps, std::string& error);
// "event,location,extent,direction" into `plan`; false with a message in `error`.
bool ParseEventPlan(std::string_view text, TmcEventPlan& plan, std::string& error);
// Station name groups (past the three-group PI confirmation), the TMC announcement (3A, AID
// 0xCD46, variant 0 with the LTN) and each message as a single-group 8A group sent twice.
std::string MakeGroupFile(const StationPlan& plan);

}  // namespace rds_groups
