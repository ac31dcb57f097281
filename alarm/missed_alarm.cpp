// The main window's side of missed alarms: what it remembers of its alarm file's alarm in the
// user's state folder (written only when that changes: armed, rung, told), the alarm that came
// due while Tollora was not running, told once at the next start, and the one found hours late
// after a sleep, told rather than rung. The decisions and the file's format: alarm/alarm_state.h.
#include "alarm/clock_text.h"
#include "app/alarm_form.h"
#include "dialogs/message.h"

namespace tollora {

namespace {

std::int64_t nowS() { return ui::localMs(ui::app().backend().now()) / 1000; }

std::u16string memoryFile() {
  auto& layer = ui::app().backend();
  const std::u16string folder = layer.stateFolder();
  return folder.empty() ? folder : folder + layer.pathSeparator() + kMemoryFileName;
}

AlarmMemories readMemories(const std::u16string& path) {
  if (path.empty()) return {};
  const ui::ReadResult file = ui::app().backend().files().read(path, kMaxMemoryBytes + 1);
  return file.status == ui::ReadResult::Status::Read ? DecodeMemories(file.bytes) : AlarmMemories{};
}

}  // namespace

void Alarm::TellMissedAtStart() {
  const std::u16string path = memoryFile();
  state_.remembered = Recall(readMemories(path), AlarmFilePath);
  const ui::RegionalSettings rs = ui::app().backend().regional();
  const std::u16string& alarm = txtTime(0).text();
  const auto due = ClockMoment(alarm, rs);
  if (!state_.MissedWhileClosed(due, nowS())) return;
  TellMissed(MissedNote(alarm, *due, rs, /*asleep=*/false));
  RememberAlarm(AlarmMemory::State::Told);
}

bool Alarm::TellMissedIfHoursLate() {
  const ui::RegionalSettings rs = ui::app().backend().regional();
  const std::u16string& alarm = txtTime(0).text();
  const auto due = AlarmState::TooLateToRing(alarm, nowS(), rs);
  if (!due) return false;
  // What "Stop/Reset" would leave: "Set Alarm" in orange, nothing ringing. The clock goes on:
  // only its tick finds an alarm late.
  cmdSetAlarm.setVisible(true);
  cmdReset.setVisible(false);
  ShowAlarmState(false);
  TellMissed(MissedNote(alarm, *due, rs, /*asleep=*/true));
  RememberAlarm(AlarmMemory::State::Told);
  return true;
}

std::u16string Alarm::RememberRang() {
  RememberAlarm(AlarmMemory::State::Rang);
  const auto due = ClockMoment(txtTime(0).text(), ui::app().backend().regional());
  return due ? RingNote(*due, nowS(), ui::app().backend().regional()) : u"Time's Up!";
}

void Alarm::TellMissed(const std::u16string& note) {
  auto& layer = ui::app().backend();
  // Hidden behind its icon, the icon tells, as it does of a ringing alarm; with no icon to
  // tell, the window comes up with the message beside it.
  if (visible() || !trayIconAdded_ || !layer.trayNotify(u"Missed alarm", note)) {
    if (!visible()) {
      setWindowState(ui::vbNormal);
      Show();
    }
    ReportProblem(note);
  }
  PlayBeep();
  layer.announce(note);
}

void Alarm::RememberAlarm(AlarmMemory::State state) {
  const auto memory = state_.Remember(state, txtTime(0).text(), ui::app().backend().regional());
  if (!memory) return;  // no news
  // Read again before each write: other copies of Tollora, for other alarm files, keep theirs
  // in the same file.
  const std::u16string path = memoryFile();
  AlarmMemories all = readMemories(path);
  Remember(all, AlarmFilePath, *memory);
  const ui::IoResult result = path.empty() ? ui::IoResult{false, u"The system names no folder for it."}
                                           : ui::app().backend().files().replace(path, EncodeMemories(all));
  if (result.ok || MemoryFailureTold) return;
  MemoryFailureTold = true;
  ReportProblem(u"Tollora could not keep its note of your alarm in\r\n" + path + u"\r\n\r\n" + result.reason +
                u"\r\n\r\nYour alarm rings as usual, but should it come due while Tollora is not running, the next start "
                u"cannot tell you so.");
}

}  // namespace tollora
