#pragma once
// The device manager daemon for the current system root: one per root (an flock on
// run/devmgrd.lock, which also holds its pid), listening on run/devmgr.sock, one thread per
// connection. It runs until a client asks it to stop, SIGTERM or SIGINT arrives, or its socket
// file disappears or is replaced (a test's temporary root removed); then it closes every
// connection and unloads every driver.

#include <functional>
#include <ostream>
#include <string>

namespace platform {

// Exit codes of RunDeviceManager.
inline constexpr int kDaemonStopped = 0;
inline constexpr int kDaemonCannotStart = 2;
inline constexpr int kDaemonAlreadyRuns = 3;

// `ready` is called once: with kDaemonStopped when the socket listens and the boot drivers are
// loaded, or with the exit code and the reason when the daemon cannot start. Messages go to `log`.
int RunDeviceManager(std::ostream& log, const std::function<void(int code, const std::string& why)>& ready);

}  // namespace platform
