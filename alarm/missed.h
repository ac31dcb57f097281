// An alarm is never missed in silence, and never rung hours late. What Tollora remembers of
// each alarm file's alarm between runs, the memory's file format, and the decisions made from
// it; no window here (the main window's side is alarm/missed_alarm.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/ui.h"

namespace tollora {

// The last thing that happened to an alarm file's alarm: shown as "Alarm Set" (armed), rung,
// or told as missed.
struct AlarmMemory {
  enum class State { Armed, Rang, Told };
  State state = State::Armed;
  std::int64_t moment = 0;  // seconds of local civil time, as ClockMoment gives them
  std::u16string text;      // the alarm text as the box showed it
  bool operator==(const AlarmMemory&) const = default;
};

// Every alarm file's memory, by the alarm file's full path, the most recently changed first.
using AlarmMemories = std::vector<std::pair<std::u16string, AlarmMemory>>;
constexpr std::size_t kMaxRemembered = 16;           // alarm files beyond it: the oldest goes
constexpr std::size_t kMaxMemoryBytes = 256 * 1024;  // a longer file is none of ours
constexpr const char16_t* kMemoryFileName = u"alarms.state";

// The file: a first line of its own, then one line per alarm file: the state, the moment, the
// path and the text, separated by tabs, UTF-8, with backslash escapes for the backslash, control
// characters and lone surrogates ("\\", "\u0009"), so that any path and any text make one line.
std::string EncodeMemories(const AlarmMemories& memories);
// Nothing remembered for a file that is not exactly such a file (damaged, cut short, another
// program's, too long): a damaged memory could only ever announce an alarm falsely.
AlarmMemories DecodeMemories(const std::string& bytes);
// The memory of one alarm file, put first; the oldest beyond kMaxRemembered are dropped.
void Remember(AlarmMemories& memories, const std::u16string& alarmFile, const AlarmMemory& memory);
std::optional<AlarmMemory> Recall(const AlarmMemories& memories, const std::u16string& alarmFile);

// An alarm found up to this late still rings (it says how late); later, it is told as missed.
constexpr std::int64_t kRingsUpToLateS = 3600;

// Whether the alarm loaded at start, naming `loadedMoment`, was armed when Tollora last ran with
// its file and came due since: never for one that rang, was told already, or was never armed.
bool MissedWhileClosed(const std::optional<AlarmMemory>& memory, std::optional<std::int64_t> loadedMoment, std::int64_t nowS);

// "The alarm of 12/07/2026 3:00:00 PM came due at 3:00 PM while Tollora was not running." (or,
// `asleep`, "while the computer was asleep").
std::u16string MissedNote(const std::u16string& alarm, std::int64_t dueS, const ui::RegionalSettings& rs, bool asleep);
// What the window and a screen reader say when the alarm rings: "Time's Up!", and from a minute
// late on, when it was due: "Time's Up! Due at 7:30 AM, 14 min ago".
std::u16string RingNote(std::int64_t dueS, std::int64_t nowS, const ui::RegionalSettings& rs);

}  // namespace tollora
