// What "Set Alarm" makes of an alarm text typed the way people type times: the one place that
// holds the rules, so that both programs read alike.
//
// Read, with the separators and designators of the clock (ClockSettings):
//   - a date "M/D/Y" and a time "h:mm[:ss]" with or without a designator;
//   - the designator in any ASCII case, with or without a blank before it ("7:30pm"); AM and
//     PM as well as the settings' own;
//   - month, day and hour with or without a leading zero; seconds left out mean ":00";
//   - blanks (space, tab, no-break spaces) before, after, and more than one where one belongs;
//   - without a designator, a 24-hour time ("19:30", "07:30:15", "0:15");
//   - a time alone: its next occurrence, today when still ahead of `now`, else tomorrow;
//   - a two-digit year as 20yy.
// Only the text's first line counts, as only it is saved. A text the clock could show is given
// back unchanged. A text that names no moment (a day
// that does not exist, 25:00, 0:30 AM, a word) gives nothing: the caller keeps it as typed.
#pragma once

#include <optional>
#include <string>

#include "ui/ui.h"

namespace tollora {

std::optional<std::u16string> ReadAlarmText(const std::u16string& typed, const ui::LocalTime& now,
                                             const ui::RegionalSettings& rs);

// One line that shows the user the layout the clock reads, with the settings' separators and
// designators ("Type the alarm like 01/11/2022 1:11:01 PM, or a time alone: 7:30 PM, 19:30").
std::u16string AlarmLayoutHint(const ui::RegionalSettings& rs);

}  // namespace tollora
