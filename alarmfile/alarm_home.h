// Where the alarm file lives: beside the program when its folder can hold it (a portable
// folder), otherwise in the user's own settings folder.
#pragma once

#include <string>

#include "ui/ui.h"

namespace tollora {

std::u16string ChooseAlarmFilePath(ui::Backend& layer);
// The alarm file beside the program, wherever the alarm lives: a user's own that has none yet
// starts from it (ReadIni).
std::u16string AlarmBesideProgram(ui::Backend& layer);

}  // namespace tollora
