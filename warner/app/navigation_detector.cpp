#include "warner/app/navigation_detector.h"

#include <cctype>

namespace warner {

namespace {

std::string UpperCased(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

}  // namespace

bool IsNavigationTitle(std::string_view title) {
  const std::string upper = UpperCased(title);
  for (const char* name : {"NAVIGATOR", "DESTINATOR", "TOMTOM"}) {
    if (upper.find(name) != std::string::npos) return true;
  }
  return false;
}

NavigationDetector::NavigationDetector(DesktopAccess desktop) : desktop_(std::move(desktop)) {}

bool NavigationDetector::Detect() {
  const std::vector<platform::TopLevelWindow> windows = desktop_.windows();
  std::lock_guard lock(mutex_);
  for (const platform::TopLevelWindow& window : windows) {
    if (!IsNavigationTitle(window.title)) continue;
    window_ = window.id;
    found_ = true;
  }
  return found_;
}

bool NavigationDetector::CheckBeforeRead(bool searchWhenUnknown) {
  {
    std::lock_guard lock(mutex_);
    if (found_) {
      if (desktop_.exists(window_)) return true;
      found_ = false;
      window_ = 0;
    }
  }
  return searchWhenUnknown && Detect();
}

bool NavigationDetector::Found() const {
  std::lock_guard lock(mutex_);
  return found_;
}

platform::WindowId NavigationDetector::Window() const {
  std::lock_guard lock(mutex_);
  return window_;
}

}  // namespace warner
