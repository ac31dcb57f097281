// Loading the alarm at start and saving it on "Set Alarm".
#include "alarmfile/ini.h"
#include "app/alarm_form.h"
#include "dialogs/message.h"

namespace tollora {

namespace {

std::u16string valueIn(const std::string& bytes, const std::u16string& section, const std::u16string& key) {
  auto& layer = ui::app().backend();
  return ini::ReadValue(bytes, section, key, [&](const std::string& b) { return layer.fromCodePage(b); });
}

}  // namespace

std::u16string Alarm::GetIni(const std::u16string& section, const std::u16string& key) {
  const ui::ReadResult file = ui::app().backend().files().read(AlarmFilePath, ini::kMaxFileBytes);
  return file.status == ui::ReadResult::Status::Read ? valueIn(file.bytes, section, key) : std::u16string();
}

void Alarm::ReadIni() {
  auto& layer = ui::app().backend();
  const ui::ReadResult file = layer.files().read(AlarmFilePath, ini::kMaxFileBytes);
  // A file that is there but cannot be read is not "no alarm": the user hears of it, and it
  // is left as it is.
  if (file.status == ui::ReadResult::Status::Unreadable) {
    ReportProblem(u"Your saved alarm could not be read from\r\n" + AlarmFilePath + u"\r\n\r\n" + file.reason +
                  u"\r\n\r\nThe file has been left as it is, and the alarm box starts empty.");
  }
  txtTime(0).setText(valueIn(file.bytes, u"ALARM", u"Time"));
  txtTimeBAK(1).setText(valueIn(file.bytes, u"ALARM", u"TimeBAK"));
}

bool Alarm::setAlarm() {
  auto& layer = ui::app().backend();
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
