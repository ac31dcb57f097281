// The clock text ("01/11/2022 1:11:01 PM"): formatting it, and reading it back as a moment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ui/ui.h"

namespace tollora {

// The separators and designators the clock uses: those of the settings, except that an empty
// separator takes the US one, and designators that are missing or alike ("" and "") take "AM"
// and "PM": a 12-hour text without them would name two moments a day, and the alarm would
// ring at both.
ui::RegionalSettings ClockSettings(ui::RegionalSettings rs);

// "MM/dd/yyyy" from `date` immediately followed by " h:mm:ss AMPM" from `time`, with the
// separators and designators of ClockSettings(rs).
std::u16string FormatClockText(const ui::LocalTime& date, const ui::LocalTime& time, const ui::RegionalSettings& rs);

// The moment a text names, in seconds of local civil time, when it is exactly a text the
// clock could show; nothing otherwise (another layout, a leading zero, a day that does not
// exist). The lenient reading of what people type lives in alarm/alarm_reader.h.
std::optional<std::int64_t> ClockMoment(const std::u16string& text, const ui::RegionalSettings& rs);

// An alarm saved under other regional settings: a text in the clock's order and widths
// ("12.24.2026 7.30.00 nachm.", "12/24/2026 7:30:00 午後") with any separators and the
// designators of today's settings or of another common locale (AM and PM among them), that
// is no clock text under `rs`, written as the clock writes that moment under `rs`. Nothing
// for a text that already is a clock text, or that names no moment in any layout.
std::optional<std::u16string> ClockTextFromOtherLayout(const std::u16string& text, const ui::RegionalSettings& rs);

}  // namespace tollora
