// A running Tollora on the headless backend, in a fresh program folder of its own.
#pragma once

#include <filesystem>
#include <string>

#include "app/alarm_form.h"
#include "app/program.h"
#include "ui/headless/headless.h"

namespace tollora::testing {

class Harness {
 public:
  // Does not start the program: a test may set up the folder and clock first.
  Harness();
  ~Harness();

  void start();  // Form_Load of the main window, as at program start
  // The program's own start: where the alarm lives, one copy per alarm file, --tray.
  bool startProgram(const StartOptions& options = {}) { return tollora::start(options) == Started::Running; }
  Alarm& main() { return ui::form<Alarm>(); }

  // The user's actions.
  // The whole box replaced, as by select-all and typing or pasting: the caret ends up at the end.
  void type(const std::u16string& alarmText) { main().txtTime(0).nativeEdited(alarmText, alarmText.size()); }
  void click(ui::Button& b) { b.raiseClick(); }
  void advance(std::int64_t ms) { backend.advance(ms); }

  // The text of the open message window, or nothing when none is open.
  std::u16string message();
  std::u16string label() { return main().lblTime.caption(); }
  bool fired() { return main().lblTime.caption() == u"Time's Up!" && main().TimerNotify.enabled(); }
  // The clock text `seconds` from now, as the label will show it.
  std::u16string clockTextIn(int seconds);
  int beepsSince(std::int64_t ms) const;

  std::filesystem::path iniPath() const { return folder / "alarm.ini"; }
  // The user's settings folder (not made until a save needs it).
  std::filesystem::path settingsFolder() const { return folder / "home" / ".config" / "tollora"; }
  void writeIni(const std::string& bytes) const;
  std::string readIni() const;

  std::filesystem::path folder;
  ui::HeadlessBackend backend;
  ui::App app{backend};
};

std::u16string u16(const std::string& s);

}  // namespace tollora::testing
