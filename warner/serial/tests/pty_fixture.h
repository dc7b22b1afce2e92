#pragma once
// The source tests' receiver: a pseudo-terminal in raw mode, mapped as "COM4:" in the registry of a
// temporary system root; the test writes the receiver's bytes into its master side.

#include <filesystem>

#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"

namespace serial::test {

class PtyFixture : public platform::testing::SystemRootTest {
 protected:
  void SetUp() override {
    pty_.MakeRaw();
    platform::testing::MapPort("COM4:", pty_.slavePath());
  }

  const std::filesystem::path dir_{system_.Folder()};
  platform::testing::Pty pty_;
};

}  // namespace serial::test
