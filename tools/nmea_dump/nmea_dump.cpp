// nmea-dump: runs a GPS receiver's byte stream through the warner's framer and parser, exactly as
// the warner's worker does (64-byte refills, embedded TMC records lifted out), and prints one JSON
// object per framed sentence, framing error and TMC record.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/json/json_line.h"
#include "platform/sync/critical_section.h"
#include "warner/gps/gps_fix.h"
#include "warner/gps/nmea_decoder.h"

namespace {

constexpr const char* kUsage =
    "Usage: nmea-dump [--tmc-source N] [FILE]\n"
    "Reads NMEA 0183 bytes from FILE (or standard input when FILE is missing or '-') through the\n"
    "warner's sentence framer and parser and prints one JSON object per line:\n"
    "  a framed sentence: next 0, the sentence, the parse result and the whole GPS fix after it;\n"
    "  a framing error:   next 1 and the bad-sentence counter;\n"
    "  an embedded TMC record: {\"tmc\":\"<the 9 bytes after '?' as hex>\"}.\n"
    "Options:\n"
    "  --tmc-source N  the warner's TMC source setting (default 1: records embedded in the GPS\n"
    "                  stream are lifted out; 2 or -2: the TMC port is separate, '?' is plain data)\n"
    "  -h, --help      this text\n"
    "Exit status: 0 done, 1 the file cannot be read or the output cannot be written, 2 wrong\n"
    "command line.\n";

struct Options {
  int tmcSource = 1;
  const char* path = nullptr;
};

// Standard output, which remembers why its first write failed (a full disk, a closed pipe), so the
// dump can stop and say so instead of ending as if all had been written.
class Output {
 public:
  void Put(const std::string& line) {
    if (std::fputs(line.c_str(), stdout) == EOF) Failed();
  }
  // Flushes; 0 when every line reached standard output, else the errno of the first failure.
  int Finish() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) Failed();
    return error_;
  }
  bool HasFailed() const { return error_ != 0; }

 private:
  void Failed() {
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
  }
  int error_ = 0;
};

// Prints every TMC record as soon as the framer completes it, so lines keep the stream's order.
class PrintingTmcSink : public gps::TmcRecordSink {
 public:
  explicit PrintingTmcSink(Output& output) : output_(output) {}
  void GroupInput(const uint8_t* bytes, size_t count, int) override {
    std::string hex;
    char digits[3];
    for (size_t i = 0; i < count; ++i) {
      std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
      hex += digits;
    }
    output_.Put(platform::JsonLine().Text("tmc", hex).Finish());
  }

 private:
  Output& output_;
};

std::string_view WithoutLineEnd(std::string_view sentence) {
  while (!sentence.empty() && (sentence.back() == '\n' || sentence.back() == '\r')) sentence.remove_suffix(1);
  return sentence;
}

std::string SentenceLine(std::string_view sentence, int parse, const gps::GpsFix& f) {
  platform::JsonLine line;
  line.Int("next", gps::kFrameSentence)
      .Text("sentence", WithoutLineEnd(sentence))
      .Int("parse", parse)
      .Int("lastSentenceType", f.lastSentenceType)
      .Int("validMask", f.validMask)
      .Int("badSentenceCount", f.badSentenceCount)
      .Int("hour", f.hour)
      .Int("minute", f.minute)
      .Int("second", f.second)
      .Int("millisecond", f.millisecond)
      .Int("timeOfDayMs", f.timeOfDayMs)
      .Int("day", f.day)
      .Int("month", f.month)
      .Int("year", f.year)
      .Real("latitude", f.latitude)
      .Real("longitude", f.longitude)
      .Char("latHemisphere", f.latHemisphere)
      .Char("lonHemisphere", f.lonHemisphere)
      .Int("latDegrees", f.latDegrees)
      .Int("latMinutes", f.latMinutes)
      .Int("latSeconds", f.latSeconds)
      .Int("lonDegrees", f.lonDegrees)
      .Int("lonMinutes", f.lonMinutes)
      .Int("lonSeconds", f.lonSeconds)
      .Real("speedKmh", f.speedKmh)
      .Real("course", f.course)
      .Real("altitude", f.altitude)
      .Real("geoidSeparation", f.geoidSeparation)
      .Char("geoidSeparationUnit", f.geoidSeparationUnit)
      .Real("hdop", f.hdop)
      .Int("satellites", f.satellites)
      .Int("fixQuality", f.fixQuality);
  return line.Finish();
}

// Returns false with a message on a bad command line; sets wantHelp for -h.
bool ParseOptions(int argc, char** argv, Options& options, bool& wantHelp) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      wantHelp = true;
    } else if (arg == "--tmc-source" && i + 1 < argc) {
      char* end = nullptr;
      errno = 0;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || errno != 0 || value < -1000 || value > 1000) {
        std::fprintf(stderr, "nmea-dump: --tmc-source needs a number, not '%s'\n", argv[i]);
        return false;
      }
      options.tmcSource = static_cast<int>(value);
    } else if ((arg.size() > 1 && arg[0] == '-') || options.path != nullptr) {
      std::fprintf(stderr, "nmea-dump: unexpected argument '%s'\n", argv[i]);
      return false;
    } else {
      options.path = argv[i];
    }
  }
  return true;
}

void Dump(std::FILE* in, const Options& options, Output& output) {
  platform::CriticalSection gpsFixLock;
  gps::NmeaDecoder decoder(gpsFixLock);
  PrintingTmcSink tmcSink(output);
  decoder.SetSettings({0, options.tmcSource});
  decoder.SetTmcSink(&tmcSink);
  decoder.ResetGpsFix();

  size_t count;
  while (!output.HasFailed() && (count = std::fread(decoder.InputBuffer(), 1, gps::NmeaDecoder::kInputSize, in)) > 0) {
    decoder.SetInputCount(count);
    for (int next; (next = decoder.NextSentence()) != gps::kFrameInputUsedUp;) {
      if (next == gps::kFrameSentence) {
        const int parse = decoder.ParseSentence();
        output.Put(SentenceLine(decoder.Sentence(), parse, decoder.Snapshot()));
      } else {
        const gps::GpsFix f = decoder.Snapshot();
        output.Put(platform::JsonLine().Int("next", next).Int("badSentenceCount", f.badSentenceCount).Finish());
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool wantHelp = false;
  if (!ParseOptions(argc, argv, options, wantHelp)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (wantHelp) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const bool fromStdin = options.path == nullptr || std::strcmp(options.path, "-") == 0;
  std::FILE* in = fromStdin ? stdin : std::fopen(options.path, "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "nmea-dump: cannot open '%s': %s\n", options.path, std::strerror(errno));
    return 1;
  }
  Output output;
  Dump(in, options, output);
  const bool readError = std::ferror(in) != 0;
  if (!fromStdin) std::fclose(in);
  if (readError) {
    std::fprintf(stderr, "nmea-dump: read error on '%s'\n", fromStdin ? "-" : options.path);
    return 1;
  }
  if (const int error = output.Finish()) {
    std::fprintf(stderr, "nmea-dump: cannot write the output: %s\n", std::strerror(error));
    return 1;
  }
  return 0;
}
