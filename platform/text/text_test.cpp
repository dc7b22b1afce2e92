#include "platform/text/text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

std::string Byte(int value) { return std::string(1, static_cast<char>(value)); }

TEST(Cp1252, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += Byte(b);
  size_t replaced = 99;
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all), '?', &replaced), all);
  EXPECT_EQ(replaced, 0u);
}

TEST(Cp1252, HighBytesFollowTheWindowsTable) {
  EXPECT_EQ(Cp1252ToUtf8(Byte(0x80)), "\u20AC");
  EXPECT_EQ(Cp1252ToUtf8(Byte(0x85)), "\u2026");
  EXPECT_EQ(Cp1252ToUtf8(Byte(0x8A)), "\u0160");
  EXPECT_EQ(Cp1252ToUtf8(Byte(0x8C)), "\u0152");
  EXPECT_EQ(Cp1252ToUtf8(Byte(0x99)), "\u2122");
  EXPECT_EQ(Cp1252ToUtf8(Byte(0x9F)), "\u0178");
  EXPECT_EQ(Cp1252ToUtf8(Byte(0xB0)), "\u00B0");
  EXPECT_EQ(Cp1252ToUtf8(Byte(0xFF)), "\u00FF");
  EXPECT_EQ(Cp1252ToUtf8("A\x7F"), "A\x7F");
}

TEST(Cp1252, UndefinedBytesBecomeTheirC1Control) {
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    const std::string expected = {static_cast<char>(0xC2), static_cast<char>(b)};
    EXPECT_EQ(Cp1252ToUtf8(Byte(b)), expected) << b;
  }
}

TEST(Cp1252, CharactersWithoutCodeAreReplacedAndCounted) {
  size_t replaced = 0;
  // U+0080 is a C1 control that Windows-1252 spends on the euro sign; U+4E2D and U+1F600 have
  // no single-byte code at all.
  EXPECT_EQ(Utf8ToCp1252("a\u0080b\u4E2Dc\U0001F600\u20AC", '_', &replaced), "a_b_c_\x80");
  EXPECT_EQ(replaced, 3u);
  EXPECT_EQ(Utf8ToCp1252("Stra\u00DFe 12\u00B0"),
            "Stra\xDF"
            "e 12\xB0");
}

struct MalformedCase {
  const char* name;
  std::string input;
  std::string expected;
  size_t replaced;
};

TEST(Cp1252, MalformedUtf8CountsEachBadByteOnce) {
  const MalformedCase cases[] = {
      {"stray continuation", "a\x80z", "a?z", 1},          {"overlong slash", "\xC0\xAFz", "??z", 2},
      {"overlong three-byte", "\xE0\x80\xAFz", "???z", 3}, {"surrogate", "\xED\xA0\x80z", "???z", 3},
      {"above U+10FFFF", "\xF4\x90\x80\x80z", "????z", 4}, {"invalid lead", "\xFFz", "?z", 1},
      {"truncated by next char", "\xE2\x82z", "??z", 2},   {"truncated at end", "z\xF0\x9F\x98", "z???", 3},
  };
  for (const auto& c : cases) {
    size_t replaced = 0;
    EXPECT_EQ(Utf8ToCp1252(c.input, '?', &replaced), c.expected) << c.name;
    EXPECT_EQ(replaced, c.replaced) << c.name;
  }
}

TEST(Utf8Cut, DropsACharacterCutOffAtTheEnd) {
  const std::string text = "ab\u20AC";  // the euro sign takes bytes 2..4
  EXPECT_EQ(Utf8CompleteLength(text), 5u);
  EXPECT_EQ(Utf8CompleteLength(text.substr(0, 4)), 2u);
  EXPECT_EQ(Utf8CompleteLength(text.substr(0, 3)), 2u);
  EXPECT_EQ(Utf8CompleteLength(text.substr(0, 2)), 2u);
  EXPECT_EQ(Utf8CompleteLength(std::string("\U0001F600").substr(0, 3)), 0u);
  EXPECT_EQ(Utf8CompleteLength(""), 0u);
}

TEST(Utf8Cut, StrayContinuationBytesAreKept) {
  EXPECT_EQ(Utf8CompleteLength("ab\x80\x80\x80\x80"), 6u);
  EXPECT_EQ(Utf8CompleteLength("\x80\x80"), 2u);
}

TEST(NoCase, EqualityFoldsAsciiLettersOnly) {
  EXPECT_TRUE(EqualsNoCase("COM6:", "com6:"));
  EXPECT_FALSE(EqualsNoCase("COM6", "COM6:"));
  EXPECT_FALSE(EqualsNoCase("[", "{"));  // 0x5B and 0x7B differ by the case bit but are no letters
  EXPECT_FALSE(EqualsNoCase("\u00C4", "\u00E4"));
  EXPECT_TRUE(EqualsNoCase("", ""));
}

TEST(NoCase, CompareOrdersLikeStricmp) {
  EXPECT_EQ(CompareNoCase("Alarm", "aLARM"), 0);
  EXPECT_LT(CompareNoCase("apple", "Banana"), 0);
  EXPECT_GT(CompareNoCase("Banana", "apple"), 0);
  EXPECT_LT(CompareNoCase("Speed", "speeds"), 0);
  EXPECT_GT(CompareNoCase("speeds", "Speed"), 0);
  // Folding to lower case puts '_' (0x5F) before the letters, as stricmp does.
  EXPECT_LT(CompareNoCase("_x", "Ax"), 0);
  // Bytes compare unsigned: a non-ASCII byte sorts after ASCII.
  EXPECT_GT(CompareNoCase("\xE4", "z"), 0);
}

TEST(NoCase, ContainsFindsAnyCase) {
  EXPECT_TRUE(ContainsNoCase("Driver Warner", "WARN"));
  EXPECT_TRUE(ContainsNoCase("abc", "C"));
  EXPECT_FALSE(ContainsNoCase("abc", "abcd"));
  EXPECT_TRUE(ContainsNoCase("", ""));
  EXPECT_FALSE(ContainsNoCase("", "a"));
}

TEST(NoCase, CaseChangesLeaveOtherBytesAlone) {
  EXPECT_EQ(ToLowerAscii("AbZ@[\u00C4"), "abz@[\u00C4");
  EXPECT_EQ(ToUpperAscii("aBz`{\u00E4"), "ABZ`{\u00E4");
}

TEST(FileText, Utf8IsKeptAndEverythingElseIsWindows1252) {
  EXPECT_EQ(FileTextToUtf8("nav \xC3\xBC"), "nav \u00FC");            // UTF-8 from a Linux editor
  EXPECT_EQ(FileTextToUtf8("nav \xFC"), "nav \u00FC");                // the same name in Windows-1252
  EXPECT_EQ(FileTextToUtf8("\xC3\xBC \xFC"), "\u00C3\u00BC \u00FC");  // one bad byte: all of it 1252
  EXPECT_EQ(FileTextToUtf8("plain"), "plain");
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(FileText, TerminalSafeEscapesControlsAndBadBytes) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"a\x1B[2Jb", "a\\x1B[2Jb"},  // an escape sequence cannot clear the screen
      {"tab\there\r\n", "tab\\x09here\\x0D\\x0A"},
      {"\xFC\xC3", "\\xFC\\xC3"},  // not UTF-8: each byte shown by its value
      {"\xC2\x9B", "\\u009B"},     // the one-character CSI of C1
      {"\u00FC\u20AC \\ ok\x7F", "\u00FC\u20AC \\ ok\\x7F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TerminalSafe(c.in), c.out) << c.in;
    EXPECT_TRUE(IsValidUtf8(TerminalSafe(c.in)));
  }
  // A log keeps its own line ends and tabs; everything else is escaped as before.
  EXPECT_EQ(TerminalSafe("a\tb\r\n\x1B", "\n\t"), "a\tb\\x0D\n\\x1B");
}

TEST(Format, TextIsWholeBeyondTheStackBuffer) {
  const std::string longName(3000, 'x');
  EXPECT_EQ(Format("%s=%d", "a", 42), "a=42");
  EXPECT_EQ(Format("%s", ""), "");
  EXPECT_EQ(Format("<%s>", longName.c_str()), "<" + longName + ">");
  EXPECT_EQ(Format("%1023d|", 7).size(), 1024u);
}

}  // namespace
}  // namespace platform
