// Loading the alarm at start and saving it on "Set Alarm".
#include "alarmfile/ini.h"
#include "app/alarm_form.h"
#include "dialogs/message.h"

namespace tollora {

std::u16string Alarm::GetIni(const std::u16string& section, const std::u16string& key) {
  auto& layer = ui::app().backend();
  const auto bytes = layer.files().read(AlarmFilePath, ini::kMaxFileBytes);
  if (!bytes) return {};
  return ini::ReadValue(*bytes, section, key, [&](const std::string& b) { return layer.fromCodePage(b); });
}

void Alarm::ReadIni() {
  txtTime(0).setText(GetIni(u"ALARM", u"Time"));
  txtTimeBAK(1).setText(GetIni(u"ALARM", u"TimeBAK"));
}

void Alarm::setAlarm() {
  auto& layer = ui::app().backend();
  const std::u16string text = ini::AlarmFileText(txtTime(0).text(), txtTimeBAK(1).text());
  const std::string bytes = ini::EncodeAlarmFile(text, [&](const std::u16string& t) { return layer.toCodePage(t); });
  // The file that was loaded is the one saved, created when missing, replaced in one step.
  const ui::IoResult result = layer.files().replace(AlarmFilePath, bytes);
  if (!result.ok) {
    ReportProblem(u"Your alarm could not be saved to\r\n" + AlarmFilePath + u"\r\n\r\n" + result.reason +
                  u"\r\n\r\nThe alarm text is still in the box; press \"Set Alarm\" to try again.");
  }
}

}  // namespace tollora
