// One Tollora per alarm file on Linux, the means: a lock on a file in a private folder of the
// user's marks the running copy (the kernel lets go of it when the process ends, however it
// ends), and a local socket is how a later start reaches that copy. Plain POSIX sockets under
// a QSocketNotifier: Qt's own local sockets live in QtNetwork, whose Kerberos and proxy
// libraries would cost every start more than all of this. When to knock, how long to wait
// and when to give up is the window layer's (App::claimInstance).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/ui.h"

class QSocketNotifier;

namespace ui::qt {

class InstanceGuard {
 public:
  InstanceGuard();
  ~InstanceGuard();
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;

  // Backend::tryLockInstance for `tag`; once held, `anotherStart` runs for each later start
  // that knocks.
  Backend::InstanceLock tryLock(const std::string& tag, std::function<void()> anotherStart);
  // Backend::knockInstance: never waits longer than `timeoutMs`.
  bool knock(const std::string& tag, int timeoutMs);

 private:
  bool place(const std::string& tag);
  void listen();
  void answer();

  std::string tag_, lockPath_;
  std::string address_;  // a socket file's path, or an abstract name starting with '\0'
  int lockFd_ = -1;
  int listenFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> anotherStart_;
};

// A private folder of the user's for the lock: $XDG_RUNTIME_DIR, else /tmp/tollora-<uid>,
// else $XDG_CACHE_HOME/tollora (~/.cache/tollora); empty when none is private.
std::string runtimeFolder();

}  // namespace ui::qt
