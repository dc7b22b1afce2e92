#include "warner/core/database/poi_database.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "platform/text/text.h"

namespace warner {

namespace {

constexpr const char* kReadSntFile = "Read Snt File";

// The failed stream's reason as the last error; a read that simply ran out of bytes is an end of
// file, which errno does not tell.
void SetReadError(std::FILE* file, int savedErrno) {
  if (std::ferror(file) != 0 && savedErrno != 0) {
    platform::SetLastErrorFromErrno(savedErrno);
  } else {
    platform::SetLastError(platform::kErrorHandleEof);
  }
}

bool ReadAt(std::FILE* file, long offset, uint8_t* into, size_t count) {
  errno = 0;
  if (std::fseek(file, offset, SEEK_SET) != 0) {
    platform::SetLastErrorFromErrno(errno);
    return false;
  }
  if (std::fread(into, 1, count, file) != count) {
    SetReadError(file, errno);
    return false;
  }
  return true;
}

// A category record is sound when its length word, its text and its NUL all lie inside the
// category region [snt::kFirstCategoryOffset, end).
bool CategoryRecordFits(const uint8_t* buffer, uint64_t offset, uint64_t end) {
  if (offset < snt::kFirstCategoryOffset || offset + snt::kCategoryTextOffset > end) return false;
  const uint64_t nul = offset + snt::kCategoryTextOffset + snt::CategoryTextLength(buffer + offset);
  return nul < end && buffer[nul] == 0;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// UTF-8 characters, not bytes, since the limit is the handheld's wide-character buffer.
size_t CharCount(std::string_view text) {
  size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string_view CutToChars(std::string_view text, size_t chars) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count++ == chars) return text.substr(0, i);
  }
  return text;
}

}  // namespace

const char* DatabaseFileName(int programMode) { return programMode == 1 ? "Rover.snt" : "Sentry.snt"; }

PoiDatabase::PoiDatabase(platform::Reporter& reporter, DatabaseLocation location)
    : reporter_(reporter), location_(std::move(location)) {}

PoiDatabase::~PoiDatabase() = default;

void PoiDatabase::SetUnloadObserver(std::function<void()> observer) { unloadObserver_ = std::move(observer); }

std::string PoiDatabase::DatabasePath() const {
  return platform::JoinPath(location_.programFolder, location_.fileName);
}

int PoiDatabase::OpenPoiDatabaseFile(int logSntFileMissing, MessageStyle style, UniqueFile* file) const {
  const std::string path = DatabasePath();
  UniqueFile opened(std::fopen(platform::ToLinuxPath(path).c_str(), "rb"));
  if (opened) {
    // A folder of that name opens on Linux but is no database: treat it as missing.
    struct stat info {};
    if (fstat(fileno(opened.get()), &info) == 0 && S_ISREG(info.st_mode)) {
      if (file != nullptr) *file = std::move(opened);
      return 0;
    }
    opened.reset();
  }
  if (logSntFileMissing == 0) return kDatabaseMissingSilent;
  constexpr const char* kMissing =
      "File '%s' is not available. Acoustical and visual warnings will not be available.\n";
  if (style == MessageStyle::kOk) {
    reporter_.Warn(kMissing, path.c_str());
    return kDatabaseMissingAccepted;
  }
  return reporter_.AskYesNo(kMissing, path.c_str()) ? kDatabaseMissingAccepted : -1;
}

int PoiDatabase::LoadPoiDatabase(std::FILE* file, std::string_view filePath) {
  UnloadPoiDatabase();
  if (file == nullptr) return -1;
  const std::string path(filePath);

  uint8_t headerBytes[snt::kHeaderSize];
  if (!ReadAt(file, 0, headerBytes, sizeof headerBytes)) {
    reporter_.ErrorLastError("%s: Can't read the header from '%s'.\n", kReadSntFile, path.c_str());
    return -1;
  }
  if (!snt::HasMagic(headerBytes)) {
    reporter_.Error("%s: Illegal header in file '%s'.\n", kReadSntFile, path.c_str());
    return -1;
  }
  const snt::Header header = snt::DecodeHeader(headerBytes);
  const uint32_t count = header.poiCount;
  if (count == 0) return 0;

  // The header's length is believed only as far as the file bears it out: a length beyond the end
  // can never be read, and allocating it first would let a damaged header claim any amount of
  // memory. A file longer than its header says is read up to the announced length, as before.
  const uint32_t length = header.fileLength;
  struct stat info {};
  if (fstat(fileno(file), &info) != 0) {
    platform::SetLastErrorFromErrno(errno);
    reporter_.ErrorLastError("%s: Wrong file length: '%s'.\n", kReadSntFile, path.c_str());
    return -1;
  }
  if (length < snt::kHeaderSize || static_cast<uint64_t>(length) > static_cast<uint64_t>(info.st_size)) {
    platform::SetLastError(platform::kErrorHandleEof);
    reporter_.ErrorLastError("%s: Wrong file length: '%s'.\n", kReadSntFile, path.c_str());
    return -1;
  }

  // Every record and its category must lie inside what was read; anything else is a damaged
  // header or record, refused as a whole so the engine never follows a wild offset.
  const uint32_t recordOffset = header.poiRecordsOffset;
  if (recordOffset < snt::kHeaderSize || recordOffset > length ||
      static_cast<uint64_t>(count) * snt::kPoiRecordSize > length - recordOffset) {
    reporter_.Error("%s: Illegal header in file '%s'.\n", kReadSntFile, path.c_str());
    return -1;
  }

  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[length]);
  if (!buffer) {
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    reporter_.ErrorLastError("%s: Can't get enough buffer for file '%s'.\n", kReadSntFile, path.c_str());
    return -1;
  }
  if (!ReadAt(file, 0, buffer.get(), length)) {
    reporter_.ErrorLastError("%s: Wrong file length: '%s'.\n", kReadSntFile, path.c_str());
    return -1;
  }

  snt::WarningReach reach;
  PoiRecord previous;
  for (uint32_t i = 0; i < count; ++i) {
    const PoiRecord record = snt::DecodePoiRecord(buffer.get() + recordOffset + size_t{i} * snt::kPoiRecordSize);
    if (!CategoryRecordFits(buffer.get(), static_cast<uint32_t>(record.categoryOffset), recordOffset)) {
      reporter_.Error("%s: Illegal header in file '%s'.\n", kReadSntFile, path.c_str());
      return -1;
    }
    // The engine's binary search relies on the order; out of order, most POIs would never warn.
    if (i > 0 && snt::SortsBefore(record, previous)) {
      reporter_.Error(
          "%s: The POI records in '%s' are not sorted by longitude and latitude (record %u).\n"
          "Convert the POI lists into a new database.\n",
          kReadSntFile, path.c_str(), i);
      return -1;
    }
    reach.Add(record.warnDistance);
    previous = record;
  }

  buffer_ = std::move(buffer);
  length_ = length;
  recordCount_ = static_cast<int32_t>(count);  // below 2^32 / 20: checked against the length above
  recordOffset_ = recordOffset;
  categoryCount_ = header.categoryCount;
  maxWarnMetres_ = reach.maxMetres;
  maxWarnSeconds_ = reach.maxSeconds;
  return 0;
}

int PoiDatabase::ActivatePoiDatabase(int logSntFileMissing) {
  UnloadPoiDatabase();
  UniqueFile file;
  const int opened = OpenPoiDatabaseFile(logSntFileMissing, MessageStyle::kYesNo, &file);
  if (opened != 0) return opened;
  return LoadPoiDatabase(file.get(), DatabasePath());
}

void PoiDatabase::UnloadPoiDatabase() {
  buffer_.reset();
  length_ = 0;
  recordCount_ = 0;
  recordOffset_ = 0;
  categoryCount_ = 0;
  maxWarnMetres_ = 0;
  maxWarnSeconds_ = 0;
  if (unloadObserver_) unloadObserver_();
}

bool PoiDatabase::IsPoiDatabaseLoaded() const { return buffer_ != nullptr; }

int32_t PoiDatabase::RecordCount() const { return recordCount_; }

PoiRecord PoiDatabase::Record(int32_t index) const {
  return snt::DecodePoiRecord(buffer_.get() + recordOffset_ + static_cast<size_t>(index) * snt::kPoiRecordSize);
}

int32_t PoiDatabase::MaxWarnMetres() const { return maxWarnMetres_; }

int32_t PoiDatabase::MaxWarnSeconds() const { return maxWarnSeconds_; }

std::string_view PoiDatabase::CategoryText(int32_t index) const {
  const uint32_t offset = static_cast<uint32_t>(Record(index).categoryOffset);
  const char* text = reinterpret_cast<const char*>(buffer_.get() + offset + snt::kCategoryTextOffset);
  // Readers have always taken the text up to its first NUL; the load made sure one comes at the
  // latest where the length word says.
  return std::string_view(text, strnlen(text, snt::CategoryTextLength(buffer_.get() + offset)));
}

std::vector<std::string_view> PoiDatabase::CategoryTexts() const {
  std::vector<std::string_view> texts;
  uint64_t offset = snt::kFirstCategoryOffset;
  for (uint32_t i = 0; i < categoryCount_ && CategoryRecordFits(buffer_.get(), offset, recordOffset_); ++i) {
    const uint16_t length = snt::CategoryTextLength(buffer_.get() + offset);
    const char* text = reinterpret_cast<const char*>(buffer_.get() + offset + snt::kCategoryTextOffset);
    texts.emplace_back(text, strnlen(text, length));
    offset += snt::CategoryRecordSize(length);
  }
  return texts;
}

std::string PoiDatabase::AnnouncementText(int32_t index) const { return warner::AnnouncementText(CategoryText(index)); }

std::string PoiDatabase::PoiBitmapPath(int32_t index) const {
  return warner::PoiBitmapPath(CategoryText(index), location_.programFolder);
}

std::string AnnouncementText(std::string_view categoryText) {
  const size_t slash = categoryText.rfind('\\');
  if (slash != std::string_view::npos) categoryText.remove_prefix(slash + 1);
  if (!categoryText.empty() && categoryText.front() == '.') categoryText.remove_prefix(1);
  std::string text = platform::Cp1252ToUtf8(categoryText);
  if (text.size() >= 4 && platform::EqualsNoCase(std::string_view(text).substr(text.size() - 4), ".wav")) {
    text.resize(text.size() - 4);
  }
  return text;
}

std::string CategoryFilePath(std::string_view categoryText, std::string_view programFolder, std::string_view folder,
                             std::string_view extension) {
  std::string path;
  if (!categoryText.empty() && categoryText.front() == '.') {
    categoryText.remove_prefix(1);
    path = platform::JoinPath(programFolder, folder);
  }
  // Only the text's own dots decide about the extension: a dot in the program folder (a hidden
  // folder, a versioned install) must not keep ".wav" or ".bmp" from being added.
  const size_t textStart = path.size();
  const size_t prefixChars = CharCount(path);
  if (prefixChars >= kMaxPathChars) return {};
  path += CutToChars(platform::Cp1252ToUtf8(categoryText), kMaxPathChars - prefixChars);

  size_t separator = std::string::npos;
  for (size_t i = path.size(); i-- > 0;) {
    if (IsSeparator(path[i])) {
      separator = i;
      break;
    }
  }
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < textStart) {
    path += extension;
  } else if (separator == std::string::npos || dot > separator) {
    if (!platform::EqualsNoCase(std::string_view(path).substr(dot), extension)) {
      path.resize(dot);
      path += extension;
    }
  }
  // A cut text with its extension added would name a file the handheld could never have held.
  if (CharCount(path) > kMaxPathChars) return {};
  return path;
}

std::string PoiBitmapPath(std::string_view categoryText, std::string_view programFolder) {
  std::string path = CategoryFilePath(categoryText, programFolder, "Bitmaps\\", ".bmp");
  if (path.empty() || !platform::FileExists(path)) return {};
  return path;
}

}  // namespace warner
