// The alarm's rules, in one place and with no window: which text is the alarm as set, which one
// rang, whether the clock reaches the alarm, when a hidden program must wake for it, what the
// button shows, and what is remembered of it between runs (so that an alarm is never missed in
// silence, nor rung hours late), with that memory's file format. The main window's handlers
// (alarm/clock.cpp, wake.cpp, arming.cpp, busy.cpp, missed_alarm.cpp) tell it what the user and
// the clock did, and show what it decides.
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

// The alarm between the box and the clock. Texts are compared as the box and the label show
// them; moments are seconds of local civil time (ClockMoment).
class AlarmState {
 public:
  // "Set Alarm" pressed with `text` in the box: a new alarm, which rings even where the same
  // text rang before; the alarm as set only when it was saved.
  void Set(const std::u16string& text, bool saved);
  // The text the alarm file held at start is the alarm as set.
  void Load(const std::u16string& text) { set_ = text; }
  // The box came to hold `text`: another text is another alarm, even one that goes back to a
  // text that rang; and no longer the alarm as set, so "Alarm Set" goes until "Set Alarm" is
  // pressed again. Whether it stopped being the alarm as set.
  bool Edit(const std::u16string& text);
  // An alarm rings once: the clock passing the same text again (set back, the repeated hour at
  // the end of daylight-saving time) is no new alarm. Whether `text` rings now; it is then the
  // text that rang. An empty text never rings: it counts as rung from the start.
  bool Ring(const std::u16string& text);

  // Whether the button shows "Alarm Set": only for the alarm as set, that has not rung, that
  // names a moment the clock can show, ahead of the label's (a tie counting when `tieAhead`;
  // by character code against a label that names none).
  bool ShowsSet(const std::u16string& alarm, const std::u16string& label, const ui::RegionalSettings& rs,
                bool tieAhead) const;

  // Whether the label stepping from `previous` to `label` reaches the alarm: it shows the
  // alarm's text, or it stepped over the alarm's moment (a late tick, a resume from sleep, the
  // clock set forward). A clock set back steps over nothing.
  static bool Reaches(const std::u16string& alarm, const std::u16string& previous, const std::u16string& label,
                      const ui::RegionalSettings& rs);
  // When a hidden program wakes for the alarm, in ms of local civil time: at its second, when
  // the clock writes exactly this text then and that second has not begun at `nowMs`.
  static std::optional<std::int64_t> WakeAt(const std::u16string& alarm, std::int64_t nowMs,
                                            const ui::RegionalSettings& rs);
  // Whether the label must go on ticking while hidden: only for an alarm it alone can tell,
  // some text with no wake time under settings whose clock texts do not read back as moments.
  static bool LabelMustTickHidden(const std::u16string& alarm, std::int64_t nowMs, const ui::RegionalSettings& rs);
  // The moment of an alarm found so late (more than kRingsUpToLateS) that it is told as missed
  // rather than rung; nothing for one that rings.
  static std::optional<std::int64_t> TooLateToRing(const std::u16string& alarm, std::int64_t nowS,
                                                   const ui::RegionalSettings& rs);

  // Missed alarms: this alarm file's memory, as last read or written.
  std::optional<AlarmMemory> remembered;
  // Whether the alarm loaded at start, naming `loadedMoment`, was armed when Tollora last ran
  // with its file and came due since: never for one that rang, was told already, or was never
  // armed.
  bool MissedWhileClosed(std::optional<std::int64_t> loadedMoment, std::int64_t nowS) const;
  // The memory `text` in `state` makes, when that is news: nothing for a text that names no
  // moment (only a moment comes due) or for what is remembered already. It is remembered then.
  std::optional<AlarmMemory> Remember(AlarmMemory::State state, const std::u16string& text, const ui::RegionalSettings& rs);

 private:
  std::optional<std::u16string> set_;
  std::u16string rung_;
};

// "The alarm of 12/07/2026 3:00:00 PM came due at 3:00 PM while Tollora was not running." (or,
// `asleep`, "while the computer was asleep").
std::u16string MissedNote(const std::u16string& alarm, std::int64_t dueS, const ui::RegionalSettings& rs, bool asleep);
// What the window and a screen reader say when the alarm rings: "Time's Up!", and from a minute
// late on, when it was due: "Time's Up! Due at 7:30 AM, 14 min ago".
std::u16string RingNote(std::int64_t dueS, std::int64_t nowS, const ui::RegionalSettings& rs);

}  // namespace tollora
