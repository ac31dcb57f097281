// The Qt 6 Widgets backend: the Linux desktop program's window layer.
//
// What it gives: every service of the layer, on X11 and natively on Wayland; a clock set, a
// resume and a replaced /etc/localtime reported at once (App::timeChanged), with nothing
// polled; the beep through libcanberra; the tray icon through QSystemTrayIcon; SIGTERM, SIGINT
// and SIGHUP ending the program as closing its window does.
// What it cannot: a notification area that comes or goes is reported only on X11 (elsewhere
// the program asks again when it minimises and when the alarm rings); on Wayland no window
// is placed (the compositor places them; the program's other windows are transient for its
// main one) and a minimised window is not reported as such (the peer keeps the state).
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/posix/posix_files.h"
#include "ui/posix/posix_instance.h"
#include "ui/qt/qt_access.h"
#include "ui/qt/qt_sound.h"
#include "ui/ui.h"

namespace ui::qt {


// Settings of the process that must come before the QApplication: call first in main.
void beforeApplication();

class QtBackend : public Backend {
 public:
  // Needs a QApplication. `programFolder` empty: the executable's folder.
  explicit QtBackend(std::u16string programFolder = {});
  ~QtBackend() override;

  std::unique_ptr<FormPeer> createPeers(Form& form) override;
  void quit() override;
  LocalTime now() override;
  RegionalSettings regional() override;
  std::u16string longDate(const LocalTime& t) override;   // QLocale::system(), LongFormat
  std::u16string shortTime(const LocalTime& t) override;  // QLocale::system(), ShortFormat
  std::int64_t utcMs() override;
  std::int64_t monotonicMs() override;
  std::int64_t utcOffsetMs(std::int64_t utcMs) override;
  // Qt counts its timers on the monotonic clock, which may run a little fast of the wall clock.
  int timerSlackMs() override { return 2; }
  void playSound(const std::u16string& path) override;
  void playDefaultSound() override;
  bool trayShow(const TrayIcon& icon) override;
  void trayHide(const TrayIcon& icon) override;
  bool trayNotify(const std::u16string& title, const std::u16string& text) override;
  void setForegroundWindow(Handle window) override;
  void requestAttention(Handle window) override;
  Rect workArea(Handle window) override;
  void openUrl(const std::u16string& address) override;
  std::u16string programFolder() override { return folder_; }
  std::u16string userFolder() override { return posixUserFolder(); }
  std::u16string stateFolder() override { return posixStateFolder(); }
  bool systemFolder(const std::u16string& folder) override { return posixSystemFolder(folder); }
  InstanceLock tryLockInstance(const std::u16string& key) override;
  bool knockInstance(const std::u16string& key, int timeoutMs) override;
  void pauseMs(int ms) override;
  char16_t pathSeparator() override { return u'/'; }
  void announce(const std::u16string& text) override { announcer_.announce(text); }
  FileSystem& files() override { return files_; }
  std::optional<std::string> toCodePage(const std::u16string& text) override { return toUtf8CodePage(text); }
  std::u16string fromCodePage(const std::string& bytes) override { return fromUtf8(bytes); }

  // The icon's activation as Qt reports it, passed on as the TrayClick the program knows.
  void trayActivated(QSystemTrayIcon::ActivationReason reason);
  // The notification area came or went: tells the icon's window whether there is one now.
  void trayChanged();

  // What the platform lets a program do with its windows, decided once (Wayland: neither).
  struct Platform {
    bool placesWindows;     // move them where the program says
    bool reportsMinimised;  // say when one is minimised, and when it comes back
  };
  const Platform& platform() const { return platform_; }

  // Follows the local time zone's file (`path`, /etc/localtime): replaced, renamed into place
  // or rewritten, the zone is read again and the program told that the clock moved.
  void watchZone(const std::string& path);
  const QIcon& icon() const { return icon_; }
  // The file a sound path names: beside the program, or where an installed layout keeps it;
  // empty when it names none (the desktop's alert plays then).
  QString soundFile(const std::u16string& path) const;

  // The form windows, in load order.
  void windowCreated(QWidget* window);
  void windowDestroyed(QWidget* window);
  const std::vector<QWidget*>& windows() const { return windows_; }
  // Something visible changed (a window, a caption, a visibility). Nobody listens in the
  // program; the end-to-end tests' build writes what is on screen to a file.
  void stateChanged();
  std::function<void()> onStateChanged;

 private:
  std::u16string folder_;
  PosixFileSystem files_;
  SoundPlayer sound_;
  QIcon icon_;
  QObject context_;  // owns the connections to the tray icon
  QSystemTrayIcon* tray_ = nullptr;
  Handle trayWindow_ = 0;
  QTimer* trayWatch_ = nullptr;  // one look at the notification area, after Qt's own
  void clockChanged();
  bool watchClock();
  void watchTray();
  void watchEndSignals();
  Platform platform_;
  int zoneWatch_ = -1;  // inotify on the zone file's folder
  std::string zoneName_;
  std::unique_ptr<QSocketNotifier> zoneNotifier_;

  QElapsedTimer monotonic_;
  int clockWatch_ = -1;  // Linux: a timerfd that the kernel cancels when the clock is set or on resume
  std::vector<QWidget*> windows_;
  Announcer announcer_;
  PosixInstance instance_;
  std::unique_ptr<QSocketNotifier> knocks_;  // later starts knocking on instance_
};

}  // namespace ui::qt
