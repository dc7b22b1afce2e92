#pragma once
// The code-list compiler: turns the text form of a TMC event or location list into the binary list
// that the warner looks codes up in (ECL_D1.bin, LCL_D1.bin), and a binary list back into text.
//
// Text form, one record a line, UTF-8; '#' starts a comment line, blank lines are ignored; fields
// are separated by ';' and trimmed of blanks:
//   events:    code;text;directionality;short text             101;stationary traffic;1;Q1
//   locations: code;text a;text b;name;parent;negative;positive;flag
//                                                  12001;A99;Northtown - Southport;Elmbridge;12000;12000;12002;1
// Codes are 1..65535; parent and neighbour codes 0..65535 (empty = 0, no location); the flag
// 0..255 (empty = 0); the directionality 1 or 2. Texts are stored in Windows-1252 and must fit
// their fields with the terminating NUL.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tmc_lists {

enum class CodeListKind { kEvents, kLocations };

// Compiles a text list into the bytes of the binary list. On failure `error` reads
// "<sourceName>:<line>: <what is wrong>".
bool CompileCodeList(CodeListKind kind, std::string_view text, std::vector<uint8_t>& file, std::string& error,
                     std::string_view sourceName = "text");

// The canonical text of a binary list: a comment line naming the fields, then one line per record
// in code order, numbers always written out. Compiling it gives the same binary list.
bool DecompileCodeList(CodeListKind kind, const std::vector<uint8_t>& file, std::string& text, std::string& error);

// Compiles `text` and writes the binary list to `path`, for tests and tools that need a list on disk.
bool WriteCodeListFile(CodeListKind kind, std::string_view text, const std::string& path, std::string& error);

// One record image coded as the list stores it: the escape byte (the least frequent byte of the
// image), runs of four or more equal bytes and every escape byte coded, then each byte complemented.
std::vector<uint8_t> EncodeRecord(const uint8_t* image, size_t imageSize);

// Whole files as bytes; false with "<path>: <reason>" in `error`.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error);
bool WriteFileBytes(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace tmc_lists
