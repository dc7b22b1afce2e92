#pragma once
// The station state that the RDS group decoders share, the traffic messages they keep, and the
// part of it that the display shows.

#include <array>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>

#include "platform/clock/clock.h"
#include "warner/traffic/rds/trace_sink.h"

namespace traffic {

// Change bits of CGroupDecoder::Decode and CRDSDecoder::DecodeGroup.
inline constexpr uint32_t kChangePty = 0x0001;  // also the programme type name of group 10A
inline constexpr uint32_t kChangeStationName = 0x0002;
inline constexpr uint32_t kChangeTrafficFlags = 0x0004;  // TP, TA or music/speech
inline constexpr uint32_t kChangeRadioText = 0x0020;
inline constexpr uint32_t kChangeClockTime = 0x0040;
inline constexpr uint32_t kChangeOdaData = 0x0080;
inline constexpr uint32_t kChangeProgramItem = 0x0100;
inline constexpr uint32_t kChangeLinkage = 0x0200;
inline constexpr uint32_t kChangeSlowLabel = 0x0400;
inline constexpr uint32_t kChangeTmcCompleted = 0x1000;
inline constexpr uint32_t kChangeTmcUpdated = 0x2000;
inline constexpr uint32_t kChangePi = 0xFFFF;
inline constexpr uint32_t kChangeFault = 0xFFFFFFFF;

// The two application identifiers under which a station carries traffic messages.
inline constexpr uint16_t kTmcAid = 0xCD46;
inline constexpr uint16_t kTmcAidAlternative = 0x0802;
inline bool IsTmcAid(uint32_t aid) { return aid == kTmcAid || aid == kTmcAidAlternative; }

inline constexpr uint32_t kWordNotReceived = 0xFFFFFFFF;
inline constexpr size_t kTmcDataWords = 4;
inline constexpr size_t kTmcTextMax = 260;
inline constexpr size_t kLogPathMax = 259;
inline constexpr size_t kPsLength = 8;

// One distinct traffic message, from its first decoded group until the store is freed.
struct TmcMessage {
  static constexpr uint8_t kMultiGroup = 0;
  static constexpr uint8_t kSingleGroup = 1;
  static constexpr int32_t kNeverCompleted = -2;

  uint8_t complete = 0;
  uint8_t countryCode = 0;
  uint8_t ltn = 0;
  uint8_t kind = kMultiGroup;
  platform::SystemTime time;  // local; creation, then the last changed data word
  int32_t event = 0;
  int32_t location = 0;
  int32_t extent = 0;     // 0..7
  int32_t direction = 0;  // 0 or 1
  uint8_t duration = 0;
  int8_t diversion = 0;
  int32_t groupCount = -1;  // GSI of the second group; -1 before it
  std::array<uint32_t, kTmcDataWords> dataWords{kWordNotReceived, kWordNotReceived, kWordNotReceived, kWordNotReceived};
  int32_t index = 0;
  std::string quantityText;  // "%s km", at most 9 characters
  uint8_t reversed = 0;
  std::string text;         // the formatted message, at most kTmcTextMax bytes
  std::string stationName;  // PS when created, at most 8 bytes (Windows-1252)
  int32_t ci = -1;
  int32_t remaining = -1;
  std::array<platform::SystemTime, kTmcDataWords> wordTime{};
  Trace trace;

  // What the last completion held, so that a message sent again unchanged is not counted and
  // logged once more.
  int32_t completedGroupCount = kNeverCompleted;
  std::array<uint32_t, kTmcDataWords> completedWords{};

  bool SameMessageAs(const TmcMessage& other) const {
    return countryCode == other.countryCode && ltn == other.ltn && event == other.event && location == other.location;
  }
  char KindLetter() const { return kind == kSingleGroup ? 'S' : 'M'; }
};

// The state of the station being received, shared by all group decoders of one CRDSDecoder.
struct RdsState {
  int countryCode = 0;
  uint32_t aid = 0;
  int ltn = 0;
  int sid = 0;
  int ta = 0;
  std::array<char, kPsLength + 1> ps{};
  int32_t tmcMessageCount = 0;
  std::list<TmcMessage> messages;  // newest first
  uint32_t storeGeneration = 0;    // changes whenever the store is freed
  std::string logPath;             // Linux path; empty: no traffic log

  void FreeMessages() {
    messages.clear();
    ++storeGeneration;
  }
};

// What the TMCS display field shows.
struct TmcStatus {
  std::string stationName;  // UTF-8, at most 20 characters
  int32_t messageCount = 0;

  bool operator==(const TmcStatus&) const = default;
};

// TmcStatus as the worker writes it and the interface thread reads it: every reader gets a whole
// copy, never a station name that is half written.
class SharedTmcStatus {
 public:
  TmcStatus Snapshot() const {
    std::lock_guard guard(mutex_);
    return status_;
  }
  void SetStationName(std::string name) {
    std::lock_guard guard(mutex_);
    status_.stationName = std::move(name);
  }
  void SetMessageCount(int32_t count) {
    std::lock_guard guard(mutex_);
    status_.messageCount = count;
  }
  void Clear() {
    std::lock_guard guard(mutex_);
    status_ = TmcStatus{};
  }

 private:
  mutable std::mutex mutex_;
  TmcStatus status_;
};

// PS (Windows-1252 bytes up to the first NUL) as the display shows it.
std::string StationNameFromPs(const std::array<char, kPsLength + 1>& ps);

}  // namespace traffic
