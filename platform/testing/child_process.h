#pragma once
// A program of the project run by a test in a child process: its standard output read through a
// pipe as it comes, its standard error kept in a file when one is named.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform::testing {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::filesystem::path& errorFile = {});
  ~ChildProcess();  // a child still running is killed
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // Reads until `size` bytes came, the output ended or `ms` passed.
  const std::string& ReadUntil(size_t size, int ms);
  // Takes what has come without waiting, so a child that writes much never blocks on its output.
  void Drain() { ReadUntil(SIZE_MAX, 1); }
  // Reads until `text` came or `ms` passed; true when it came.
  bool WaitForText(std::string_view text, int ms);
  void Signal(int number) const;
  // The exit status (128 + the signal that ended it) once the output has ended; a child that
  // takes longer than `ms` is killed and gives -1.
  int Finish(int ms = 5000);

  std::string output;  // what came so far

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int status_ = -1;
  bool ended_ = false;  // the child closed its standard output
};

}  // namespace platform::testing
