#pragma once
// Text as the programs handle it: UTF-8 inside, Windows-1252 in the files they read and write
// (POI lists, .snt files, configuration), and the ASCII case-blind compares they use for names.

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Every byte has a character, so this never fails: 0x80-0x9F follow the Windows-1252 table, and
// the five bytes that table leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 control
// of the same value, so that any file read and written back keeps its bytes.
std::string Cp1252ToUtf8(std::string_view bytes);

// The reverse. A character without a single-byte code, and every byte of malformed UTF-8
// (overlong forms, truncated sequences, surrogates, values above U+10FFFF), becomes
// `replacement`; `replaced`, when given, receives how many times that happened.
std::string Utf8ToCp1252(std::string_view utf8, char replacement = '?', size_t* replaced = nullptr);

// The length of `text` without a UTF-8 character that was cut off at its end, for texts cut to a
// fixed buffer: keeping that length never leaves half a character behind.
size_t Utf8CompleteLength(std::string_view text);

// Configuration and settings files come from handheld-era editors (Windows-1252) and from Linux
// editors (UTF-8): a text that is valid UTF-8 is taken as such, anything else as Windows-1252.
// Plain ASCII is both, and Windows-1252 text with letters beyond ASCII is hardly ever valid UTF-8.
bool IsValidUtf8(std::string_view text);
std::string FileTextToUtf8(std::string_view bytes);

// What may go to a terminal: valid UTF-8 without control characters, so a garbage input line
// can neither break the output's encoding nor send escape sequences. Controls (tab included) and
// DEL become \xNN, the C1 controls \u00NN, a byte that is not part of a well-formed character
// \xNN; a backslash stays as it is. The characters of `keep` ("\n" for a message of several
// lines, "\n\t" for a log) are the text's own layout and pass unchanged.
std::string TerminalSafe(std::string_view text, std::string_view keep = {});

// Case-blind compares fold the ASCII letters only; every other byte (UTF-8 sequences included)
// compares by its value, exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);
// Orders like the classic stricmp: both sides folded to lower case, bytes compared unsigned,
// a prefix before the longer text. Returns <0, 0 or >0.
int CompareNoCase(std::string_view a, std::string_view b);
// An empty needle is contained in every text.
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

// printf into a std::string, however long the text gets; a format error gives an empty text.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* fmt, ...);
std::string VFormat(const char* fmt, va_list args);

}  // namespace platform
