// A Tollora on the headless backend in a fresh program folder, and the tests' helpers.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/alarm_form.h"
#include "app/program.h"
#include "ui/headless/headless.h"

namespace tollora::testing {

namespace fs = std::filesystem;

std::u16string u16(const std::string& s);
inline std::u16string u16(const fs::path& p) { return u16(p.string()); }
inline std::u16string u16(const char* s) { return u16(std::string(s)); }
std::string slurp(const fs::path& p);
// The bytes of a text in UTF-16 after its byte-order mark, as Notepad saves "Unicode".
std::string utf16(const std::u16string& text, bool bigEndian, bool mark = true);
void put(const fs::path& p, const std::string& bytes);
std::vector<std::string> namesIn(const fs::path& folder);  // sorted
// Run `body` in a child process, asNobody's as user 65534 (100 if it cannot be); give its exit status.
int inChild(const std::function<int()>& body);
int asNobody(const std::function<int()>& body);

// The program's colours (0x00BBGGRR), written out: a change is a change.
constexpr ui::Color kGreen = 0x0000C000, kOrange = 0x000080FF, kRed = 0x002323E6;

class Harness {
 public:
  Harness();
  ~Harness();

  // Form_Load of the main window, as at program start, then `ms` on the clock.
  void start(std::int64_t ms = 0) {
    main().Show();
    advance(ms);
  }
  // The program's own start: where the alarm lives, one copy per alarm file, --tray.
  bool startProgram(const StartOptions& options = {}) { return tollora::start(options) == Started::Running; }
  Alarm& main() { return ui::form<Alarm>(); }

  // Typing replaces the whole box.
  void type(const std::u16string& text) { main().txtTime(0).nativeEdited(text, text.size()); }
  void click(ui::Button& b) { b.raiseClick(); }
  void setAlarm(const std::u16string& text) {
    type(text);
    click(main().cmdSetAlarm);
  }
  void hide() { click(main().cmdMin); }
  void trayClick(ui::TrayClick c = ui::TrayClick::LeftUp) { main().nativeTrayClick(c); }
  void advance(std::int64_t ms) { backend.advance(ms); }
  template <class F>  // advances until `done` holds, for at most `limitMs`
  bool until(F done, std::int64_t limitMs, std::int64_t step = 1) { return backend.advanceUntil(done, limitMs, step); }

  std::u16string message();  // the open message window's text, or nothing
  ui::Handle foreground() const { return backend.foregroundCalls.empty() ? 0 : backend.foregroundCalls.back(); }
  std::u16string label() { return main().lblTime.caption(); }
  bool fired() { return label() == u"Time's Up!" && main().TimerNotify.enabled(); }
  // "Alarm Set" in green, "Set Alarm" in orange (button and clock alike), or neither.
  enum State { Neither, Armed, Pending };
  State state();
  std::u16string clockTextIn(int seconds);  // as the label will show it
  std::int64_t dueMs();                      // the wall-clock moment the alarm text names
  int beepsSince(std::int64_t monotonicMs) const;

  fs::path iniPath() const { return folder / "alarm.ini"; }
  fs::path settingsFolder() const { return folder / "home" / ".config" / "tollora"; }  // made by a save
  fs::path stateFolder() const { return folder.string() + "-state"; }  // beside: the tests list `folder`
  void writeIni(const std::string& bytes) const { put(iniPath(), bytes); }
  std::string readIni() const { return slurp(iniPath()); }

  fs::path folder;
  ui::HeadlessBackend backend;
  ui::App app{backend};
};

}  // namespace tollora::testing
