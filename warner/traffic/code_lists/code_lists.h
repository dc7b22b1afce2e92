#pragma once
// The TMC event and location code lists: two files that turn the numbers of a traffic message into
// texts. Nothing is kept in memory: every lookup seeks in the open file and expands one record into
// a fixed-size image that the caller provides.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/reports/reporter.h"

namespace traffic {

inline constexpr size_t kEventImageSize = 351;
inline constexpr size_t kLocationImageSize = 207;
inline constexpr size_t kMaxEventRecordLength = 1412;
inline constexpr size_t kMaxLocationRecordLength = 832;

// Offsets inside the event image.
inline constexpr size_t kEventTextOffset = 85;
inline constexpr size_t kEventTextSize = 246;
inline constexpr size_t kEventDirectionalityOffset = 331;
inline constexpr size_t kEventShortTextOffset = 334;
// Offsets inside the location image.
inline constexpr size_t kLocationTextAOffset = 22;
inline constexpr size_t kLocationTextASize = 9;
inline constexpr size_t kLocationTextBOffset = 31;
inline constexpr size_t kLocationTextBSize = 41;
inline constexpr size_t kLocationNameOffset = 72;
inline constexpr size_t kLocationNameSize = 80;
inline constexpr size_t kLocationParentOffset = 154;
inline constexpr size_t kLocationNegativeOffset = 162;
inline constexpr size_t kLocationPositiveOffset = 166;
inline constexpr size_t kLocationFlagOffset = 170;

// File layout shared with the code-list compiler.
inline constexpr size_t kIndexOffset = 276;  // 4-byte record offsets for codes 0..65535 follow
inline constexpr uint32_t kCodeLimit = 0x10000;

inline constexpr const char* kEventListName = "ECL_D1.bin";
inline constexpr const char* kLocationListName = "LCL_D1.bin";

// Expands a stored record (already complemented back) into an image of imageSize bytes, which is
// zeroed first; bytes past the image are dropped, never written. Returns false for a record without
// its escape byte or one that ends inside an escape sequence.
bool ExpandRecord(const uint8_t* coded, size_t codedSize, uint8_t* image, size_t imageSize);

class CodeLists {
 public:
  explicit CodeLists(platform::Reporter& reporter) : reporter_(reporter) {}
  ~CodeLists();
  CodeLists(const CodeLists&) = delete;
  CodeLists& operator=(const CodeLists&) = delete;

  // 0, or -1 after "Can't read the ... Code List file '%hs'.\n" with the error. A list whose index
  // is cut short or names records outside the file opens all the same, after one warning.
  int OpenEventCodeList(const std::string& linuxPath);
  int OpenLocationCodeList(const std::string& linuxPath);
  // Takes over an already open stream as the list (a memory stream in tests and fuzzing); the
  // previous one is closed, nullptr leaves the list closed.
  void AdoptEventCodeList(std::FILE* file);
  void AdoptLocationCodeList(std::FILE* file);
  void Close();

  // The code, -1 (code out of range, record missing or damaged) or -2 (list not open); on failure
  // the image is zeroed but for the miss text in its text field.
  int32_t LookupEvent(uint32_t code, uint8_t (&image)[kEventImageSize]);
  int32_t LookupLocation(uint32_t code, uint8_t (&image)[kLocationImageSize]);
  // From `start`, `steps` (1..7) neighbours in `direction` (non-zero: negative, 0: positive);
  // the code reached, -1 or -2, with the miss text in result on failure.
  int32_t WalkLocation(const uint8_t (&start)[kLocationImageSize], int direction, int steps,
                       uint8_t (&result)[kLocationImageSize]);

 private:
  int Open(std::FILE*& slot, const std::string& linuxPath, const char* kind);

  platform::Reporter& reporter_;
  std::FILE* events_ = nullptr;
  std::FILE* locations_ = nullptr;
};

}  // namespace traffic
