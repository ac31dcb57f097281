// The headless backend: no windows, a virtual clock. Tests and benchmarks drive the program
// through it: advance() delivers every timer tick that falls due, in order; jump() moves the
// wall clock without ticks, as a clock change or a sleep does.
#pragma once

#include <climits>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/posix/posix_files.h"
#include "ui/ui.h"

namespace ui {

class HeadlessBackend : public Backend {
 public:
  HeadlessBackend();
  ~HeadlessBackend() override;

  // --- the virtual clock -----------------------------------------------------------------
  // Wall clock, as milliseconds since 1970-01-01 local time: UTC moved by `zone`.
  std::int64_t wallMs() const { return monotonicMs_ + wallOffsetMs_ + offsetAt(monotonicMs_ + wallOffsetMs_); }
  // Without ticks and without telling the program; in a repeated hour, its first pass.
  void setWall(const LocalTime& t);
  // The time zone: from each UTC instant (ms since 1970) on, local time is that many ms ahead
  // of UTC, in time order; before the first, and with none, local time is UTC.
  std::vector<std::pair<std::int64_t, std::int64_t>> zone;
  // The zone changes now: local time is `offsetMs` ahead of UTC from this instant on (later
  // entries of `zone` go). When `notify`, the program is told, as where the platform
  // announces it; else it must find out itself.
  void changeZone(std::int64_t offsetMs, bool notify);
  // Runs every countdown that runs out within the next `ms`, in time order (the one started
  // first on a tie).
  void advance(std::int64_t ms);
  // Moves the wall clock by `ms` (negative: backwards) with no ticks, then, when `notify`,
  // tells the program, as the platform does after a clock change or on resume.
  void jump(std::int64_t ms, bool notify = true);
  // A sleep: the wall clock moves on, no ticks are delivered, the program is told on resume.
  void sleep(std::int64_t ms) { jump(ms, true); }
  // Advances in steps until `done` holds or `limitMs` has passed; returns whether it held.
  template <class F>
  bool advanceUntil(F done, std::int64_t limitMs, std::int64_t stepMs = 1) {
    for (std::int64_t t = 0; t <= limitMs; t += stepMs) {
      if (done()) return true;
      advance(stepMs);
    }
    return done();
  }

  // --- what the program did --------------------------------------------------------------
  struct Sound {
    std::int64_t atMs;
    std::u16string path;  // empty: the default sound
  };
  std::vector<Sound> sounds;
  struct TrayCall {
    bool show;  // trayShow, else trayHide
    TrayIcon icon;
  };
  std::vector<TrayCall> trayCalls;
  std::vector<std::pair<std::u16string, std::u16string>> trayNotes;  // (title, text), given while the icon is shown
  std::vector<Handle> foregroundCalls;
  std::vector<Handle> attentionCalls;
  std::vector<std::u16string> openedUrls;
  std::vector<Handle> destroyedWindows;  // in the order the windows went away
  std::vector<std::u16string> announcements;
  bool quitCalled = false;
  // Wake-ups: the distinct moments at which a timer woke the program, whether to tick or only
  // to aim again (ticks due at the same moment are one wake-up), and the ticks of each timer.
  std::int64_t wakeUps = 0;
  std::map<std::string, int> ticks;
  bool trayIconShown() const { return iconShown_; }
  // The notification area comes or goes (its host started or ended), as a platform reports it.
  void setTrayAvailable(bool available);

  // --- other copies of the program -------------------------------------------------------
  // A copy running elsewhere with an alarm file (its path): from which moment of the virtual monotonic clock it
  // answers a knock (kNever: stopped or hung), and from which it has ended (its lock free).
  static constexpr std::int64_t kNever = INT64_MAX;
  struct OtherCopy {
    std::int64_t answersFromMs = 0;
    std::int64_t endsAtMs = kNever;
  };
  std::map<std::u16string, OtherCopy> otherCopies;
  // What the platform's lock gives for a key no other copy holds: Held, or Unavailable /
  // Unsupported for a platform without a private place or without locks.
  InstanceLock freeLock = InstanceLock::Held;
  std::vector<std::u16string> claimedKeys;    // keys (alarm files' identities) this copy took
  std::vector<std::u16string> forwardedKeys;  // the other copies' paths asked to come forward
  int knocks = 0;
  // A later start of the program with the alarm file `path`: reaches this copy when it holds
  // that file's key, as the platform's message would. Returns whether it did.
  bool startAgain(const std::u16string& path);

  // --- settings a test may change --------------------------------------------------------
  std::u16string folder = u"/opt/tollora";
  // Empty: the system names no settings folder of the user's, so the alarm stays beside the
  // program even where that folder cannot be written (tools that save into a folder of their
  // choosing never write elsewhere).
  std::u16string settingsFolder;
  // stateFolder(): empty, the system names none.
  std::u16string stateHome;
  // Whether the program's folder counts as the system's (an installed program).
  bool programInSystemFolder = false;
  RegionalSettings settings;
  bool trayAvailable = true;  // at start; later changes through setTrayAvailable
  Rect screen{0, 0, 1920 * 15, 1040 * 15};  // twips
  FileSystem* fileSystem = nullptr;  // nullptr: the real file system
  // How far the wall clock moves on while the program reads it once: a reading takes time.
  std::int64_t msPerReading = 0;
  // A platform's timers by the wall clock: a countdown of more than `countdownsEarlyMs` runs
  // out that much early, and the layer is asked to aim `slackMs` past wall-clock moments.
  std::int64_t countdownsEarlyMs = 0;
  int slackMs = 0;
  // A narrow 8-bit code page for tests of the fallback: Latin-1 instead of UTF-8.
  bool latin1CodePage = false;

  // --- Backend ---------------------------------------------------------------------------
  std::unique_ptr<FormPeer> createPeers(Form& form) override;
  void quit() override { quitCalled = true; }
  LocalTime now() override {
    const LocalTime t = fromLocalMs(wallMs());
    wallOffsetMs_ += msPerReading;
    return t;
  }
  RegionalSettings regional() override { return settings; }
  // One fixed English form: "Saturday, 2 January 2027", "08:00".
  std::u16string longDate(const LocalTime& t) override;
  std::u16string shortTime(const LocalTime& t) override;
  std::int64_t utcMs() override { return monotonicMs_ + wallOffsetMs_; }
  std::int64_t monotonicMs() override { return monotonicMs_; }
  std::int64_t utcOffsetMs(std::int64_t utc) override { return offsetAt(utc); }
  int timerSlackMs() override { return slackMs; }
  void playSound(const std::u16string& path) override { sounds.push_back({monotonicMs_, path}); }
  void playDefaultSound() override { sounds.push_back({monotonicMs_, {}}); }
  bool trayShow(const TrayIcon& icon) override;
  void trayHide(const TrayIcon& icon) override {
    trayCalls.push_back({false, icon});
    iconShown_ = false;
  }
  bool trayNotify(const std::u16string& title, const std::u16string& text) override {
    // A panel that ended unannounced (trayAvailable cleared directly) shows nothing.
    const bool shown = iconShown_ && trayAvailable;
    if (shown) trayNotes.emplace_back(title, text);
    return shown;
  }
  void setForegroundWindow(Handle w) override { foregroundCalls.push_back(w); }
  void requestAttention(Handle w) override { attentionCalls.push_back(w); }
  Rect workArea(Handle) override { return screen; }
  void openUrl(const std::u16string& address) override { openedUrls.push_back(address); }
  std::u16string programFolder() override { return folder; }
  std::u16string userFolder() override { return settingsFolder; }
  std::u16string stateFolder() override { return stateHome; }
  bool systemFolder(const std::u16string&) override { return programInSystemFolder; }
  InstanceLock tryLockInstance(const std::u16string& key) override;
  bool knockInstance(const std::u16string& key, int timeoutMs) override;
  void pauseMs(int ms) override { advance(ms); }
  char16_t pathSeparator() override { return u'/'; }
  void announce(const std::u16string& text) override { announcements.push_back(text); }
  FileSystem& files() override { return fileSystem ? *fileSystem : posixFiles_; }
  std::optional<std::string> toCodePage(const std::u16string& text) override;
  std::u16string fromCodePage(const std::string& bytes) override;

  struct Countdown;

 private:
  std::map<std::u16string, OtherCopy>::iterator otherCopyOf(const std::u16string& key);
  bool iconShown_ = false;
  Handle trayWindow_ = 0;  // the window of the icon last asked for
  std::int64_t offsetAt(std::int64_t utc) const;
  std::int64_t monotonicMs_ = 0;
  std::int64_t wallOffsetMs_ = 0;
  std::int64_t lastWakeMs_ = -1;
  std::uint64_t nextSeq_ = 0;
  Handle nextHandle_ = 0x1000;
  std::vector<Countdown*> countdowns_;
  PosixFileSystem posixFiles_;
};

}  // namespace ui
