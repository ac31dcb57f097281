#include "ui/posix/posix_instance.h"

#include "ui/posix/posix_files.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ui {

namespace {

constexpr char kKnock[] = "show\n";
constexpr char kAnswer[] = "ok\n";

// A folder of this user's that no one else can put things into (not a link to one).
bool privateFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// Fills in a socket address: a path, or an abstract name (a leading '\0', no file at all).
// 0 when it does not fit.
socklen_t addressOf(const std::string& name, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (name.size() >= sizeof address.sun_path) return 0;
  std::memcpy(address.sun_path, name.data(), name.size());
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (name[0] == '\0' ? 0 : 1));
}

long long nowMs() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

bool waitFor(int fd, short events, long long untilMs) {
  pollfd p{fd, events, 0};
  int n;
  while ((n = ::poll(&p, 1, static_cast<int>(std::max(0LL, untilMs - nowMs())))) < 0 && errno == EINTR) {}
  return n == 1 && (p.revents & events);
}

// Whether the other end of a connected socket runs as this user. An abstract socket has no
// permissions: anyone could bind the name or knock.
bool sameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

}  // namespace

std::string runtimeFolder() {
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && run[0] == '/' && privateFolder(run)) return run;
  // No session runtime folder (a bare X session, a cron job): a private one in /tmp, unless
  // someone else made that name first; then one in the user's cache folder.
  const std::string temporary = "/tmp/tollora-" + std::to_string(::getuid());
  ::mkdir(temporary.c_str(), 0700);
  if (privateFolder(temporary)) return temporary;
  std::string cache;
  if (const char* c = std::getenv("XDG_CACHE_HOME"); c && c[0] == '/') cache = c;
  else if (const std::string home = posixHomeFolder(); !home.empty()) cache = home + "/.cache";
  if (cache.empty()) return {};
  ::mkdir(cache.c_str(), 0700);
  const std::string own = cache + "/tollora";
  ::mkdir(own.c_str(), 0700);
  return privateFolder(own) ? own : std::string();
}

PosixInstance::~PosixInstance() {
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    if (address_[0] != '\0') ::unlink(address_.c_str());  // still ours: we hold the lock
  }
  // The lock file goes with the copy that holds it (or with a start that finds it free), so
  // one per alarm file ever used does not pile up. It is removed while locked: a start that
  // opened it meanwhile finds, once it gets the lock, that it locked a removed file, and
  // tries again with a new one (tryLock).
  if (lockFd_ >= 0) {
    if ((held_ || ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) && lockFileCurrent()) ::unlink(lockPath_.c_str());
    ::close(lockFd_);
  }
}

bool PosixInstance::lockFileCurrent() const {
  struct stat open {}, named {};
  return ::fstat(lockFd_, &open) == 0 && ::lstat(lockPath_.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

bool PosixInstance::place(const std::string& tag) {
  if (tag == tag_) return !lockPath_.empty();
  tag_ = tag;
  const std::string folder = runtimeFolder();
  if (folder.empty()) {
    std::fprintf(stderr, "tollora: no private folder for the one-copy lock (XDG_RUNTIME_DIR, /tmp, ~/.cache)\n");
    return false;
  }
  lockPath_ = folder + "/tollora-" + tag + ".lock";
  address_ = folder + "/tollora-" + tag + ".socket";
  // Too long for a socket's path: a name in the abstract namespace instead, the user's own by
  // its uid and by the peer checks on both ends.
  if (address_.size() >= sizeof(sockaddr_un::sun_path))
    address_ = std::string(1, '\0') + "tollora-" + std::to_string(::getuid()) + "-" + tag;
  return true;
}

Backend::InstanceLock PosixInstance::tryLock(const std::string& tag) {
  if (!place(tag)) return Backend::InstanceLock::Unavailable;
  if (held_) return Backend::InstanceLock::Held;
  for (int tries = 0; tries < 100; ++tries) {
    // Close-on-exec: a program started from here (the browser, from About) must not carry the
    // lock on after this copy has ended.
    if (lockFd_ < 0) lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) {
      std::fprintf(stderr, "tollora: %s: %s\n", lockPath_.c_str(), std::strerror(errno));
      return Backend::InstanceLock::Unavailable;
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK || errno == EINTR) return Backend::InstanceLock::Busy;
      std::fprintf(stderr, "tollora: cannot lock %s: %s\n", lockPath_.c_str(), std::strerror(errno));
      return Backend::InstanceLock::Unavailable;
    }
    // The holder removed it on its way out, after this start had opened it: a lock on a file
    // no later start can find holds nothing. Again, with the file now under that name.
    if (!lockFileCurrent()) {
      ::close(lockFd_);
      lockFd_ = -1;
      continue;
    }
    held_ = true;
    if (listenFd_ < 0) listen();
    return Backend::InstanceLock::Held;
  }
  return Backend::InstanceLock::Busy;
}

bool PosixInstance::knock(const std::string& tag, int timeoutMs) {
  if (!place(tag)) return false;
  const long long until = nowMs() + timeoutMs;
  sockaddr_un address;
  const socklen_t size = addressOf(address_, address);
  // Non-blocking throughout: a stopped holder never accepts, and once its backlog is full a
  // blocking connect would wait for good.
  const int fd = size ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1;
  if (fd < 0) return false;
  bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), size) == 0;
  if (!connected && errno == EINPROGRESS && waitFor(fd, POLLOUT, until)) {
    int error = 0;
    socklen_t length = sizeof error;
    connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }
  char reply[8] = {};
  const bool ok = connected && sameUser(fd) &&
                  ::send(fd, kKnock, sizeof kKnock - 1, MSG_NOSIGNAL) == sizeof kKnock - 1 && waitFor(fd, POLLIN, until) &&
                  ::recv(fd, reply, sizeof reply - 1, 0) > 0 && std::strcmp(reply, kAnswer) == 0;
  ::close(fd);
  return ok;
}

void PosixInstance::listen() {
  sockaddr_un address;
  const socklen_t size = addressOf(address_, address);
  listenFd_ = size ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1;
  // A copy that crashed left its socket file behind; the lock says no one is there.
  if (address_[0] != '\0') ::unlink(address_.c_str());
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listenFd_, 4) != 0) {
    std::fprintf(stderr, "tollora: later starts cannot reach this copy: %s\n", std::strerror(errno));
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    return;
  }
}

bool PosixInstance::answer() {
  const int caller = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (caller < 0) return false;
  // Only this user's starts are heard. A caller gets a short wait for its knock, so a stuck
  // one cannot hold up the clock.
  char knocked[8] = {};
  const bool asked = sameUser(caller) && waitFor(caller, POLLIN, nowMs() + 500) &&
                     ::recv(caller, knocked, sizeof knocked - 1, 0) > 0 && std::strcmp(knocked, kKnock) == 0;
  if (asked) ::send(caller, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
  ::close(caller);
  return asked;
}

}  // namespace ui
