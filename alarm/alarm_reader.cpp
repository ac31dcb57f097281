#include "alarm/alarm_reader.h"

#include <cstdint>

#include "alarm/clock_text.h"
#include "alarm/text_scan.h"
#include "alarmfile/ini.h"
#include "ui/civil.h"

namespace tollora {

namespace {

// The first code point of each run of ten decimal digits, zero to nine, in Unicode (general
// category Nd): the scripts' own digits read as 0 to 9.
constexpr char32_t kZeros[] = {
    0x0660,  0x06F0,  0x07C0,  0x0966,  0x09E6,  0x0A66,  0x0AE6,  0x0B66,  0x0BE6,  0x0C66,  0x0CE6,  0x0D66,
    0x0DE6,  0x0E50,  0x0ED0,  0x0F20,  0x1040,  0x1090,  0x17E0,  0x1810,  0x1946,  0x19D0,  0x1A80,  0x1A90,
    0x1B50,  0x1BB0,  0x1C40,  0x1C50,  0xA620,  0xA8D0,  0xA900,  0xA9D0,  0xA9F0,  0xAA50,  0xABF0,  0xFF10,
    0x104A0, 0x10D30, 0x11066, 0x110F0, 0x11136, 0x111D0, 0x112F0, 0x11450, 0x114D0, 0x11650, 0x116C0, 0x11730,
    0x118E0, 0x11950, 0x11C50, 0x11D50, 0x11DA0, 0x11F50, 0x16A60, 0x16AC0, 0x16B50, 0x1D7CE, 0x1D7D8, 0x1D7E2,
    0x1D7EC, 0x1D7F6, 0x1E140, 0x1E2F0, 0x1E4F0, 0x1E950, 0x1FBF0};

// The text with every decimal digit as an ASCII one, the full-width forms of ASCII (１９：３０) as
// ASCII, and without the invisible marks that right-to-left texts carry (U+200E, U+200F,
// U+061C): what the reader scans, and what the settings' words are compared in.
std::u16string plain(std::u16string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
    if (pair) c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
    if (c == 0x200E || c == 0x200F || c == 0x061C) continue;
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFF01 - 0x21;
    for (char32_t zero : kZeros)
      if (c >= zero && c <= zero + 9) c = u'0' + (c - zero);
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += s.substr(i, 2);
    }
    i += pair;
  }
  return out;
}

// Case folded, every run of blanks one space, none at either end: how designators compare.
std::u16string loose(std::u16string_view s) {
  std::u16string out;
  bool blank = false;
  for (char16_t c : s) {
    if (isBlank(c)) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += u' ';
    blank = false;
    out += ini::FoldAscii(c);
  }
  return out;
}

struct Date {
  int year, month, day;
};
struct Time {
  int hour, minute, second;
};

std::optional<Date> readDate(TextScanner& s, const ui::RegionalSettings& rs) {
  int month = 0, day = 0, year = 0;
  std::size_t yearDigits = 0;
  if (!s.number(1, 2, month) || !s.literal(rs.dateSeparator) || !s.number(1, 2, day) ||
      !s.literal(rs.dateSeparator) || !s.number(2, 4, year, &yearDigits) || yearDigits == 3) {
    return std::nullopt;
  }
  if (yearDigits == 2) year += 2000;
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > ui::daysInMonth(year, month)) return std::nullopt;
  return Date{year, month, day};
}

// Whether `word` is a morning (false) or afternoon (true) designator. AM and PM are read
// whatever the settings' own words (午前 and 午後, vorm. and nachm.): they are what most
// keyboards type and most clocks show. Whole words compare, so one designator may begin with
// the other.
std::optional<bool> designator(std::u16string_view word, const ui::RegionalSettings& rs) {
  const std::u16string w = loose(word);
  if (w == loose(rs.am) || w == u"AM") return false;
  if (w == loose(rs.pm) || w == u"PM") return true;
  return std::nullopt;
}

// A designator written before the time, as Japanese, Chinese and Korean do (午後7:30), and
// the blanks after it.
std::optional<bool> designatorFirst(TextScanner& s, const ui::RegionalSettings& rs) {
  std::optional<bool> found;
  std::size_t longest = 0;
  TextScanner past = s;
  for (const std::u16string& word : {rs.am, rs.pm, std::u16string(u"AM"), std::u16string(u"PM")}) {
    TextScanner t = s;
    if (word.size() > longest && t.word(word)) {
      t.blanks();
      longest = word.size();
      found = designator(word, rs);
      past = t;
    }
  }
  s = past;
  return found;
}

// The time and what follows it up to the end: a designator before the time or after it, or
// none.
std::optional<Time> readTime(TextScanner& s, const ui::RegionalSettings& rs) {
  int hour = 0, minute = 0, second = 0;
  const std::optional<bool> before = designatorFirst(s, rs);
  if (!s.number(1, 2, hour) || !s.literal(rs.timeSeparator) || !s.number(2, 2, minute)) return std::nullopt;
  if (s.literal(rs.timeSeparator) && !s.number(2, 2, second)) return std::nullopt;
  if (minute > 59 || second > 59) return std::nullopt;
  s.blanks();
  const std::u16string_view after = s.rest();
  if (!before && after.empty()) {
    if (hour > 23) return std::nullopt;
    return Time{hour, minute, second};
  }
  const std::optional<bool> pm = before && after.empty() ? before : before ? std::nullopt : designator(after, rs);
  if (!pm || hour < 1 || hour > 12) return std::nullopt;
  return Time{hour % 12 + (*pm ? 12 : 0), minute, second};
}

ui::LocalTime at(std::int64_t days, const Time& t) {
  ui::LocalTime out;
  ui::civilFromDays(days, out.year, out.month, out.day);
  out.hour = t.hour;
  out.minute = t.minute;
  out.second = t.second;
  return out;
}

std::int64_t dayNumber(const ui::LocalTime& t) {
  return ui::daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
}

}  // namespace

std::optional<std::u16string> ReadAlarmText(const std::u16string& typed, const ui::LocalTime& now,
                                            const ui::RegionalSettings& given) {
  if (ClockMoment(typed, given)) return typed;
  const ui::RegionalSettings out = ClockSettings(given);
  // The settings' words are compared in the same plain form as the text.
  const ui::RegionalSettings rs{plain(out.dateSeparator), plain(out.timeSeparator), plain(out.am), plain(out.pm)};

  // Only the first line is ever saved (ini::FirstLine), so only it is read.
  const std::u16string line = plain(ini::FirstLine(typed));
  std::u16string_view text = line;
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);

  // A date and a time.
  {
    TextScanner s(text);
    if (const auto date = readDate(s, rs); date && s.blanks() > 0) {
      if (const auto time = readTime(s, rs)) {
        const ui::LocalTime t = at(ui::daysFromCivil(date->year, static_cast<unsigned>(date->month),
                                                     static_cast<unsigned>(date->day)),
                                   *time);
        return FormatClockText(t, t, out);
      }
    }
  }
  // A time alone: where "." separates both, "7.30.15" may first have looked like a date.
  TextScanner s(text);
  const auto time = readTime(s, rs);
  if (!time) return std::nullopt;
  std::int64_t day = dayNumber(now);
  const auto secondsOf = [](int h, int m, int sec) { return (h * 60 + m) * 60 + sec; };
  if (secondsOf(time->hour, time->minute, time->second) <= secondsOf(now.hour, now.minute, now.second)) ++day;
  const ui::LocalTime t = at(day, *time);
  return FormatClockText(t, t, out);
}

std::u16string AlarmLayoutHint(const ui::RegionalSettings& given) {
  const ui::RegionalSettings rs = ClockSettings(given);
  const ui::LocalTime example{2022, 1, 11, 13, 11, 1, 0};
  return u"Type the alarm like " + FormatClockText(example, example, rs) + u", or a time alone: 7" +
         rs.timeSeparator + u"30 " + rs.pm + u", 19" + rs.timeSeparator + u"30";
}

}  // namespace tollora
