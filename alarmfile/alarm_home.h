// Where the alarm file lives: beside the program when its folder can hold it (a portable
// folder), otherwise in the user's own settings folder.
#pragma once

#include <string>

#include "ui/ui.h"

namespace tollora {

std::u16string ChooseAlarmFilePath(ui::Backend& layer);

}  // namespace tollora
