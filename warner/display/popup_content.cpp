#include "warner/display/popup_content.h"

#include <cmath>
#include <cstdarg>

#include "platform/text/text.h"
#include "warner/gps/conversions.h"

namespace warner::display {
namespace {

constexpr uint32_t kDefaultNoFixColour = 0x0B86B8;
constexpr uint32_t kDefaultFixColour = 0x00E600;
constexpr uint32_t kDefaultOtherColour = 0x0000E6;
constexpr int kSecondsPerDay = 86400;

// A window's text stays within the buffer the windows were made for, whatever value the receiver
// sends (a course of 1e300 would otherwise fill hundreds of characters).
constexpr size_t kTextMax = 127;

[[gnu::format(printf, 1, 2)]] std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = platform::VFormat(fmt, args);
  va_end(args);
  if (text.size() > kTextMax) text.resize(kTextMax);
  return text;
}

// A value from the receiver may be anything; the windows show it cut to an int, never overflow.
int ClampToInt(double value) {
  if (!std::isfinite(value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(value);
}

void FillStatus(const PopupLayout& layout, const DisplayInputs& in, PopupContent& out) {
  std::array<uint32_t, 3> colours{layout.backColour[1], layout.backColour[2], layout.backColour[0]};
  // A layout that gives no colours of its own still tells the states apart.
  if (colours[0] == colours[1] && colours[1] == colours[2]) {
    colours = {kDefaultNoFixColour, kDefaultFixColour, kDefaultOtherColour};
  }
  out.background = colours[static_cast<size_t>(in.satellite)];
  // A narrow font is the layout's way of asking for the colour alone.
  if (layout.fontSizeX > 2) out.text = Format("%s%d", layout.dimensionText.c_str(), in.fix.satellites);
}

std::string TimeText(const PopupLayout& layout, const gps::GpsFix& fix, int biasMinutes) {
  int64_t seconds = int64_t{fix.hour} * 3600 + int64_t{fix.minute} * 60 + fix.second + layout.timeCorrSecs;
  if (layout.localTime) seconds -= int64_t{biasMinutes} * 60;
  seconds = ((seconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
  const int h = static_cast<int>(seconds / 3600);
  const int m = static_cast<int>(seconds / 60 % 60);
  const int s = static_cast<int>(seconds % 60);
  switch (layout.unitCode) {
    case 0: return Format("%02d", h);
    case 1: return Format("%02d:%02d", h, m);
    case 3: return Format("%02d:%02d:%02d.%03d", h, m, s, fix.millisecond);
    default: return Format("%02d:%02d:%02d", h, m, s);
  }
}

std::string DistanceText(const PopupLayout& layout, double meters) {
  const double value = gps::ConvertMeters(meters, layout.unitCode);
  if (layout.unitCode >= gps::kKilometers) return Format("%.3f%s", value, layout.dimensionText.c_str());
  return Format("%5d%s", ClampToInt(value), layout.dimensionText.c_str());
}

std::string CourseText(const PopupLayout& layout, double course) {
  if (layout.unitCode == 1) {
    const gps::DegMin split = gps::DegreesToDegMin(course);
    return Format("%d\u00B0%02d'\n", split.degrees, split.minutes);
  }
  return Format("%5.1f%s", course, layout.dimensionText.c_str());
}

std::string CoordinateText(const PopupLayout& layout, const DisplayInputs& in) {
  const gps::GpsFix& f = in.fix;
  std::string latitude;
  std::string longitude;
  if (layout.unitCode == 1) {
    latitude = Format("%4d\u00B0%02d'%02d\"", f.latDegrees, f.latMinutes, f.latSeconds);
    longitude = Format("%4d\u00B0%02d'%02d\"", f.lonDegrees, f.lonMinutes, f.lonSeconds);
  } else {
    latitude = Format("%10.5f%s", f.latitude, layout.dimensionText.c_str());
    longitude = Format("%10.5f%s", f.longitude, layout.dimensionText.c_str());
  }
  return in.displayLongitudeFirst ? longitude + "\n" + latitude : latitude + "\n" + longitude;
}

std::string HeightText(const PopupLayout& layout, const gps::GpsFix& fix) {
  double height = fix.altitude;
  if (layout.heightCorrection) {
    height -= fix.geoidSeparationUnit == u'M' ? fix.geoidSeparation : layout.heightCorrMeters;
  }
  if (layout.unitCode == gps::kFeet) height = gps::ConvertMeters(height, gps::kFeet);
  return Format("%5d%s", ClampToInt(std::round(height)), layout.dimensionText.c_str());
}

std::string TrafficText(const PopupLayout& layout, const DisplayInputs& in) {
  const char* dim = layout.dimensionText.c_str();
  if (layout.showRadioStation) return Format("%s\n%s%d", in.stationText.c_str(), dim, in.trafficMessageCount);
  return Format("%s%d", dim, in.trafficMessageCount);
}

void FillBattery(const PopupLayout& layout, const BatteryState& battery, PopupContent& out) {
  using Source = BatteryState::Source;
  const char* dim = layout.dimensionText.c_str();
  size_t band = 3;
  switch (battery.source) {
    case Source::kMains: out.text = Format(">>%s", dim); break;
    case Source::kBackup: out.text = Format("><%s", dim); break;
    case Source::kFullOnBattery: out.text = Format("++%s", dim); break;
    case Source::kBattery:
      if (battery.percent >= 0 && battery.percent <= 100) {
        out.text = Format("%d%s", battery.percent, dim);
        band = battery.percent < 25 ? 0 : battery.percent < 50 ? 1 : battery.percent < 75 ? 2 : 3;
        break;
      }
      [[fallthrough]];
    case Source::kUnknown: out.text = Format("??%s", dim); break;
  }
  out.background = layout.backColour[band];
  out.textColour = layout.textColour[band];
}

}  // namespace

BatteryState BatteryFromPower(const platform::PowerStatus& power) {
  using Source = BatteryState::Source;
  if (!power.known) return {Source::kUnknown, -1};
  if (power.onMains) return {Source::kMains, power.percent};
  if (power.batteryFull) return {Source::kFullOnBattery, power.percent};
  return {power.percent >= 0 ? Source::kBattery : Source::kUnknown, power.percent};
}

PopupContent BlankContent(const PopupLayout& layout) {
  PopupContent content;
  content.background = layout.backColour[0];
  content.textColour = layout.textColour[0];
  content.textAlign = layout.textAlign;
  if (layout.code == FieldCode::kHEAD || layout.code == FieldCode::kDIRC) content.needleAngle = 0.0;
  return content;
}

PopupContent ComputeContent(const PopupLayout& layout, const DisplayInputs& in) {
  PopupContent out = BlankContent(layout);
  const gps::GpsFix& fix = in.fix;
  const char* dim = layout.dimensionText.c_str();
  switch (layout.code) {
    case FieldCode::kPSNT: FillStatus(layout, in, out); break;
    case FieldCode::kTIME: out.text = TimeText(layout, fix, in.timeZoneBiasMinutes); break;
    case FieldCode::kANNO:
      out.bitmapPath = in.announcementBitmap;
      out.text = in.announcementText.empty() ? "?" : in.announcementText;
      break;
    case FieldCode::kANDI: out.text = DistanceText(layout, in.announcementDistance); break;
    case FieldCode::kSPED:
      out.text = Format("%4d%s", ClampToInt(gps::ConvertKmh(fix.speedKmh, layout.unitCode) + 0.5), dim);
      break;
    case FieldCode::kHEAD:
      out.text = CourseText(layout, fix.course);
      out.needleAngle = fix.course;
      break;
    case FieldCode::kCOOR: out.text = CoordinateText(layout, in); break;
    case FieldCode::kHGHT: out.text = HeightText(layout, fix); break;
    case FieldCode::kHDOP: out.text = Format("%3.1f%s", fix.hdop, dim); break;
    case FieldCode::kTMCS: out.text = TrafficText(layout, in); break;
    case FieldCode::kBATT: FillBattery(layout, in.battery, out); break;
    default: break;
  }
  return out;
}

}  // namespace warner::display
