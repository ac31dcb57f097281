#include "app/program.h"

#include "app/alarm_form.h"

namespace tollora {

void start() { ui::form<Alarm>().Show(); }

}  // namespace tollora
