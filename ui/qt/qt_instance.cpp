#include "ui/qt/qt_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace ui::qt {

namespace {

constexpr char kKnock[] = "show\n";
constexpr char kAnswer[] = "ok\n";
// The running copy may have taken the lock a moment ago and not be listening yet.
constexpr auto kReachWithin = std::chrono::seconds(5);

// A folder of this user's that no one else can put things into.
bool privateFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

bool addressOf(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool waitFor(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  int n;
  while ((n = ::poll(&p, 1, ms)) < 0 && errno == EINTR) {}
  return n == 1 && (p.revents & events);
}

// Knocks once at the running copy's socket; true when it answered.
bool knock(const std::string& path) {
  sockaddr_un address;
  if (!addressOf(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  char reply[8] = {};
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  ::send(fd, kKnock, sizeof kKnock - 1, MSG_NOSIGNAL) == sizeof kKnock - 1 && waitFor(fd, POLLIN, 2000) &&
                  ::recv(fd, reply, sizeof reply - 1, 0) > 0 && std::strcmp(reply, kAnswer) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

std::string runtimeFolder() {
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && run[0] == '/' && privateFolder(run)) return run;
  // No session runtime folder (a bare X session, a cron job): a private one in /tmp. If
  // someone else made it first, it is not used.
  const std::string fallback = "/tmp/tollora-" + std::to_string(::getuid());
  ::mkdir(fallback.c_str(), 0700);
  return privateFolder(fallback) ? fallback : std::string();
}

InstanceLock::InstanceLock() = default;

InstanceLock::~InstanceLock() {
  notifier_.reset();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(socketPath_.c_str());  // still ours: we hold the lock
  }
  if (lockFd_ >= 0) ::close(lockFd_);
}

bool InstanceLock::claim(const std::string& tag, std::function<void()> anotherStart) {
  const std::string folder = runtimeFolder();
  if (folder.empty()) return true;
  const std::string base = folder + "/tollora-" + tag;
  socketPath_ = base + ".socket";

  // Close-on-exec: a program started from here (the browser, from About) must not carry the
  // lock on after this copy has ended.
  lockFd_ = ::open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lockFd_ < 0) return true;
  // The lock file is never removed: a copy that removed it on its way out could leave the
  // next two starts each holding a lock on a different file.
  const auto until = std::chrono::steady_clock::now() + kReachWithin;
  do {
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return listen(std::move(anotherStart));
    if (errno != EWOULDBLOCK && errno != EINTR) break;  // no locks here: run unguarded
    if (knock(socketPath_)) {
      ::close(lockFd_);
      lockFd_ = -1;
      return false;
    }
    // Not listening yet, or on its way out: then the lock is free on the next round.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < until);
  ::close(lockFd_);
  lockFd_ = -1;
  if (std::chrono::steady_clock::now() < until) return true;
  std::fprintf(stderr, "tollora: a copy with this alarm file runs but does not answer\n");
  return false;
}

bool InstanceLock::listen(std::function<void()> anotherStart) {
  anotherStart_ = std::move(anotherStart);
  sockaddr_un address;
  listenFd_ = addressOf(socketPath_, address) ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1;
  // A copy that crashed left its socket file behind; the lock says no one is there.
  ::unlink(socketPath_.c_str());
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 4) != 0) {
    std::fprintf(stderr, "tollora: later starts cannot reach this copy: %s\n", std::strerror(errno));
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    return true;
  }
  notifier_ = std::make_unique<QSocketNotifier>(listenFd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { answer(); });
  return true;
}

void InstanceLock::answer() {
  const int caller = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (caller < 0) return;
  // Only the same user can reach the socket (its folder is private). A caller gets a short
  // wait for its knock, so a stuck one cannot hold up the clock.
  char knocked[8] = {};
  const bool asked = waitFor(caller, POLLIN, 500) && ::recv(caller, knocked, sizeof knocked - 1, 0) > 0 &&
                     std::strcmp(knocked, kKnock) == 0;
  if (asked) ::send(caller, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
  ::close(caller);
  if (asked) anotherStart_();
}

}  // namespace ui::qt
