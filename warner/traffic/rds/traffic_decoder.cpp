#include "warner/traffic/rds/traffic_decoder.h"

#include <algorithm>
#include <new>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"

namespace traffic {

bool TmcRecordScanner::Take(uint8_t byte) {
  if (count_ == 0 && byte != '?') return false;
  record_[count_++] = byte;
  if (count_ < kRecordSize) return false;
  count_ = 0;
  return true;
}

TrafficDecoder::TrafficDecoder(platform::Reporter& reporter, const platform::Clock& clock, gps::GpsLogSink* gpsLog)
    : reporter_(reporter), clock_(clock), gpsLog_(gpsLog), codeLists_(reporter) {}

std::string TrafficLogPath(std::string_view ascWriteDirPath, bool rover) {
  const char* name = rover ? "RvrTMC.txt" : "SntTMC.txt";
  // An empty folder setting means the root of the handheld's file system.
  return platform::ToLinuxPath(platform::JoinPath(ascWriteDirPath.empty() ? "\\" : ascWriteDirPath, name));
}

int TrafficDecoder::StartTraffic(const TrafficSettings& settings) {
  int evaluateTmc = settings.evaluateTmc;
  if (evaluateTmc == 0) return 0;
  writeMergedLog_ = settings.writeMergedLog;
  if (evaluateTmc > 0) {
    const auto listPath = [&](const char* name) {
      return platform::ToLinuxPath(platform::JoinPath(settings.programFolder, name));
    };
    if (codeLists_.OpenEventCodeList(listPath(kEventListName)) != 0 ||
        codeLists_.OpenLocationCodeList(listPath(kLocationListName)) != 0) {
      evaluateTmc = -evaluateTmc;
    }
  }
  try {
    decoder_ = std::make_unique<CRDSDecoder>(codeLists_, reporter_, clock_);
  } catch (const std::bad_alloc&) {
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    reporter_.ErrorLastError("Can't open the RDS/ TMC Decoder.\n");
    StopTraffic();
    return evaluateTmc;
  }
  decoder_->Reset();
  decoder_->SetTrace(nullptr, 0);
  const std::string logPath = evaluateTmc > 0 ? settings.trafficLogPath : std::string();
  if (!decoder_->SetLogName(logPath)) {
    reporter_.ErrorCode(platform::kErrorInvalidParameter,
                        "Can't append a new message to %s.\nTMC recording will be stopped.\n", logPath.c_str());
  }
  return evaluateTmc;
}

void TrafficDecoder::StopTraffic() {
  decoder_.reset();
  codeLists_.Close();
}

int TrafficDecoder::ReadTmcPort(const TmcReadFunction& read) {
  uint8_t buffer[kReadSize];
  size_t count = 0;
  if (const uint32_t error = read(buffer, sizeof buffer, &count); error != 0) {
    platform::SetLastError(error);
    return -1;
  }
  count = std::min(count, sizeof buffer);
  int records = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!scanner_.Take(buffer[i])) continue;
    if (writeMergedLog_ != 0 && gpsLog_ != nullptr)
      gpsLog_->GpsLogWrite(scanner_.Record(), TmcRecordScanner::kRecordSize);
    if (decoder_ == nullptr) continue;
    decoder_->DecodeGroup(-1, GroupBytes(scanner_.Record() + 1, kGroupSize));
    ++records;
  }
  return records;
}

}  // namespace traffic
