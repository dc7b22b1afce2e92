#include "text.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace platform {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F, so a 32-entry table is exact where iconv
// would refuse the five undefined bytes; those keep their C1 control here, which makes the
// conversion total and lets any byte round-trip.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr char32_t kNoCode = 0xFFFFFFFF;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

char32_t Cp1252ToCodePoint(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : byte;
}

// Returns the byte, or kNoCode when Windows-1252 has no code for the character.
char32_t CodePointToCp1252(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return codePoint;
  const auto* found = std::find(kCp1252High.begin(), kCp1252High.end(), codePoint);
  if (found == kCp1252High.end()) return kNoCode;
  return 0x80 + static_cast<char32_t>(found - kCp1252High.begin());
}

// Every Windows-1252 character lies in the Basic Multilingual Plane: at most three bytes.
void AppendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

struct Decoded {
  char32_t codePoint;
  size_t length;  // 0: the byte at the position does not start a well-formed character
};

// Decodes one character at `pos`, accepting only the well-formed sequences: the narrowed
// second-byte ranges after E0, ED, F0 and F4 shut out overlong forms, surrogates and values
// above U+10FFFF.
Decoded DecodeUtf8(std::string_view text, size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  char32_t codePoint = 0;
  unsigned char secondLow = 0x80;
  unsigned char secondHigh = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
    if (lead == 0xE0) secondLow = 0xA0;
    if (lead == 0xED) secondHigh = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
    if (lead == 0xF0) secondLow = 0x90;
    if (lead == 0xF4) secondHigh = 0x8F;
  } else {
    return {0, 0};
  }
  if (text.size() - pos < length) return {0, 0};
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    const bool inRange = i == 1 ? byte >= secondLow && byte <= secondHigh : IsContinuation(byte);
    if (!inRange) return {0, 0};
    codePoint = (codePoint << 6) | (byte & 0x3F);
  }
  return {codePoint, length};
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameNoCase(char a, char b) { return LowerAscii(a) == LowerAscii(b); }

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char byte : bytes) {
    AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(byte)));
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8, char replacement, size_t* replaced) {
  std::string out;
  out.reserve(utf8.size());
  size_t replacedCount = 0;
  for (size_t pos = 0; pos < utf8.size();) {
    const Decoded decoded = DecodeUtf8(utf8, pos);
    // A malformed sequence gives up its first byte only, so each bad byte is one replacement.
    const char32_t byte = decoded.length == 0 ? kNoCode : CodePointToCp1252(decoded.codePoint);
    if (byte == kNoCode) {
      out += replacement;
      ++replacedCount;
    } else {
      out += static_cast<char>(byte);
    }
    pos += std::max<size_t>(decoded.length, 1);
  }
  if (replaced != nullptr) *replaced = replacedCount;
  return out;
}

size_t Utf8CompleteLength(std::string_view text) {
  // The last character starts at most three continuation bytes before the end; the byte before
  // them, if it leads a sequence, says how long that character must be.
  size_t continuations = 0;
  while (continuations < 3 && continuations < text.size() &&
         IsContinuation(static_cast<unsigned char>(text[text.size() - 1 - continuations]))) {
    ++continuations;
  }
  if (continuations == text.size()) return text.size();
  const size_t leadPos = text.size() - 1 - continuations;
  const auto lead = static_cast<unsigned char>(text[leadPos]);
  const size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return needed > continuations + 1 ? leadPos : text.size();
}

bool IsValidUtf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    const size_t length = DecodeUtf8(text, pos).length;
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

std::string FileTextToUtf8(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

std::string TerminalSafe(std::string_view text, std::string_view keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const Decoded decoded = DecodeUtf8(text, pos);
    const bool kept = decoded.length == 1 && keep.find(text[pos]) != std::string_view::npos;
    const bool control = decoded.length != 0 && !kept &&
                         (decoded.codePoint < 0x20 || decoded.codePoint == 0x7F ||
                          (decoded.codePoint >= 0x80 && decoded.codePoint < 0xA0));
    if (decoded.length == 0 || (control && decoded.codePoint < 0x80)) {
      const auto byte = static_cast<unsigned char>(text[pos]);
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
      ++pos;
    } else if (control) {
      // A C1 control (two bytes in UTF-8) is shown by its code, as the single-byte ones are.
      out += "\\u00";
      out += kHex[decoded.codePoint >> 4];
      out += kHex[decoded.codePoint & 0xF];
      pos += decoded.length;
    } else {
      out.append(text.substr(pos, decoded.length));
      pos += decoded.length;
    }
  }
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameNoCase);
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const int diff = static_cast<unsigned char>(LowerAscii(a[i])) - static_cast<unsigned char>(LowerAscii(b[i]));
    if (diff != 0) return diff;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return true;  // std::search finds nothing in an empty haystack
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), SameNoCase) != haystack.end();
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
  return out;
}

std::string VFormat(const char* fmt, va_list args) {
  // Most texts fit the stack buffer, so the format usually runs once.
  char small[1024];
  va_list again;
  va_copy(again, args);
  // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized): every caller starts `args`.
  const int length = std::vsnprintf(small, sizeof small, fmt, args);
  std::string text;
  if (length >= static_cast<int>(sizeof small)) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), fmt, again);
    text.resize(static_cast<size_t>(length));
  } else if (length > 0) {
    text.assign(small, static_cast<size_t>(length));
  }
  va_end(again);
  return text;
}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = VFormat(fmt, args);
  va_end(args);
  return text;
}

}  // namespace platform
