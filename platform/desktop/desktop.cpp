#include "platform/desktop/desktop.h"

#include <cstdlib>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace platform {

namespace {

// A window that disappears between listing and asking is normal here; Xlib's default handler
// would end the program for it.
int IgnoreXError(Display* /*display*/, XErrorEvent* /*event*/) { return 0; }

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

DisplayHandle OpenDisplay() {
  static std::once_flag handlerSet;
  std::call_once(handlerSet, [] {
    XInitThreads();
    XSetErrorHandler(IgnoreXError);
  });
  return DisplayHandle(XOpenDisplay(nullptr));
}

std::string Utf8Property(Display* display, Window window, Atom property, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actualType, &format, &items, &after,
                         &data) != Success ||
      data == nullptr) {
    return {};
  }
  std::string text;
  if (actualType == type && format == 8) text.assign(reinterpret_cast<const char*>(data), items);
  XFree(data);
  return text;
}

std::string WindowTitle(Display* display, Window window) {
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  std::string title = Utf8Property(display, window, netName, utf8);
  if (!title.empty()) return title;
  XTextProperty property{};
  if (XGetWMName(display, window, &property) == 0 || property.value == nullptr) return {};
  char** list = nullptr;
  int count = 0;
  if (Xutf8TextPropertyToTextList(display, &property, &list, &count) >= Success && list != nullptr) {
    if (count > 0 && list[0] != nullptr) title = list[0];
    XFreeStringList(list);
  }
  XFree(property.value);
  return title;
}

bool HasWmState(Display* display, Window window) {
  const Atom wmState = XInternAtom(display, "WM_STATE", False);
  Atom actualType = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, window, wmState, 0, 0, False, AnyPropertyType, &actualType, &format,
                                        &items, &after, &data) == Success &&
                     actualType != None;
  if (data != nullptr) XFree(data);
  return found;
}

std::vector<Window> Children(Display* display, Window parent) {
  Window root = 0, parentOut = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  std::vector<Window> result;
  if (XQueryTree(display, parent, &root, &parentOut, &children, &count) == 0) return result;
  if (children != nullptr) {
    result.assign(children, children + count);
    XFree(children);
  }
  return result;
}

// A client's geometry is relative to its parent, which is a frame under a window manager: the
// position is translated to the root instead.
TopLevelWindow Placed(Display* display, Window window, std::string title) {
  TopLevelWindow placed{window, std::move(title)};
  Window root = 0, child = 0;
  int x = 0, y = 0;
  unsigned int width = 0, height = 0, border = 0, depth = 0;
  if (XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth) == 0 ||
      XTranslateCoordinates(display, window, root, 0, 0, &placed.x, &placed.y, &child) == 0) {
    return placed;
  }
  placed.width = static_cast<int>(width);
  placed.height = static_cast<int>(height);
  return placed;
}

// A window manager reparents each client into a frame of its own: the title is on the client,
// one level down, which carries WM_STATE or at least a title.
TopLevelWindow Describe(Display* display, Window window) {
  std::string title = WindowTitle(display, window);
  if (!title.empty() || HasWmState(display, window)) return Placed(display, window, std::move(title));
  for (Window child : Children(display, window)) {
    std::string childTitle = WindowTitle(display, child);
    if (!childTitle.empty() || HasWmState(display, child)) return Placed(display, child, std::move(childTitle));
  }
  return {window, {}};
}

}  // namespace

std::vector<TopLevelWindow> EnumerateTopLevelWindows() {
  std::vector<TopLevelWindow> windows;
  const DisplayHandle display = OpenDisplay();
  if (!display) return windows;
  for (Window window : Children(display.get(), DefaultRootWindow(display.get()))) {
    TopLevelWindow described = Describe(display.get(), window);
    if (!described.title.empty()) windows.push_back(std::move(described));
  }
  return windows;
}

bool WindowExists(WindowId id) {
  const DisplayHandle display = OpenDisplay();
  if (!display || id == 0) return false;
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display.get(), static_cast<Window>(id), &attributes) != 0;
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace platform
