#include "warner/traffic/rds/tmc_log.h"

#include <cerrno>
#include <cstdio>

#include "platform/errors/errors.h"

namespace traffic {

namespace {

constexpr size_t kHeadSize = 260;

bool LooksLikeTrafficLog(std::string_view head) {
  for (const std::string_view mark : {"{ L ", ", E ", ", R "}) {
    if (head.find(mark) == std::string_view::npos) return false;
  }
  return true;
}

LogAppendResult Failed(std::FILE* stream) {
  platform::SetLastErrorFromErrno(errno);
  if (stream != nullptr) std::fclose(stream);
  return LogAppendResult::kFailed;
}

LogAppendResult Empty(const std::string& path) {
  std::FILE* emptied = std::fopen(path.c_str(), "wb+");
  if (emptied == nullptr || std::fclose(emptied) != 0) return Failed(nullptr);
  return LogAppendResult::kForeign;
}

}  // namespace

LogAppendResult AppendTrafficLogLine(const std::string& path, std::string_view line) {
  std::FILE* stream = std::fopen(path.c_str(), "ab+");
  if (stream == nullptr) return Failed(nullptr);
  char head[kHeadSize];
  if (std::fseek(stream, 0, SEEK_SET) != 0) return Failed(stream);
  const size_t headSize = std::fread(head, 1, sizeof head, stream);
  if (std::ferror(stream)) return Failed(stream);
  if (headSize > 0 && !LooksLikeTrafficLog({head, headSize})) {
    std::fclose(stream);
    return Empty(path);
  }
  // A positioning call must stand between reading and writing the same stream.
  if (std::fseek(stream, 0, SEEK_END) != 0) return Failed(stream);
  if (std::fwrite(line.data(), 1, line.size(), stream) != line.size()) return Failed(stream);
  if (std::fclose(stream) != 0) return Failed(nullptr);
  return LogAppendResult::kAppended;
}

std::string TrafficLogLine(const TmcMessage& message) {
  const platform::SystemTime& t = message.time;
  char line[kTmcTextMax + 64];
  std::snprintf(line, sizeof line, "%02d.%02d.%04d %02d:%02d:%02d, %8s: %s\r\n", t.day, t.month, t.year, t.hour,
                t.minute, t.second, message.stationName.c_str(), message.text.c_str());
  return line;
}

}  // namespace traffic
