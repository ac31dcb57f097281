// One Tollora per alarm file on Linux: a lock on a file in the user's runtime folder marks the
// running copy (the kernel lets go of it when the process ends, however it ends), and a local
// socket beside it is how a later start reaches that copy. Plain POSIX sockets under a
// QSocketNotifier: Qt's own local sockets live in QtNetwork, whose Kerberos and proxy
// libraries would cost every start more than all of this.
#pragma once

#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace ui::qt {

class InstanceLock {
 public:
  InstanceLock();
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True: this process now runs for `tag`, and `anotherStart` runs whenever a later start
  // with the same tag knocks. False: a copy runs for it and has been asked to come forward.
  // When the runtime folder cannot be used at all, true: better two clocks than none.
  bool claim(const std::string& tag, std::function<void()> anotherStart);

 private:
  bool listen(std::function<void()> anotherStart);
  void answer();

  int lockFd_ = -1;
  int listenFd_ = -1;
  std::string socketPath_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> anotherStart_;
};

// $XDG_RUNTIME_DIR, or a private folder of the user's in /tmp; empty when neither is safe.
std::string runtimeFolder();

}  // namespace ui::qt
