#include "alarmfile/alarm_home.h"

namespace tollora {

std::u16string AlarmBesideProgram(ui::Backend& layer) {
  // The program's folder and the name are joined as they stand: a folder at a drive root
  // keeps its own separator.
  return layer.programFolder() + layer.pathSeparator() + u"alarm.ini";
}

std::u16string ChooseAlarmFilePath(ui::Backend& layer) {
  const std::u16string folder = layer.programFolder();
  const std::u16string beside = AlarmBesideProgram(layer);
  // Beyond a folder of the system's, only whether a file can be made there counts. A
  // read-only alarm.ini in a folder that could hold another stays where it is, and a save
  // into it is reported as failed: the user set it so.
  if (!layer.systemFolder(folder) && layer.files().canCreate(beside)) return beside;
  // Installed for the system (/usr/bin, C:\Program Files), where a user may not write and
  // an administrator should not leave a file behind: the alarm is the user's own. Its folder
  // is made now: a folder has no identity before it is there, and the one copy per alarm file
  // must not change its key when the first save makes it. Where it cannot be made, the save
  // says why.
  const std::u16string own = layer.userFolder();
  if (own.empty()) return beside;
  layer.files().makeFolder(own);
  return own + layer.pathSeparator() + u"alarm.ini";
}

}  // namespace tollora
