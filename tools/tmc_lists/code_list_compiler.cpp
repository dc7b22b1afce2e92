#include "tools/tmc_lists/code_list_compiler.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstring>
#include <map>
#include <span>

#include "platform/bytes/little_endian.h"
#include "platform/text/text.h"
#include "warner/traffic/code_lists/code_lists.h"

namespace tmc_lists {

namespace {

enum class FieldType { kCode, kText, kDirectionality, kNumber, kFlag };

// Where one field of the text line lives in the record image.
struct Field {
  const char* name;
  FieldType type;
  size_t offset;
  size_t size;  // bytes of a text field, its NUL included
};

constexpr Field kEventFields[] = {
    {"code", FieldType::kCode, 0, 4},
    {"text", FieldType::kText, traffic::kEventTextOffset, traffic::kEventTextSize},
    {"directionality", FieldType::kDirectionality, traffic::kEventDirectionalityOffset, 1},
    {"short text", FieldType::kText, traffic::kEventShortTextOffset,
     traffic::kEventImageSize - traffic::kEventShortTextOffset},
};

constexpr Field kLocationFields[] = {
    {"code", FieldType::kCode, 0, 4},
    {"text a", FieldType::kText, traffic::kLocationTextAOffset, traffic::kLocationTextASize},
    {"text b", FieldType::kText, traffic::kLocationTextBOffset, traffic::kLocationTextBSize},
    {"name", FieldType::kText, traffic::kLocationNameOffset, traffic::kLocationNameSize},
    {"parent", FieldType::kNumber, traffic::kLocationParentOffset, 4},
    {"negative", FieldType::kNumber, traffic::kLocationNegativeOffset, 4},
    {"positive", FieldType::kNumber, traffic::kLocationPositiveOffset, 4},
    {"flag", FieldType::kFlag, traffic::kLocationFlagOffset, 1},
};

// What differs between the two kinds of list.
struct ListLayout {
  std::span<const Field> fields;
  size_t imageSize;
  size_t maxRecordLength;
  const char* magic;  // our own header text; the reader never looks at it
  const char* fieldComment;
};

ListLayout Layout(CodeListKind kind) {
  if (kind == CodeListKind::kEvents) {
    return {kEventFields, traffic::kEventImageSize, traffic::kMaxEventRecordLength, "DriverWarner TMC event list\n",
            "# code;text;directionality;short text\n"};
  }
  return {kLocationFields, traffic::kLocationImageSize, traffic::kMaxLocationRecordLength,
          "DriverWarner TMC location list\n", "# code;text a;text b;name;parent;negative;positive;flag\n"};
}

constexpr size_t kRecordsOffset = traffic::kIndexOffset + size_t{4} * traffic::kCodeLimit;
constexpr size_t kMaxImageSize = traffic::kEventImageSize;
constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t end = line.find(';', start);
    fields.push_back(Trim(line.substr(start, end - start)));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

// A decimal number in min..max; an empty text is `empty` when that is allowed (>= 0).
bool ParseNumber(std::string_view text, uint32_t min, uint32_t max, int64_t empty, uint32_t& value) {
  if (text.empty() && empty >= 0) {
    value = static_cast<uint32_t>(empty);
    return true;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && text.front() != '+' && ec == std::errc() && end == text.data() + text.size() &&
         value >= min && value <= max;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Puts one text field into the image; an empty result is success, else the complaint.
std::string PutText(const Field& field, std::string_view utf8, uint8_t* image) {
  size_t replaced = 0;
  const std::string bytes = platform::Utf8ToCp1252(utf8, '?', &replaced);
  if (replaced != 0) return "the " + std::string(field.name) + " holds a character without a Windows-1252 code";
  for (char c : bytes) {
    if (IsControl(c)) return "the " + std::string(field.name) + " holds a control character";
  }
  if (bytes.size() >= field.size) {
    return "the " + std::string(field.name) + " is " + std::to_string(bytes.size()) + " bytes long, at most " +
           std::to_string(field.size - 1) + " fit";
  }
  std::copy(bytes.begin(), bytes.end(), image + field.offset);  // the field's NUL is already there
  return {};
}

std::string PutField(const Field& field, std::string_view text, uint8_t* image) {
  uint32_t value = 0;
  switch (field.type) {
    case FieldType::kText: return PutText(field, text, image);
    case FieldType::kCode:
      if (!ParseNumber(text, 1, traffic::kCodeLimit - 1, -1, value)) {
        return "the code '" + std::string(text) + "' is not a number from 1 to 65535";
      }
      platform::PutLe32(image + field.offset, value);
      return {};
    case FieldType::kDirectionality:
      if (text != "1" && text != "2") return "the directionality '" + std::string(text) + "' is neither 1 nor 2";
      image[field.offset] = static_cast<uint8_t>(text[0]);
      return {};
    case FieldType::kNumber:
      if (!ParseNumber(text, 0, traffic::kCodeLimit - 1, 0, value)) {
        return "the " + std::string(field.name) + " '" + std::string(text) + "' is not a number from 0 to 65535";
      }
      platform::PutLe32(image + field.offset, value);
      return {};
    case FieldType::kFlag:
      if (!ParseNumber(text, 0, 255, 0, value))
        return "the flag '" + std::string(text) + "' is not a number from 0 to 255";
      image[field.offset] = static_cast<uint8_t>(value);
      return {};
  }
  return "unknown field";
}

// Fills `image` from one record line; an empty result is success, else the complaint.
std::string ParseRecord(const ListLayout& layout, std::string_view line, uint8_t* image) {
  const std::vector<std::string_view> texts = SplitFields(line);
  if (texts.size() != layout.fields.size()) {
    return "expected " + std::to_string(layout.fields.size()) + " fields separated by ';', found " +
           std::to_string(texts.size());
  }
  std::memset(image, 0, layout.imageSize);
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string complaint = PutField(layout.fields[i], texts[i], image);
    if (!complaint.empty()) return complaint;
  }
  return {};
}

struct CompiledRecord {
  size_t line;
  std::vector<uint8_t> stored;
};

void AppendRecord(std::vector<uint8_t>& file, uint32_t code, const std::vector<uint8_t>& stored) {
  platform::PutLe32(file.data() + traffic::kIndexOffset + size_t{4} * code, static_cast<uint32_t>(file.size()));
  platform::AppendLe16(file, static_cast<uint16_t>(stored.size()));
  file.insert(file.end(), stored.begin(), stored.end());
}

std::vector<uint8_t> AssembleFile(const ListLayout& layout, const std::map<uint32_t, CompiledRecord>& records) {
  std::vector<uint8_t> file(kRecordsOffset);
  std::memcpy(file.data(), layout.magic, std::strlen(layout.magic));
  for (const auto& [code, record] : records) AppendRecord(file, code, record.stored);
  return file;
}

// --- decompiling

std::string FormatText(const Field& field, const uint8_t* image, std::string& complaint) {
  const char* begin = reinterpret_cast<const char*>(image + field.offset);
  const std::string_view bytes(begin, strnlen(begin, field.size));
  const bool blankEnds = !bytes.empty() && (Trim(bytes).size() != bytes.size());
  bool control = false;
  for (char c : bytes) control = control || IsControl(c);
  if (bytes.size() == field.size || blankEnds || control || bytes.find(';') != std::string_view::npos) {
    complaint = "the " + std::string(field.name) + " cannot be written as a text field";
  }
  return platform::Cp1252ToUtf8(bytes);
}

std::string FormatField(const Field& field, const uint8_t* image, std::string& complaint) {
  switch (field.type) {
    case FieldType::kText: return FormatText(field, image, complaint);
    case FieldType::kCode: return std::to_string(platform::GetLe32(image + field.offset));
    case FieldType::kDirectionality:
      if (image[field.offset] != '1' && image[field.offset] != '2') complaint = "the directionality is neither 1 nor 2";
      return std::string(1, static_cast<char>(image[field.offset]));
    case FieldType::kNumber: {
      const uint32_t value = platform::GetLe32(image + field.offset);
      if (value >= traffic::kCodeLimit) complaint = "the " + std::string(field.name) + " is above 65535";
      return std::to_string(value);
    }
    case FieldType::kFlag: return std::to_string(image[field.offset]);
  }
  return {};
}

std::string FormatRecord(const ListLayout& layout, const uint8_t* image, std::string& complaint) {
  std::string line;
  for (const Field& field : layout.fields) {
    if (!line.empty()) line += ';';
    line += FormatField(field, image, complaint);
  }
  return line + '\n';
}

// Expands the record of `code` at `offset`; an empty result is success, else the complaint.
std::string ReadRecord(const ListLayout& layout, const std::vector<uint8_t>& file, uint32_t code, uint32_t offset,
                       uint8_t* image) {
  if (offset < kRecordsOffset || file.size() - offset < 2) return "the record offset lies outside the records";
  const size_t length = platform::GetLe16(file.data() + offset);
  if (length > layout.maxRecordLength || file.size() - offset - 2 < length) return "the record length is wrong";
  std::vector<uint8_t> coded(file.begin() + offset + 2, file.begin() + offset + 2 + static_cast<ptrdiff_t>(length));
  for (uint8_t& byte : coded) byte = static_cast<uint8_t>(~byte);
  if (!traffic::ExpandRecord(coded.data(), coded.size(), image, layout.imageSize)) return "the record is cut short";
  if (platform::GetLe32(image) != code) return "the record holds another code";
  return {};
}

}  // namespace

bool CompileCodeList(CodeListKind kind, std::string_view text, std::vector<uint8_t>& file, std::string& error,
                     std::string_view sourceName) {
  const ListLayout layout = Layout(kind);
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::map<uint32_t, CompiledRecord> records;
  size_t lineNumber = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;

    const auto fail = [&](const std::string& complaint) {
      error = std::string(sourceName) + ":" + std::to_string(lineNumber) + ": " + complaint;
      return false;
    };
    uint8_t image[kMaxImageSize];
    const std::string complaint = ParseRecord(layout, line, image);
    if (!complaint.empty()) return fail(complaint);
    const uint32_t code = platform::GetLe32(image);
    const auto [at, inserted] = records.try_emplace(code, CompiledRecord{lineNumber, {}});
    if (!inserted) {
      return fail("the code " + std::to_string(code) + " is already used on line " + std::to_string(at->second.line));
    }
    at->second.stored = EncodeRecord(image, layout.imageSize);
    assert(at->second.stored.size() <= layout.maxRecordLength);  // the escape byte is rare by choice
  }
  file = AssembleFile(layout, records);
  return true;
}

bool DecompileCodeList(CodeListKind kind, const std::vector<uint8_t>& file, std::string& text, std::string& error) {
  const ListLayout layout = Layout(kind);
  const size_t magicLength = std::strlen(layout.magic);
  if (file.size() < kRecordsOffset || std::memcmp(file.data(), layout.magic, magicLength) != 0) {
    error = std::string("not a ") + (kind == CodeListKind::kEvents ? "event" : "location") +
            " list made by tmc-lists (its header or index is missing)";
    return false;
  }
  text = layout.fieldComment;
  for (uint32_t code = 1; code < traffic::kCodeLimit; ++code) {
    const uint32_t offset = platform::GetLe32(file.data() + traffic::kIndexOffset + size_t{4} * code);
    if (offset == 0) continue;
    uint8_t image[kMaxImageSize];
    std::string complaint = ReadRecord(layout, file, code, offset, image);
    if (complaint.empty()) text += FormatRecord(layout, image, complaint);
    if (!complaint.empty()) {
      error = "record of code " + std::to_string(code) + ": " + complaint;
      return false;
    }
  }
  return true;
}

bool WriteCodeListFile(CodeListKind kind, std::string_view text, const std::string& path, std::string& error) {
  std::vector<uint8_t> file;
  return CompileCodeList(kind, text, file, error) &&
         WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()), error);
}

}  // namespace tmc_lists
