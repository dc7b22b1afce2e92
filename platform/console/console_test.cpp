#include "platform/console/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/testing/pty.h"

namespace platform {
namespace {

std::string Contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
  return text;
}

TEST(Console, NoEscapeSequencesIntoFilesOrPipes) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(IsTerminal(file));
  { BlackOnWhiteConsole colours(file); }
  EXPECT_EQ(Contents(file), "");
  std::fclose(file);
}

TEST(Console, ColoursOnATerminalAreSetAndRestored) {
  const testing::Pty pty;
  std::FILE* terminal = ::fdopen(::dup(pty.slave()), "w");
  ASSERT_NE(terminal, nullptr);
  EXPECT_TRUE(IsTerminal(terminal));
  { BlackOnWhiteConsole colours(terminal); }
  std::fflush(terminal);
  char buffer[64] = {};
  const ssize_t n = ::read(pty.master(), buffer, sizeof buffer - 1);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buffer, n), "\x1b[30;107m\x1b[0m");
  std::fclose(terminal);
}

}  // namespace
}  // namespace platform
