#include "ui/posix/posix_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace ui {

namespace {

int g_pipe[2] = {-1, -1};

// Only what is safe in a signal handler: one byte down the pipe.
void onEndSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

int posixEndSignals() {
  if (g_pipe[0] >= 0) return g_pipe[0];
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return g_pipe[0] = g_pipe[1] = -1;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction was {};
    if (::sigaction(signal, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    action.sa_flags = SA_RESTART;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
  return g_pipe[0];
}

int posixEndSignalTaken(int fd) {
  char bytes[16];
  int last = 0;
  for (ssize_t n; (n = ::read(fd, bytes, sizeof bytes)) > 0;) last = bytes[n - 1];
  return last;
}

}  // namespace ui
