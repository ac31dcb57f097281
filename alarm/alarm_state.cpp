#include "alarm/alarm_state.h"

#include <algorithm>

#include "alarm/clock_text.h"

namespace tollora {

namespace {

constexpr char kFirstLine[] = "Tollora alarm memory 1\n";
constexpr std::pair<AlarmMemory::State, const char*> kStates[] = {
    {AlarmMemory::State::Armed, "armed"}, {AlarmMemory::State::Rang, "rang"}, {AlarmMemory::State::Told, "told"}};

std::string escape(const std::u16string& text) {
  std::u16string kept;
  for (char16_t c : text) {
    if (c == u'\\') {
      kept += u"\\\\";
    } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
      static constexpr char16_t hex[] = u"0123456789abcdef";
      kept += u"\\u";
      for (int shift = 12; shift >= 0; shift -= 4) kept += hex[(c >> shift) & 0xF];
    } else {
      kept += c;
    }
  }
  return ui::toUtf8(kept);  // no surrogate is left alone: the conversion loses nothing
}

std::optional<std::u16string> unescape(const std::string& field) {
  const std::u16string text = ui::fromUtf8(field);
  if (ui::toUtf8(text) != field) return std::nullopt;  // not UTF-8: not written by us
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\\') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == u'\\') {
      out += u'\\';
      ++i;
    } else if (i + 5 < text.size() && text[i + 1] == u'u') {
      char16_t c = 0;
      for (std::size_t k = i + 2; k < i + 6; ++k) {
        const char16_t d = text[k];
        const int v = d >= u'0' && d <= u'9' ? d - u'0' : d >= u'a' && d <= u'f' ? d - u'a' + 10 : -1;
        if (v < 0) return std::nullopt;
        c = static_cast<char16_t>(c * 16 + v);
      }
      out += c;
      i += 5;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

std::optional<std::int64_t> number(const std::string& field) {
  const std::size_t digits = field.size() - (field.starts_with('-') ? 1 : 0);
  if (digits == 0 || digits > 15 || !std::all_of(field.end() - digits, field.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoll(field);
}

std::vector<std::string> split(const std::string& line, char at) {
  std::vector<std::string> parts(1);
  for (char c : line) {
    if (c == at) parts.emplace_back();
    else parts.back() += c;
  }
  return parts;
}

// "7:30 AM": the clock's hour, minutes and designator.
std::u16string shortTime(std::int64_t seconds, const ui::RegionalSettings& given) {
  const ui::RegionalSettings rs = ClockSettings(given);
  const ui::LocalTime t = ui::fromLocalMs(seconds * 1000);
  const int minute = t.minute;
  std::u16string out = ui::fromUtf8(std::to_string(t.hour % 12 == 0 ? 12 : t.hour % 12));
  out += rs.timeSeparator;
  out += static_cast<char16_t>(u'0' + minute / 10);
  out += static_cast<char16_t>(u'0' + minute % 10);
  return out + u" " + (t.hour < 12 ? rs.am : rs.pm);
}

}  // namespace

std::string EncodeMemories(const AlarmMemories& memories) {
  std::string out = kFirstLine;
  for (const auto& [file, m] : memories) {
    const auto state = std::find_if(std::begin(kStates), std::end(kStates), [&](auto& s) { return s.first == m.state; });
    out += std::string(state->second) + '\t' + std::to_string(m.moment) + '\t' + escape(file) + '\t' + escape(m.text) + '\n';
  }
  return out;
}

AlarmMemories DecodeMemories(const std::string& bytes) {
  if (bytes.size() > kMaxMemoryBytes || !bytes.starts_with(kFirstLine) || !bytes.ends_with('\n')) return {};
  AlarmMemories memories;
  std::vector<std::string> lines = split(bytes.substr(sizeof kFirstLine - 1), '\n');
  lines.pop_back();  // after the last line break
  for (const std::string& line : lines) {
    const std::vector<std::string> fields = split(line, '\t');
    if (fields.size() != 4) return {};
    const auto state = std::find_if(std::begin(kStates), std::end(kStates), [&](auto& s) { return fields[0] == s.second; });
    const auto moment = number(fields[1]);
    const auto file = unescape(fields[2]), text = unescape(fields[3]);
    if (state == std::end(kStates) || !moment || !file || file->empty() || !text) return {};
    if (!Recall(memories, *file)) memories.emplace_back(*file, AlarmMemory{state->first, *moment, *text});
  }
  return memories;
}

void Remember(AlarmMemories& memories, const std::u16string& alarmFile, const AlarmMemory& memory) {
  std::erase_if(memories, [&](const auto& entry) { return entry.first == alarmFile; });
  memories.insert(memories.begin(), {alarmFile, memory});
  if (memories.size() > kMaxRemembered) memories.resize(kMaxRemembered);
}

std::optional<AlarmMemory> Recall(const AlarmMemories& memories, const std::u16string& alarmFile) {
  for (const auto& [file, memory] : memories)
    if (file == alarmFile) return memory;
  return std::nullopt;
}


std::u16string MissedNote(const std::u16string& alarm, std::int64_t dueS, const ui::RegionalSettings& rs, bool asleep) {
  return u"The alarm of " + alarm + u" came due at " + shortTime(dueS, rs) +
         (asleep ? u" while the computer was asleep." : u" while Tollora was not running.");
}

std::u16string RingNote(std::int64_t dueS, std::int64_t nowS, const ui::RegionalSettings& rs) {
  const std::int64_t minutes = (nowS - dueS) / 60;
  if (minutes < 1) return u"Time's Up!";
  return u"Time's Up! Due at " + shortTime(dueS, rs) + u", " + ui::fromUtf8(std::to_string(minutes)) + u" min ago";
}

void AlarmState::Set(const std::u16string& text, bool saved) {
  rung_.clear();  // set again: rings again
  set_ = saved ? std::optional(text) : std::nullopt;  // a failed save (reported) is not set
}

bool AlarmState::Edit(const std::u16string& text) {
  rung_.clear();  // another text: another alarm
  // The program's own changes (the load, the rewrite by "Set Alarm") set the text just before
  // the alarm is set, and so stay the alarm as set.
  if (text == set_) return false;
  const bool was = set_.has_value();
  set_.reset();
  return was;
}

bool AlarmState::Ring(const std::u16string& text) {
  if (text == rung_) return false;
  rung_ = text;
  return true;
}

bool AlarmState::ShowsSet(const std::u16string& alarm, const std::u16string& label, const ui::RegionalSettings& rs,
                          bool tieAhead) const {
  // Not a text typed since, nor one that rang and lies ahead again (the clock set back, the
  // repeated hour), which rings again only once set again; nor one that can never ring.
  if (alarm != set_ || alarm == rung_) return false;
  const auto a = ClockMoment(alarm, rs);
  if (!a) return false;
  const auto l = ClockMoment(label, rs);
  const int order = l ? (*a < *l ? -1 : *a > *l ? 1 : 0) : alarm.compare(label);
  return order > 0 || (tieAhead && order == 0);
}

bool AlarmState::Reaches(const std::u16string& alarm, const std::u16string& previous, const std::u16string& label,
                         const ui::RegionalSettings& rs) {
  if (alarm == label) return true;
  const auto due = ClockMoment(alarm, rs);
  if (!due) return false;
  const auto from = ClockMoment(previous, rs);
  const auto to = ClockMoment(label, rs);
  return from && to && *from < *due && *due <= *to;
}

std::optional<std::int64_t> AlarmState::WakeAt(const std::u16string& alarm, std::int64_t nowMs,
                                               const ui::RegionalSettings& rs) {
  const auto moment = ClockMoment(alarm, rs);
  if (!moment) return std::nullopt;
  // Only when the clock writes exactly this text in that second (not in the hour that a
  // change to daylight-saving time skips); a second already begun is the label's business.
  const ui::LocalTime t = ui::fromLocalMs(*moment * 1000);
  if (*moment * 1000 <= nowMs || FormatClockText(t, t, rs) != alarm) return std::nullopt;
  return *moment * 1000;
}

bool AlarmState::LabelMustTickHidden(const std::u16string& alarm, std::int64_t nowMs, const ui::RegionalSettings& rs) {
  // Any other text rings only when the label shows exactly that text, and with settings whose
  // clock texts read back as moments no clock text is such a text. Settings that would still
  // make the clock's own texts unreadable (a separator that is a digit, say; empty or alike
  // designators are mended by the clock text itself) leave only the label to tell.
  const ui::LocalTime n = ui::fromLocalMs(nowMs);
  const bool readable = ClockMoment(FormatClockText(n, n, rs), rs) == nowMs / 1000;
  return !alarm.empty() && !WakeAt(alarm, nowMs, rs) && !readable;
}

std::optional<std::int64_t> AlarmState::TooLateToRing(const std::u16string& alarm, std::int64_t nowS,
                                                      const ui::RegionalSettings& rs) {
  const auto due = ClockMoment(alarm, rs);
  if (!due || nowS - *due <= kRingsUpToLateS) return std::nullopt;
  return due;
}

bool AlarmState::MissedWhileClosed(std::optional<std::int64_t> loadedMoment, std::int64_t nowS) const {
  // The same moment rather than the same text: a text saved under other regional settings
  // shows in today's layout, and is still the alarm that was set.
  const auto& memory = remembered;
  return memory && memory->state == AlarmMemory::State::Armed && loadedMoment == memory->moment && memory->moment < nowS;
}

std::optional<AlarmMemory> AlarmState::Remember(AlarmMemory::State state, const std::u16string& text,
                                                const ui::RegionalSettings& rs) {
  const auto moment = ClockMoment(text, rs);
  if (!moment) return std::nullopt;
  const AlarmMemory memory{state, *moment, text};
  if (remembered == memory) return std::nullopt;
  remembered = memory;
  return memory;
}

}  // namespace tollora
