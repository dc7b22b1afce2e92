#include "warner/traffic/code_lists/code_lists.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/bytes/little_endian.h"
#include "platform/errors/errors.h"

namespace traffic {

namespace {

static_assert(std::numeric_limits<long>::max() >= 0xFFFFFFFFL + 0xFFFFL, "record offsets must fit fseek");

// What differs between the two lists.
struct ListFormat {
  size_t imageSize;
  size_t maxRecordLength;
  size_t textOffset;  // where a failed lookup leaves its message
  size_t textSize;
  const char* unknownText;
  const char* notAvailableText;
  // The event list reports a record it cannot read without the final period.
  bool periodOnRecordFailure;
};

constexpr ListFormat kEventFormat{kEventImageSize,
                                  kMaxEventRecordLength,
                                  kEventTextOffset,
                                  kEventTextSize,
                                  "Unknown event no",
                                  "Event code table not available.",
                                  false};
constexpr ListFormat kLocationFormat{kLocationImageSize,
                                     kMaxLocationRecordLength,
                                     kLocationNameOffset,
                                     kLocationNameSize,
                                     "Unknown location no",
                                     "Location code table not available.",
                                     true};

static_assert(kEventImageSize >= kLocationImageSize && kMaxEventRecordLength >= kMaxLocationRecordLength);

char* TextField(const ListFormat& format, uint8_t* image) { return reinterpret_cast<char*>(image + format.textOffset); }

// A miss leaves the zeroed image with "Unknown ... no <code>." (or without the period) in its text.
int32_t Miss(const ListFormat& format, uint8_t* image, uint32_t code, bool period) {
  std::snprintf(TextField(format, image), format.textSize, period ? "%s %u." : "%s %u", format.unknownText, code);
  return -1;
}

bool ReadAt(std::FILE* file, uint32_t offset, uint8_t* bytes, size_t count) {
  return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(bytes, 1, count, file) == count;
}

int32_t LookupRecord(std::FILE* file, const ListFormat& format, uint32_t code, uint8_t* image) {
  std::memset(image, 0, format.imageSize);
  if (file == nullptr) {
    std::snprintf(TextField(format, image), format.textSize, "%s", format.notAvailableText);
    return -2;
  }
  if (code == 0 || code >= kCodeLimit) return Miss(format, image, code, true);

  uint8_t field[4];
  if (!ReadAt(file, static_cast<uint32_t>(kIndexOffset + size_t{4} * code), field, sizeof field)) {
    return Miss(format, image, code, true);
  }
  const uint32_t offset = platform::GetLe32(field);
  if (offset == 0) return Miss(format, image, code, true);  // no record for this code

  const bool period = format.periodOnRecordFailure;
  if (!ReadAt(file, offset, field, 2)) return Miss(format, image, code, period);
  const size_t length = platform::GetLe16(field);
  uint8_t record[kMaxEventRecordLength];
  if (length > format.maxRecordLength || std::fread(record, 1, length, file) != length) {
    return Miss(format, image, code, period);
  }
  for (size_t i = 0; i < length; ++i) record[i] ^= 0xFF;

  uint8_t expanded[kEventImageSize];
  if (!ExpandRecord(record, length, expanded, format.imageSize) || platform::GetLe32(expanded) != code) {
    return Miss(format, image, code, true);
  }
  std::memcpy(image, expanded, format.imageSize);
  return static_cast<int32_t>(code);
}

void Replace(std::FILE*& slot, std::FILE* file) {
  if (slot != nullptr) std::fclose(slot);
  slot = file;
}

// The index is all there and every record it names starts inside the file.
bool IndexIsWhole(std::FILE* file) {
  constexpr size_t kIndexEnd = kIndexOffset + 4 * size_t{kCodeLimit};
  struct stat info {};
  if (fstat(fileno(file), &info) != 0 || static_cast<uint64_t>(info.st_size) < kIndexEnd) return false;
  std::vector<uint8_t> index(4 * size_t{kCodeLimit});
  if (!ReadAt(file, kIndexOffset, index.data(), index.size())) return false;
  for (size_t at = 0; at < index.size(); at += 4) {
    const uint64_t offset = platform::GetLe32(index.data() + at);
    if (offset != 0 && (offset < kIndexEnd || offset + 2 > static_cast<uint64_t>(info.st_size))) return false;
  }
  return true;
}

// Opens `path` into `slot` (closing what it held); false with the thread's last error set.
bool OpenList(std::FILE*& slot, const std::string& path) {
  Replace(slot, std::fopen(path.c_str(), "rb"));
  if (slot == nullptr) platform::SetLastErrorFromErrno(errno);
  return slot != nullptr;
}

}  // namespace

bool ExpandRecord(const uint8_t* coded, size_t codedSize, uint8_t* image, size_t imageSize) {
  std::memset(image, 0, imageSize);
  if (codedSize == 0) return false;
  const uint8_t escape = coded[0];
  size_t out = 0;
  // Writes `count` copies of `value`, as far as the image reaches.
  const auto put = [&](uint8_t value, size_t count) {
    if (out < imageSize) std::memset(image + out, value, std::min(count, imageSize - out));
    out += count;  // at most 0x8000 per coded byte: far from any overflow
  };
  size_t i = 1;
  while (i < codedSize) {
    const uint8_t byte = coded[i++];
    if (byte != escape) {
      put(byte, 1);
      continue;
    }
    if (i >= codedSize) return false;
    size_t count = coded[i++];
    if (count < 3) {
      put(escape, count + 1);
      continue;
    }
    if ((count & 0x80) != 0) {
      if (i >= codedSize) return false;
      count = (count & 0x7F) * 256 + coded[i++];
    }
    if (i >= codedSize) return false;
    put(coded[i++], count + 1);
  }
  return true;
}

CodeLists::~CodeLists() { Close(); }

int CodeLists::OpenEventCodeList(const std::string& linuxPath) { return Open(events_, linuxPath, "Event"); }

int CodeLists::OpenLocationCodeList(const std::string& linuxPath) { return Open(locations_, linuxPath, "Location"); }

int CodeLists::Open(std::FILE*& slot, const std::string& linuxPath, const char* kind) {
  if (!OpenList(slot, linuxPath)) {
    reporter_.ErrorLastError("Can't read the %s Code List file '%s'.\n", kind, linuxPath.c_str());
    return -1;
  }
  // A damaged list still answers what it can, but without a word every message would name
  // unknown codes and nobody would know why.
  if (!IndexIsWhole(slot)) {
    reporter_.Warn("The %s Code List file '%s' is damaged: its codes may show as unknown.\n", kind, linuxPath.c_str());
  }
  return 0;
}

void CodeLists::AdoptEventCodeList(std::FILE* file) { Replace(events_, file); }

void CodeLists::AdoptLocationCodeList(std::FILE* file) { Replace(locations_, file); }

void CodeLists::Close() {
  Replace(events_, nullptr);
  Replace(locations_, nullptr);
}

int32_t CodeLists::LookupEvent(uint32_t code, uint8_t (&image)[kEventImageSize]) {
  return LookupRecord(events_, kEventFormat, code, image);
}

int32_t CodeLists::LookupLocation(uint32_t code, uint8_t (&image)[kLocationImageSize]) {
  return LookupRecord(locations_, kLocationFormat, code, image);
}

int32_t CodeLists::WalkLocation(const uint8_t (&start)[kLocationImageSize], int direction, int steps,
                                uint8_t (&result)[kLocationImageSize]) {
  if (locations_ == nullptr) return LookupLocation(0, result);  // the "not available" text, -2
  std::memmove(result, start, sizeof result);
  uint32_t code = platform::GetLe32(result);
  const size_t neighbourOffset = direction != 0 ? kLocationNegativeOffset : kLocationPositiveOffset;
  for (int step = 0; step < steps; ++step) {
    const uint32_t next = platform::GetLe32(result + neighbourOffset);
    if (next < 1 || next >= kCodeLimit || LookupLocation(next, result) < 0) {
      std::memset(result, 0, sizeof result);
      std::snprintf(reinterpret_cast<char*>(result + kLocationNameOffset), kLocationNameSize, "%s %u.",
                    "Unknown second location no", next);
      return -1;
    }
    code = next;
  }
  return static_cast<int32_t>(code);
}

}  // namespace traffic
