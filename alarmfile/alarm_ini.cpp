// Loading the alarm at start and saving it on "Set Alarm".
#include "alarmfile/alarm_home.h"
#include "alarmfile/ini.h"
#include "app/alarm_form.h"
#include "dialogs/message.h"

namespace tollora {

namespace {

// What a start finds in an alarm file: its two values, and what the user must hear of it.
struct Loaded {
  bool found = false;  // a file is there, whatever it holds
  std::u16string time, backup, problem;
};

std::u16string number(std::size_t n) {
  std::u16string digits;
  do digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
  while (n /= 10);
  return digits;
}

Loaded load(const std::u16string& path) {
  auto& layer = ui::app().backend();
  // One byte beyond the bound tells a larger file from one that fits.
  const ui::ReadResult file = layer.files().read(path, ini::kMaxFileBytes + 1);
  Loaded out;
  out.found = file.status != ui::ReadResult::Status::Missing;
  const std::u16string head = u"Your saved alarm could not be read from\r\n" + path + u"\r\n\r\n";
  // A file that is there but cannot be read is not "no alarm": the user hears of it, and it
  // is left as it is.
  if (file.status == ui::ReadResult::Status::Unreadable) {
    out.problem = head + file.reason + u"\r\n\r\nThe file has been left as it is, and the alarm box starts empty.";
    return out;
  }
  const auto notAlarmFile = [&](const std::u16string& why) {
    out.problem = head + u"It is not an alarm file; the next \"Set Alarm\" replaces it. " + why +
                  u"\r\n\r\nUntil then the file is left as it is, and the alarm box starts empty.";
    return out;
  };
  if (file.bytes.size() > ini::kMaxFileBytes) return notAlarmFile(u"It is larger than 1 MB.");
  const auto text = ini::DecodeFile(file.bytes, [&](const std::string& b) { return layer.fromCodePage(b); });
  if (!text) return notAlarmFile(u"It holds bytes that are no text (binary data, or a broken encoding).");
  out.time = ini::ValueIn(*text, u"ALARM", u"Time");
  out.backup = ini::ValueIn(*text, u"ALARM", u"TimeBAK");
  // Nothing is cut: a value longer than a save would write is left in the file, and said.
  for (auto [value, key] : {std::pair{&out.time, u"Time"}, std::pair{&out.backup, u"TimeBAK"}}) {
    if (value->size() <= ini::kMaxValue) continue;
    out.problem = u"The value of " + std::u16string(key) + u" saved in\r\n" + path + u"\r\n\r\nis " + number(value->size()) +
                  u" characters long, more than the " + number(ini::kMaxValue) +
                  u" Tollora keeps. It is left in the file as it is until the next \"Set Alarm\" replaces it; the alarm "
                  u"box starts without it.";
    value->clear();
  }
  return out;
}

}  // namespace

void Alarm::ReadIni() {
  Loaded file = load(AlarmFilePath);
  // Kept in the user's own folder, with nothing there yet: an alarm left beside the program
  // (a portable folder since made read-only, or moved under Program Files) is where it starts.
  const std::u16string beside = AlarmBesideProgram(ui::app().backend());
  bool moved = false;
  if (!file.found && beside != AlarmFilePath) {
    if (Loaded old = load(beside); old.found) {
      file = old;
      moved = old.problem.empty();
      file.problem = u"Tollora now keeps your alarm in\r\n" + AlarmFilePath + u"\r\n\r\n" +
                     (moved ? u"It has started from the alarm beside the program, in\r\n" + beside +
                                  u"\r\n\r\nwhich is left as it is, and saved it in your own file."
                            : old.problem);
    }
  }
  if (!file.problem.empty()) ReportProblem(file.problem);
  txtTime(0).setText(file.time);
  txtTimeBAK(1).setText(file.backup);
  // Copied to its new home at once, so that this is said once; a save that fails says so.
  if (moved) setAlarm();
}

bool Alarm::setAlarm() {
  auto& layer = ui::app().backend();
  // One limit for the box, the file and the start: a longer text is refused whole, never cut.
  if (const std::size_t n = txtTime(0).text().size(); n > ini::kMaxValue) {
    ReportProblem(u"The alarm text is " + number(n) + u" characters long; Tollora keeps at most " + number(ini::kMaxValue) +
                  u". Nothing has been saved: shorten the text and press \"Set Alarm\" again.");
    return false;
  }
  const std::u16string text = ini::AlarmFileText(txtTime(0).text(), txtTimeBAK(1).text());
  const std::string bytes = ini::EncodeAlarmFile(text, [&](const std::u16string& t) { return layer.toCodePage(t); });
  // The file that was loaded is the one saved, created when missing, replaced in one step.
  const ui::IoResult result = layer.files().replace(AlarmFilePath, bytes);
  if (!result.ok) {
    ReportProblem(u"Your alarm could not be saved to\r\n" + AlarmFilePath + u"\r\n\r\n" + result.reason +
                  u"\r\n\r\nThe alarm text is still in the box; press \"Set Alarm\" to try again.");
  }
  return result.ok;
}

}  // namespace tollora
