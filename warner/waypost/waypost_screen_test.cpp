// The waypost program on a real X server with a window manager (run under xvfb-run), as on the
// road: a receiver shares its port with a navigation program (UseWM5GPSPort), the test plays both.
// The warner holds the port only while the navigation window is there, its pop-ups sit where the
// layout puts them, above the navigation window and never focused, and it announces what a replay
// of the same bytes announces.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/desktop.h"
#include "platform/desktop/testing/window_manager.h"
#include "platform/port_taps/pseudo_terminal.h"
#include "platform/testing/child_process.h"
#include "platform/testing/files.h"
#include "platform/testing/pty.h"
#include "platform/testing/system_root.h"
#include "warner/display/popup_layout.h"
#include "warner/headless/tests/sample_warner.h"
// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using platform::port_taps_detail::PseudoTerminal;
using platform::port_taps_detail::Wake;

// Deadlines, not sleeps: a loaded machine may take its time, a quick one goes on at once.
template <typename Done>
bool WaitFor(Done done, std::chrono::seconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::vector<std::string> Announcements(const std::string& jsonLines) {
  std::vector<std::string> found;
  std::istringstream lines(jsonLines);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("{\"event\":\"announce\"", 0) == 0) found.push_back(line);
  }
  return found;
}

// The test's own connection to the display: the navigation program's window and what the window
// manager and the warner do with the focus and the windows.
class Screen {
 public:
  Screen() : display_(XOpenDisplay(nullptr)) {}
  ~Screen() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  bool Open() const { return display_ != nullptr; }

  // A map covering the screen, focused as the driver would have it.
  Window OpenNavigationWindow() {
    navigation_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 800, 480, 0, 0, 0);
    XStoreName(display_, navigation_, "NAVIGATOR");
    XMapWindow(display_, navigation_);
    XSync(display_, False);
    return navigation_;
  }
  bool FocusNavigationWindow() const {
    if (!Viewable(navigation_)) return false;
    XSetInputFocus(display_, navigation_, RevertToParent, CurrentTime);
    return FocusedWindow() == navigation_;
  }
  Window FocusedWindow() const {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus;
  }
  bool Viewable(platform::WindowId id) const {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display_, static_cast<Window>(id), &attributes) != 0 &&
           attributes.map_state == IsViewable;
  }
  // Closing from the title bar, as a driver ends the warner.
  void AskToClose(platform::WindowId id) const {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(id);
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, static_cast<Window>(id), False, NoEventMask, &event);
    XSync(display_, False);
  }

 private:
  Display* display_;
  Window navigation_ = 0;
};

// Whether a program opened the terminal since the watch began.
class OpenWatch {
 public:
  explicit OpenWatch(const fs::path& terminal) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) inotify_add_watch(fd_, terminal.c_str(), IN_OPEN);
  }
  ~OpenWatch() {
    if (fd_ >= 0) close(fd_);
  }
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;

  bool Opened() {
    char events[4096];
    while (read(fd_, events, sizeof events) > 0) opened_ = true;
    return opened_;
  }

 private:
  int fd_;
  bool opened_ = false;
};

// What the poll of the screen saw of the pop-ups over the whole drive.
struct PopupSightings {
  std::set<std::string> placed;     // seen where the layout puts them
  std::vector<std::string> faults;  // first few misplacements, stackings below, focus taken
  void Fault(const std::string& text) {
    if (faults.size() < 8) faults.push_back(text);
  }
};

class WaypostScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
    unsetenv("QT_QPA_PLATFORM");
    warner::test::CopySampleWarner(folder_);
    layouts_ = warner::display::ParseWindowLayouts(platform::testing::ReadFile(folder_ / "Waypost.ini"), 10);
    ASSERT_GE(layouts_.size(), 6u);
  }

  // The events of the same bytes replayed without windows, before the port is configured.
  std::string Replayed() const {
    const std::string drive = SAMPLE_DATA_DIR "/drive.nmea";
    platform::testing::ChildProcess replay(WAYPOST_PROGRAM,
                                           {"--replay", drive, "--json", "--folder", folder_.string()});
    replay.ReadUntil(SIZE_MAX, 20000);
    EXPECT_EQ(replay.Finish(), 0);
    return replay.output;
  }

  void Look(const Screen& screen, PopupSightings& seen) const {
    const std::vector<platform::TopLevelWindow> windows = platform::EnumerateTopLevelWindows();
    int navigation = -1;
    for (size_t i = 0; i < windows.size(); ++i) {
      if (windows[i].title == "NAVIGATOR") navigation = static_cast<int>(i);
    }
    const platform::WindowId focus = screen.FocusedWindow();
    for (size_t i = 0; i < windows.size(); ++i) {
      const platform::TopLevelWindow& w = windows[i];
      const auto layout =
          std::find_if(layouts_.begin(), layouts_.end(), [&](const auto& l) { return l.name == w.title; });
      if (layout == layouts_.end() || !screen.Viewable(w.id)) continue;
      if (w.x == layout->posX && w.y == layout->posY && w.width == layout->sizeX && w.height == layout->sizeY) {
        seen.placed.insert(w.title);
      } else {
        seen.Fault(w.title + " at " + std::to_string(w.x) + "," + std::to_string(w.y) + " " + std::to_string(w.width) +
                   "x" + std::to_string(w.height));
      }
      if (static_cast<int>(i) < navigation) seen.Fault(w.title + " below the navigation window");
      if (focus == w.id) seen.Fault(w.title + " has the focus");
    }
  }

  const platform::testing::TempSystemRoot system_;
  const platform::testing::ScopedEnv sound_{"DW_SOUND", "null"};
  const fs::path folder_ = system_.Folder() / "warner";
  std::vector<warner::display::PopupLayout> layouts_;
};

TEST_F(WaypostScreenTest, TheSampleDriveOverANavigationProgram) {
  const std::vector<std::string> expected = Announcements(Replayed());
  ASSERT_FALSE(expected.empty());

  platform::testing::WindowManager manager;
  ASSERT_TRUE(manager.WaitRunning());
  Screen screen;
  ASSERT_TRUE(screen.Open());
  const int never = eventfd(0, EFD_CLOEXEC);
  const std::unique_ptr<PseudoTerminal> receiver = PseudoTerminal::Create((system_.Folder() / "gps").string(), never);
  ASSERT_NE(receiver, nullptr);
  OpenWatch watch(fs::read_symlink(receiver->LinkPath()));
  platform::testing::MapPort("COM4:", receiver->LinkPath());
  std::ofstream(folder_ / "SntGlobals.ini", std::ios::app) << "UseWM5GPSPort = COM4:\nAutoSwitch = 1\n";

  const fs::path events = system_.Folder() / "events.jsonl";
  const fs::path errors = system_.Folder() / "errors.txt";
  platform::testing::ChildProcess warner(WAYPOST_PROGRAM, {"--folder", folder_.string(), "--events", events.string()},
                                         errors);
  ASSERT_TRUE(warner.Started());
  const auto held = [&] { return receiver->Wait(0, 0) != Wake::kLeft; };
  // The activation opens the shared port; with no navigation program it is let go again.
  ASSERT_TRUE(WaitFor([&] { return watch.Opened() && !held(); }, std::chrono::seconds(20)))
      << platform::testing::ReadFile(errors);

  screen.OpenNavigationWindow();
  ASSERT_TRUE(WaitFor(held, std::chrono::seconds(10))) << "the navigation window was not found";
  ASSERT_TRUE(WaitFor([&] { return screen.FocusNavigationWindow(); }, std::chrono::seconds(5)));

  // About 16 KB/s, a hundred fixes a second: far faster than a receiver, yet the warner's 16 KB
  // ring holds a second of it, so a loaded machine that holds the worker back loses nothing.
  std::atomic<bool> fed{false};
  std::atomic<bool> lost{false};
  std::thread feeder([&] {
    const std::string drive = platform::testing::ReadFile(SAMPLE_DATA_DIR "/drive.nmea");
    for (size_t at = 0; at < drive.size() && !lost;) {
      if (receiver->Wait(POLLOUT, 1000) == Wake::kLeft) lost = true;
      const ssize_t written = receiver->Write(drive.data() + at, std::min<size_t>(512, drive.size() - at));
      if (written > 0) at += static_cast<size_t>(written);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    fed = true;
  });
  PopupSightings seen;
  while (!fed) {
    Look(screen, seen);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  feeder.join();
  EXPECT_FALSE(lost) << "the warner let go of the port during the drive";
  for (const auto& layout : layouts_) EXPECT_TRUE(seen.placed.count(layout.name)) << layout.name << " never placed";
  for (const std::string& fault : seen.faults) ADD_FAILURE() << fault;

  EXPECT_TRUE(WaitFor([&] { return Announcements(platform::testing::ReadFile(events)).size() >= expected.size(); },
                      std::chrono::seconds(20)));
  std::vector<platform::TopLevelWindow> windows = platform::EnumerateTopLevelWindows();
  const auto main = std::find_if(windows.begin(), windows.end(), [](const auto& w) { return w.title == "POI Sentry"; });
  ASSERT_NE(main, windows.end());
  screen.AskToClose(main->id);
  EXPECT_EQ(warner.Finish(15000), 0) << platform::testing::ReadFile(errors);
  EXPECT_EQ(Announcements(platform::testing::ReadFile(events)), expected);
  close(never);
}

}  // namespace
