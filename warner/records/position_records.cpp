#include "warner/records/position_records.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"
#include "warner/core/alarm/alarm_output.h"
#include "warner/core/worker/gps_worker.h"

namespace warner {

namespace {

// Windows whose taps mean something else: the status window and the traffic and announcement windows.
constexpr std::array<std::string_view, 4> kWindowsWithOwnTaps{"PSNT", "TMCS", "ANNO", "ANDI"};

// The file's size before the append, so that a line cut short by a full disk can be taken back
// and the converter never reads half a record; -1 when it cannot be found out.
off_t SizeOf(std::FILE* file) {
  struct stat info {};
  return fstat(fileno(file), &info) == 0 ? info.st_size : -1;
}

bool TakeBackTo(std::FILE* file, off_t size) { return size >= 0 && ftruncate(fileno(file), size) == 0; }

}  // namespace

bool TapAppendsRecord(std::string_view fieldCode, uint32_t pressedMs) {
  if (pressedMs >= kRecordTapMaxMs) return false;
  for (std::string_view own : kWindowsWithOwnTaps) {
    if (fieldCode == own) return false;
  }
  return true;
}

const char* RecordFileName(ProgramMode mode) { return mode == ProgramMode::kRover ? "RvrRec.ASC" : "SntRec.ASC"; }

std::string RecordFilePath(const WarnerSettings& settings) {
  // The handheld has no current folder: a name without one lies in the root.
  const std::string& folder = settings.ascWriteDirPath.empty() ? std::string("\\") : settings.ascWriteDirPath;
  return platform::JoinPath(folder, RecordFileName(settings.mode));
}

int WritePositionRecord(std::FILE* file, const gps::GpsFix& fix, std::string_view programName,
                        const platform::SystemTime& utcNow) {
  const std::string line = PositionRecordLine(fix, programName, utcNow);
  if (line.empty()) return -1;
  return std::fwrite(line.data(), 1, line.size(), file) == line.size() ? 0 : -1;
}

int AppendPositionRecord(const gps::GpsFix& fix, const platform::SystemTime& utcNow, const RecordServices& services) {
  const std::string path = RecordFilePath(services.settings);
  const std::string linuxPath = platform::ToLinuxPath(path);
  std::FILE* file = std::fopen(linuxPath.c_str(), "ab");
  if (file == nullptr) {
    platform::SetLastErrorFromErrno(errno);
    services.reporter.ErrorLastError("Can't write to file '%s'.\n", path.c_str());
    return -1;
  }
  const off_t before = SizeOf(file);
  bool written = WritePositionRecord(file, fix, services.programName, utcNow) == 0;
  written = std::fflush(file) == 0 && written;
  const int writeErrno = errno;
  // Should even that fail, the report below still says that the record was not written.
  if (!written) TakeBackTo(file, before);
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    platform::SetLastErrorFromErrno(written ? errno : writeErrno);
    services.reporter.ErrorLastError("Can't write to file '%s'.\n", path.c_str());
    return -1;
  }
  SoundPaths paths;
  PlaySoundEvent(services.player, services.settings, SoundEvent::kKeyStroke, paths);
  return 0;
}

int AppendPositionRecord(const gps::NmeaDecoder& decoder, const RecordServices& services) {
  return AppendPositionRecord(decoder.Snapshot(), platform::GetSystemTime(), services);
}

}  // namespace warner
