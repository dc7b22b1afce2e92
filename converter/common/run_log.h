#pragma once
// The conversion run's log and counters. The log is the console until the configuration's
// LogFile opens a file; every message of the run goes through it, printf-formatted. What it writes
// is LogText: the messages quote configuration values and list lines as they stand in their files.

#include <cstdio>
#include <string>
#include <string_view>

namespace converter {

class RunLog {
 public:
  // console: where messages go while no log file is open (standard output in the program,
  // a temporary file in tests).
  explicit RunLog(std::FILE* console = stdout) : console_(console) {}
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;
  ~RunLog() { CloseFile(); }

  void Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void Write(std::string_view text);
  // Writes to the console even while a log file is open.
  void ConsolePrintf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  // Creates (truncates) the log file at a Linux path and makes it the log; false when it cannot.
  bool OpenFile(const std::string& linuxPath);
  // False when the log file could not be written whole; FileErrno() then tells why.
  bool CloseFile();
  bool HasFile() const { return file_ != nullptr; }
  int FileErrno() const { return fileErrno_; }

 private:
  std::FILE* Stream() const { return file_ != nullptr ? file_ : console_; }
  void Put(std::FILE* stream, std::string_view text);

  std::FILE* console_;
  std::FILE* file_ = nullptr;
  int fileErrno_ = 0;  // of the first write to the log file that failed
};

// A message as the log and the console show it: text that is valid UTF-8 stays, anything else is
// taken as Windows-1252; every control character but the line end and the tab is escaped, so that a
// garbage line can neither break the output's encoding nor send escape sequences to a terminal.
std::string LogText(std::string_view text);

// What the run counts for its summary.
struct RunCounters {
  int badPois = 0;       // lines rejected in the POI lists
  int configErrors = 0;  // colour names that could not be decoded
  int pois = 0;          // POIs parsed from all lists
  int warningPois = 0;   // POIs written into the .snt database
};

// The Linux path of a path from the configuration or a POI list: Windows-1252 text with `\` or
// `/` separators, resolved by the platform's path rules.
std::string ConverterPath(std::string_view configuredPath);

// The runtime's standard text for an errno value, as the log messages quote it.
std::string ErrnoText(int errnoValue);

}  // namespace converter
