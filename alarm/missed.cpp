#include "alarm/missed.h"

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

bool MissedWhileClosed(const std::optional<AlarmMemory>& memory, std::optional<std::int64_t> loadedMoment, std::int64_t nowS) {
  // The same moment rather than the same text: a text saved under other regional settings
  // shows in today's layout, and is still the alarm that was set.
  return memory && memory->state == AlarmMemory::State::Armed && loadedMoment == memory->moment && memory->moment < nowS;
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

}  // namespace tollora
