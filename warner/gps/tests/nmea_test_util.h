#pragma once
// Builders for NMEA test input and a decoder wired the way the worker thread drives it.

#include <cstdio>
#include <string>
#include <vector>

#include "warner/gps/nmea_decoder.h"

namespace gps::testing {

// "$" + body + "*" + checksum + CR LF.
inline std::string Nmea(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFF);
  return "$" + body + tail;
}

// The reference sentences the tests share.
inline const std::string kRmc = Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
inline const std::string kGgaFix = Nmea("GPGGA,123520.25,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,");
inline const std::string kVtg = Nmea("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K");

struct FrameEvent {
  int next;
  std::string sentence;
};

// Runs bytes through the framer in 64-byte refills and records every result but "used up".
class FramerHarness {
 public:
  explicit FramerHarness(NmeaSettings settings = {}) : decoder(lock) {
    decoder.SetSettings(settings);
    decoder.ResetGpsFix();
  }

  std::vector<FrameEvent> Feed(const std::string& bytes) {
    std::vector<FrameEvent> events;
    for (size_t at = 0; at < bytes.size();) {
      at += decoder.FeedInput({reinterpret_cast<const uint8_t*>(bytes.data()) + at, bytes.size() - at});
      for (int r; (r = decoder.NextSentence()) != kFrameInputUsedUp;) {
        events.push_back({r, r == kFrameSentence ? std::string(decoder.Sentence()) : std::string()});
      }
    }
    return events;
  }

  // Frames and parses one complete sentence; returns the parse result.
  int Parse(const std::string& sentence) {
    int result = 99;
    for (const FrameEvent& e : Feed(sentence)) {
      if (e.next == kFrameSentence) result = decoder.ParseSentence();
    }
    return result;
  }

  platform::CriticalSection lock;
  NmeaDecoder decoder;
};

}  // namespace gps::testing
