#include "warner/gps/nmea_decoder.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>

#include "warner/gps/gps_log.h"

namespace gps {

namespace {

// Index of the first `byte` among the first `count` bytes, or count.
size_t FirstOf(const uint8_t* bytes, size_t count, uint8_t byte) {
  const void* hit = std::memchr(bytes, byte, count);
  return hit == nullptr ? count : static_cast<size_t>(static_cast<const uint8_t*>(hit) - bytes);
}

}  // namespace

NmeaDecoder::NmeaDecoder(platform::CriticalSection& gpsFixLock, GpsLogSink* log) : gpsFixLock_(gpsFixLock), log_(log) {}

void NmeaDecoder::ResetGpsFix() {
  std::lock_guard guard(gpsFixLock_);
  fix_ = GpsFix{};
  inputCount_ = inputPos_ = 0;
  sentenceLength_ = 0;
  sentence_[0] = 0;
  state_ = FrameState::kWaitingForDollar;
  bytesSinceSentence_ = 0;
  maxSentenceLength_ = kSentenceSize;
  tmcInProgress_ = false;
  tmcCount_ = 0;
}

void NmeaDecoder::SetInputCount(size_t count) {
  inputCount_ = std::min(count, kInputSize);
  inputPos_ = 0;
}

size_t NmeaDecoder::FeedInput(std::span<const uint8_t> bytes) {
  const size_t count = std::min(bytes.size(), kInputSize);
  std::memcpy(input_, bytes.data(), count);
  SetInputCount(count);
  return count;
}

int NmeaDecoder::NextSentence() {
  while (inputPos_ < inputCount_) {
    TakePlainRun();
    if (inputPos_ == inputCount_) break;
    const uint8_t byte = input_[inputPos_++];
    if (settings_.writeMergedLog != 0 && log_ != nullptr) log_->GpsLogWrite(&byte, 1);
    if (TakeIntoTmcRecord(byte)) continue;
    const int result = FrameByte(byte);
    if (result != kNoFrameResult) return result;
  }
  // Also forget the count, so that a second call without a refill cannot replay old bytes.
  inputPos_ = inputCount_ = 0;
  return kFrameInputUsedUp;
}

// Takes the bytes up to the next one that can change the framer's state ('$' while waiting,
// a line feed inside a sentence, '?' when records are lifted out, the byte that reaches the
// length limit) in one step. Byte by byte they would have exactly the same effect; the
// special byte itself is left for the byte-wise path.
void NmeaDecoder::TakePlainRun() {
  if (settings_.writeMergedLog != 0 || tmcInProgress_ || state_ == FrameState::kComplete) return;
  const bool liftRecords = settings_.evaluateTmc != 2 && settings_.evaluateTmc != -2;
  const uint8_t stop = state_ == FrameState::kInSentence ? '\n' : '$';
  const size_t limitRoom = maxSentenceLength_ - 1 - bytesSinceSentence_;
  const size_t bufferRoom = state_ == FrameState::kInSentence ? kSentenceSize - sentenceLength_ : limitRoom;
  const size_t room = std::min({inputCount_ - inputPos_, limitRoom, bufferRoom});
  const uint8_t* run = input_ + inputPos_;
  size_t n = FirstOf(run, room, stop);
  if (liftRecords) n = FirstOf(run, n, '?');
  if (state_ == FrameState::kInSentence) {
    std::memcpy(sentence_ + sentenceLength_, run, n);
    sentenceLength_ += n;
    sentence_[sentenceLength_] = 0;
  }
  bytesSinceSentence_ += n;
  inputPos_ += n;
}

bool NmeaDecoder::TakeIntoTmcRecord(uint8_t byte) {
  if (settings_.evaluateTmc == 2 || settings_.evaluateTmc == -2) return false;
  if (!tmcInProgress_) {
    if (byte != '?') return false;
    tmcInProgress_ = true;
    tmcCount_ = 0;
  }
  tmcRecord_[tmcCount_++] = byte;
  if (tmcCount_ == kTmcRecordSize) {
    if (tmcSink_ != nullptr) tmcSink_->GroupInput(tmcRecord_ + 1, kTmcRecordSize - 1, kTmcChannelEmbedded);
    tmcInProgress_ = false;
    tmcCount_ = 0;
  }
  return true;
}

int NmeaDecoder::FrameByte(uint8_t byte) {
  if (state_ == FrameState::kComplete) {
    bytesSinceSentence_ = 0;
    sentenceLength_ = 0;
    state_ = FrameState::kWaitingForDollar;
  }
  // A sentence plus the junk before it must stay under the maximum length.
  if (++bytesSinceSentence_ >= maxSentenceLength_) return FramingError();
  if (state_ == FrameState::kWaitingForDollar) {
    sentence_[sentenceLength_] = 0;
    if (byte != '$') return kNoFrameResult;
    state_ = FrameState::kInSentence;
  }
  if (sentenceLength_ >= kSentenceSize) return FramingError();
  sentence_[sentenceLength_++] = byte;
  sentence_[sentenceLength_] = 0;
  if (byte != '\n') return kNoFrameResult;

  if (settings_.writeMergedLog == 0 && log_ != nullptr) log_->GpsLogWrite(sentence_, sentenceLength_);
  for (size_t i = 0; i < sentenceLength_; ++i) sentence_[i] &= 0x7F;
  state_ = FrameState::kComplete;
  return kFrameSentence;
}

int NmeaDecoder::FramingError() {
  bytesSinceSentence_ = 0;
  sentenceLength_ = 0;
  sentence_[0] = 0;
  state_ = FrameState::kWaitingForDollar;
  std::lock_guard guard(gpsFixLock_);
  if (fix_.badSentenceCount < std::numeric_limits<int32_t>::max()) ++fix_.badSentenceCount;
  return kFrameError;
}

std::string_view NmeaDecoder::Sentence() const { return {reinterpret_cast<const char*>(sentence_), sentenceLength_}; }

GpsFix NmeaDecoder::Snapshot() const {
  std::lock_guard guard(gpsFixLock_);
  return fix_;
}

}  // namespace gps
