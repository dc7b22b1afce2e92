// Any text as the alternate file's content, decoded as position source and as radio source. The
// pass must keep its promises: results from the documented set, finite values, a station of at
// most 42 bytes before its conversion, a fix untouched by the radio pass and a count of failed
// passes that only ever moves by one.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "warner/gps/gps_fix.h"
#include "warner/serial/alternate_source.h"

namespace {

void CheckFinite(const gps::GpsFix& f) {
  for (double v : {f.latitude, f.longitude, f.speedKmh, f.course}) {
    if (!std::isfinite(v)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const serial::AlternateFields fields = serial::ParseAlternateText(text);
  if (fields.station.size() > serial::kStationChars) std::abort();
  const bool satellitesKey = text.substr(0, text.find('\0')).find("nsat =") != std::string_view::npos;
  if (fields.satellitesGiven != satellitesKey) std::abort();

  platform::SystemTime time;
  time.hour = 23;
  time.minute = 59;
  time.second = 59;
  time.milliseconds = 999;
  gps::GpsFix fix;
  fix.badSentenceCount = 5;
  serial::RadioValues radio;
  const int position = serial::DecodeAlternatePass(text, true, time, fix, radio);
  if (position != 0 && position != 1 && position != -3) std::abort();
  if ((position == 0) != (fix.badSentenceCount == 0)) std::abort();
  if (position != 0 && fix.badSentenceCount != 6) std::abort();
  if (position == 1 && (radio.messageCount != 0 || !radio.station.empty())) std::abort();
  CheckFinite(fix);

  gps::GpsFix untouched;
  const int radioOnly = serial::DecodeAlternatePass(text, false, time, untouched, radio);
  if (radioOnly != 0 && radioOnly != 1) std::abort();
  if (!(untouched == gps::GpsFix{})) std::abort();
  return 0;
}
