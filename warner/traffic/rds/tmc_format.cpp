#include "warner/traffic/rds/tmc_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/bytes/little_endian.h"
#include "platform/text/text.h"

namespace traffic {

namespace {

constexpr int kWordBits = 28;

// Value widths of the free-format labels 0..15 (ALERT-C, optional message content).
constexpr int kLabelWidths[16] = {3, 3, 5, 5, 5, 8, 8, 8, 8, 11, 16, 16, 16, 16, 0, 0};
constexpr int kLabelControlCode = 1;
constexpr int kLabelRouteLength = 2;
constexpr uint32_t kControlDirectionalityChanged = 2;
constexpr uint32_t kControlDiversionAdvised = 5;

// Reads the data words as one bit string, most significant bit first; bits past `totalBits` are 0.
class FreeFormatBits {
 public:
  FreeFormatBits(const TmcMessage& message, int words) : message_(message), totalBits_(words * kWordBits) {}

  bool AtEnd() const { return position_ >= totalBits_; }
  uint32_t Read(int width) {
    uint32_t value = 0;
    for (int i = 0; i < width; ++i, ++position_) {
      value <<= 1;
      if (position_ < totalBits_) {
        const uint32_t word = message_.dataWords[static_cast<size_t>(position_ / kWordBits)];
        value |= (word >> (kWordBits - 1 - position_ % kWordBits)) & 1;
      }
    }
    return value;
  }

 private:
  const TmcMessage& message_;
  const int totalBits_;
  int position_ = 0;
};

// Length of route affected, in km (ALERT-C quantifier table of label 2).
std::string RouteLengthText(uint32_t code) {
  char km[8];
  if (code == 0) return ">100 km";
  const uint32_t length = code <= 10 ? code : code <= 15 ? 10 + 2 * (code - 10) : 25 + 5 * (code - 16);
  std::snprintf(km, sizeof km, "%u km", length);
  return km;
}

// A NUL-terminated field of a record image; the field's size bounds it when the NUL is missing.
template <size_t N>
std::string_view Field(const uint8_t (&image)[N], size_t offset, size_t size) {
  const char* begin = reinterpret_cast<const char*>(image + offset);
  return {begin, strnlen(begin, size)};
}

std::string_view LocationName(const uint8_t (&image)[kLocationImageSize]) {
  return Field(image, kLocationNameOffset, kLocationNameSize);
}
std::string_view LocationTextA(const uint8_t (&image)[kLocationImageSize]) {
  return Field(image, kLocationTextAOffset, kLocationTextASize);
}
std::string_view LocationTextB(const uint8_t (&image)[kLocationImageSize]) {
  return Field(image, kLocationTextBOffset, kLocationTextBSize);
}

// The message text under construction: nothing goes past kTmcTextMax bytes.
class TextBuilder {
 public:
  void Append(std::string_view piece) {
    const size_t room = kTmcTextMax - text_.size();
    text_.append(piece.substr(0, room));
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

void TraceMessage(const TmcMessage& m) {
  if (!m.trace.At(3)) return;
  TraceSink& sink = *m.trace.sink;
  sink.Printf("TMC%c: Location %d: Event %d, Dir %c Ext %d for %d.", m.KindLetter(), m.location, m.event,
              m.direction == 1 ? '-' : '+', m.extent, m.duration);
  sink.Printf(" AddBits ");
  for (const uint32_t word : m.dataWords) sink.Printf(" %08X", word);
  sink.Printf("\n");
}

std::string EventPart(const TmcMessage& m, const uint8_t (&event)[kEventImageSize]) {
  std::string text(Field(event, kEventTextOffset, kEventTextSize));
  if (const size_t at = text.find("(L)"); at != std::string::npos) text.replace(at, 3, m.quantityText);
  return text;
}

std::string_view Arrow(const TmcMessage& m, const uint8_t (&event)[kEventImageSize]) {
  if (m.extent == 0) return ": ";
  switch (event[kEventDirectionalityOffset]) {
    case '1': return m.reversed ? "<-> " : "-> ";
    case '2': return m.reversed ? "-> " : "<-> ";
    default: return ": ";
  }
}

// ", %s " with text b, else text a, when either is there.
void AppendSecondText(TextBuilder& text, const uint8_t (&image)[kLocationImageSize]) {
  std::string_view extra = LocationTextB(image);
  if (extra.empty()) extra = LocationTextA(image);
  if (extra.empty()) return;
  text.Append(", ");
  text.Append(extra);
  text.Append(" ");
}

// "TextA " (when there is one) and the name.
void AppendTextAAndName(TextBuilder& text, const uint8_t (&image)[kLocationImageSize]) {
  if (const std::string_view a = LocationTextA(image); !a.empty()) {
    text.Append(a);
    text.Append(" ");
  }
  text.Append(LocationName(image));
}

}  // namespace

void DecodeFreeFormat(TmcMessage& message) {
  if (message.groupCount < 0) return;
  message.quantityText.clear();
  const int words = std::min<int>(message.groupCount + 1, static_cast<int>(kTmcDataWords));
  FreeFormatBits bits(message, words);
  while (!bits.AtEnd()) {
    const uint32_t label = bits.Read(4);
    const uint32_t value = bits.Read(kLabelWidths[label]);
    if (label == kLabelControlCode && value == kControlDirectionalityChanged) message.reversed = 1;
    if (label == kLabelControlCode && value == kControlDiversionAdvised) message.diversion = 1;
    if (label == kLabelRouteLength) message.quantityText = RouteLengthText(value);
  }
}

int FormatTmcMessage(TmcMessage& m, CodeLists& codeLists) {
  TraceMessage(m);
  uint8_t event[kEventImageSize];
  bool found = codeLists.LookupEvent(static_cast<uint32_t>(m.event), event) >= 0;
  DecodeFreeFormat(m);
  const std::string eventPart = EventPart(m, event);
  const std::string_view arrow = Arrow(m, event);

  uint8_t first[kLocationImageSize];
  found = codeLists.LookupLocation(static_cast<uint32_t>(m.location), first) >= 0 && found;
  const uint8_t flag = first[kLocationFlagOffset];
  TextBuilder text;
  uint8_t parent[kLocationImageSize];
  if (flag != 0 && codeLists.LookupLocation(platform::GetLe32(first + kLocationParentOffset), parent) >= 0) {
    text.Append(LocationName(parent));
    text.Append(" ");
  }
  if (m.extent != 0) {
    uint8_t last[kLocationImageSize];
    found = codeLists.WalkLocation(first, m.direction, m.extent, last) >= 0 && found;
    if (flag != 0) {
      text.Append(LocationName(last));
      AppendSecondText(text, last);
    } else {
      AppendTextAAndName(text, last);
      text.Append(" ");
    }
    text.Append(arrow);
    text.Append(LocationName(first));
  } else if (flag != 0) {
    text.Append(LocationName(first));
    AppendSecondText(text, first);
  } else {
    AppendTextAAndName(text, first);
  }

  text.Append(": ");
  text.Append(eventPart);
  text.Append(platform::Format(
      " { L %d, E %d, R %s, D %d, X %d, U %d, DV %d", m.location, m.event,
      std::string(Field(event, kEventShortTextOffset, kEventImageSize - kEventShortTextOffset)).c_str(), m.direction,
      m.extent, flag, m.diversion));
  if (m.groupCount >= 0) {
    text.Append(", AB");
    for (int i = 0; i <= m.groupCount && i < static_cast<int>(kTmcDataWords); ++i) {
      text.Append(platform::Format(" %08X", m.dataWords[static_cast<size_t>(i)]));
    }
  }
  text.Append("}");
  m.text = text.Take();
  return found ? 0 : -1;
}

}  // namespace traffic
