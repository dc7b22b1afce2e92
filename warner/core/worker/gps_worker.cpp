#include "warner/core/worker/gps_worker.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

#include "platform/errors/errors.h"

namespace warner {

namespace {

constexpr int32_t kForced = -1;
// Both bad-sentence counters at once: the stream as a whole has no fix.
constexpr int32_t kAllSentenceTypes = gps::kSentenceGga | gps::kSentenceRmc;

uint32_t ExceptionCode(std::exception_ptr error) {
  try {
    std::rethrow_exception(std::move(error));
  } catch (const std::system_error& e) {
    return static_cast<uint32_t>(e.code().value());
  } catch (const std::bad_alloc&) {
    return platform::kErrorNotEnoughMemory;
  } catch (...) {
    return GpsWorker::kExceptionCode;
  }
}

}  // namespace

std::string WorkerFaultText(uint32_t code) {
  char text[520];
  std::snprintf(text, sizeof text, "Some exception occured in the GPS read thread.\nCode %X\n", code);
  return text;
}

GpsWorker::GpsWorker(gps::NmeaDecoder& decoder, WarningEngine& engine, SatelliteSoundOutput& sounds,
                     WorkerObserver& observer, WorkerSettings settings, std::function<void(uint32_t ms)> sleep)
    : decoder_(decoder),
      engine_(engine),
      sounds_(sounds),
      observer_(observer),
      settings_(settings),
      sleep_(std::move(sleep)) {}

void GpsWorker::SetAlternateFileReader(AlternateFileReader* reader, bool positionSource) {
  alternate_ = reader;
  alternateIsPosition_ = reader != nullptr && positionSource;
}

void GpsWorker::SetTrafficPortReader(TrafficPortReader* reader) { trafficReader_ = reader; }

uint32_t GpsWorker::Run(ByteSource* source, const std::atomic<bool>& stop) {
  // Without any source there is nothing to wait for: the run ends at once.
  uint32_t errorCode = source == nullptr && !alternateIsPosition_ ? uint32_t{platform::kErrorDevNotExist} : 0u;
  radioRefreshFailed_ = false;
  bool faultReported = false;
  decoder_.SetSettings({settings_.writeMergedLog, settings_.evaluateTmc});
  sounds_.Reset();
  ResetDecoding();
  idleMs_ = 0;
  status_ = WorkerObserver::Status::kInactive;
  SetStatus(WorkerObserver::Status::kSearching);

  while (errorCode == 0 && !stop.load()) {
    try {
      errorCode = source != nullptr ? ReadOnce(*source) : ReadAlternateOnce();
    } catch (...) {
      // A fault in one pass must not end the warning; the decoder and engine may hold half an
      // update, so they start from scratch. Once per run: a fault that repeats would flood.
      const uint32_t code = ExceptionCode(std::current_exception());
      if (!faultReported) {
        faultReported = true;
        observer_.Fault(WorkerFaultText(code));
      }
      try {
        ResetDecoding();
        sleep_(kFaultWaitMs);
      } catch (...) {
      }
    }
  }

  sounds_.SatFixLost(kForced);
  SetStatus(WorkerObserver::Status::kInactive);
  observer_.WorkerEnded(errorCode);
  return errorCode;
}

uint32_t GpsWorker::ReadOnce(ByteSource& source) {
  size_t count = 0;
  const uint32_t result = source.Read(decoder_.InputBuffer(), gps::NmeaDecoder::kInputSize, &count);
  return ActOnRead(result, count, [&] {
    decoder_.SetInputCount(count);
    DecodeInput();
  });
}

uint32_t GpsWorker::ReadAlternateOnce() {
  size_t count = 0;
  const uint32_t result = alternate_->ReadAlternateFile(&count);
  return ActOnRead(result, count, [&] {
    const int decoded = alternate_->DecodeAlternateText();
    if (decoded != -1) HandleFixResult(decoded, true);
  });
}

template <class Decode>
uint32_t GpsWorker::ActOnRead(uint32_t result, size_t count, Decode decode) {
  switch (result) {
    case 0:
      if (count == 0) {
        HandleIdle();
      } else {
        idleMs_ = 0;
        decode();
      }
      return 0;
    case platform::kErrorInvalidData:  // the reader was overtaken: what we have is torn
      ResetDecoding();
      return 0;
    case platform::kErrorNotReady:
      ForceSatLost();
      SetStatus(WorkerObserver::Status::kSearching);
      observer_.SourceNotReady();
      ResetDecoding();
      sleep_(kNotReadyWaitMs);
      return 0;
    default:  // 55, 8255, the end of a replayed file and every other error end the run
      return result;
  }
}

void GpsWorker::DecodeInput() {
  bool decodedFix = false;
  for (;;) {
    const int frame = decoder_.NextSentence();
    if (frame == gps::kFrameInputUsedUp) break;
    if (frame == gps::kFrameSentence) {
      const int parsed = decoder_.ParseSentence();
      if (parsed == gps::kParseVtg || parsed == gps::kParseIgnored) continue;
      HandleFixResult(parsed, false);
      decodedFix = decodedFix || parsed == gps::kParseFix;
    } else {
      int32_t badCount = 0;
      {
        std::lock_guard guard(decoder_.GpsFixLock());
        badCount = decoder_.FixUnderLock().badSentenceCount;
      }
      // With the satellite sounds switched off (0) a framing error must stay as silent as a bad
      // sentence; only the silent, not-ready and ending source force the sound then.
      if (settings_.playSatFixSound > 0 && badCount >= settings_.playSatFixSound) ForceSatLost();
      SetStatus(WorkerObserver::Status::kNoFix);
    }
  }
  if (decodedFix) RefreshRadioValues();
}

void GpsWorker::HandleFixResult(int result, bool alternateText) {
  int32_t badCount = 0;
  int32_t sentenceType = 0;
  {
    std::lock_guard guard(decoder_.GpsFixLock());
    badCount = decoder_.FixUnderLock().badSentenceCount;
    sentenceType = static_cast<int32_t>(decoder_.FixUnderLock().lastSentenceType);
  }
  if (result == gps::kParseFix) {
    if (badCount < 1) {
      sounds_.SatFixRegained(sentenceType);
      SetStatus(WorkerObserver::Status::kFix);
    }
    engine_.ProcessFix(decoder_.FixUnderLock());
  } else {
    // An alternate text stands for both sentence types at once.
    sounds_.SatFixLost(alternateText ? kAllSentenceTypes : sentenceType);
    SetStatus(WorkerObserver::Status::kNoFix);
  }
}

void GpsWorker::RefreshRadioValues() {
  if (alternate_ == nullptr || alternateIsPosition_ || radioRefreshFailed_) return;
  size_t count = 0;
  // The file's failure has been reported once; the position goes on without its radio values
  // rather than with a message on every fix.
  if (alternate_->ReadAlternateFile(&count) != 0) {
    radioRefreshFailed_ = true;
    return;
  }
  alternate_->DecodeAlternateText();
}

void GpsWorker::HandleIdle() {
  if (trafficReader_ != nullptr && std::abs(settings_.evaluateTmc) == 2) trafficReader_->ReadTmcPort();
  sleep_(kIdleWaitMs);
  idleMs_ += kIdleWaitMs;
  if (idleMs_ < kIdleLimitMs) return;
  idleMs_ = 0;
  ForceSatLost();
  SetStatus(WorkerObserver::Status::kSearching);
}

void GpsWorker::ResetDecoding() {
  decoder_.ResetGpsFix();
  engine_.ResetEngine();
}

void GpsWorker::ForceSatLost() {
  // Raise both counters as a bad sentence of each type would, then force: counting alone leaves a
  // silent receiver unheard until the counters reach PlaySatFixSound, and never with it at 0.
  sounds_.SatFixLost(kAllSentenceTypes);
  sounds_.SatFixLost(kForced);
}

void GpsWorker::SetStatus(WorkerObserver::Status status) {
  if (status == status_) return;
  status_ = status;
  observer_.StatusChanged(status);
}

}  // namespace warner
