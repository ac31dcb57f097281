// Starts a program and prints how long it took until a window with the given title was
// viewable on the X display, and the program's process id. The program is left running.
//   xwait TITLE PROGRAM [ARGS...]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

extern char** environ;

namespace {

std::string titleOf(Display* d, Window w) {
  static const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  static const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(d, w, netName, 0, 256, False, utf8, &type, &format, &count, &after, &data) == Success && data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
      title = name;
      XFree(name);
    }
  }
  return title;
}

bool findViewable(Display* d, Window w, const std::string& title, int depth) {
  XWindowAttributes a;
  if (XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable && titleOf(d, w) == title) return true;
  if (depth > 3) return false;
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &n)) return false;
  bool found = false;
  for (unsigned i = 0; i < n && !found; ++i) found = findViewable(d, children[i], title, depth + 1);
  if (children) XFree(children);
  return found;
}

int silentErrors(Display*, XErrorEvent*) { return 0; }  // windows vanish while we look

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TITLE PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 1;
  XSetErrorHandler(silentErrors);
  const auto start = std::chrono::steady_clock::now();
  // The program must not hold our output open: callers read it to its end.
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  if (posix_spawnp(&pid, argv[2], &quiet, nullptr, argv + 2, environ) != 0) return 1;
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
    if (findViewable(d, DefaultRootWindow(d), argv[1], 0)) {
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      std::printf("%.1f %d\n", ms, static_cast<int>(pid));
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::printf("timeout %d\n", static_cast<int>(pid));
  return 1;
}
