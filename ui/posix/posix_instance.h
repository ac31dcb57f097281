// One Tollora per alarm file on Linux, the means: a lock on a file in a private folder of the
// user's marks the running copy (the kernel lets go of it when the process ends, however it
// ends), and a local socket is how a later start reaches that copy. Plain POSIX sockets, which
// the backend's event loop watches (listenFd): Qt's own local sockets live in QtNetwork, whose
// Kerberos and proxy libraries would cost every start more than all of this. When to knock, how
// long to wait and when to give up is the window layer's (App::claimInstance).
#pragma once

#include <string>

#include "ui/ui.h"

namespace ui {

class PosixInstance {
 public:
  PosixInstance() = default;
  ~PosixInstance();
  PosixInstance(const PosixInstance&) = delete;
  PosixInstance& operator=(const PosixInstance&) = delete;

  // Backend::tryLockInstance for `tag`. Once held, later starts knock on listenFd(): when it
  // is readable, answer() hears one and says whether it was a start of this user's.
  Backend::InstanceLock tryLock(const std::string& tag);
  int listenFd() const { return listenFd_; }
  bool answer();
  // Backend::knockInstance: never waits longer than `timeoutMs`.
  bool knock(const std::string& tag, int timeoutMs);

 private:
  bool place(const std::string& tag);
  void listen();
  // Whether the file open on lockFd_ is still the one named lockPath_.
  bool lockFileCurrent() const;

  std::string tag_, lockPath_;
  std::string address_;  // a socket file's path, or an abstract name starting with '\0'
  int lockFd_ = -1;
  bool held_ = false;
  int listenFd_ = -1;
};

// A private folder of the user's for the lock: $XDG_RUNTIME_DIR, else /tmp/tollora-<uid>,
// else $XDG_CACHE_HOME/tollora (~/.cache/tollora); empty when none is private.
std::string runtimeFolder();

}  // namespace ui
