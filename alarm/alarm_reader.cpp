#include "alarm/alarm_reader.h"

#include <cstdint>

#include "alarm/clock_text.h"
#include "alarmfile/ini.h"
#include "ui/civil.h"

namespace tollora {

namespace {

// U+00A0, U+2007 and U+202F come with times copied from documents and web pages, U+3000
// from East Asian input methods.
bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0x00A0 || c == 0x2007 || c == 0x202F || c == 0x3000; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
char16_t foldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

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
    out += foldAscii(c);
  }
  return out;
}

class Scanner {
 public:
  explicit Scanner(std::u16string_view t) : text_(t) {}
  std::u16string_view rest() const { return text_.substr(pos_); }

  std::size_t blanks() {
    const std::size_t from = pos_;
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    return pos_ - from;
  }
  bool literal(std::u16string_view s) {
    if (s.empty() || text_.substr(pos_, s.size()) != s) return false;
    pos_ += s.size();
    return true;
  }
  // A run of `least` to `most` digits, not followed by another digit.
  bool number(std::size_t least, std::size_t most, int& value, std::size_t* count = nullptr) {
    std::size_t n = 0;
    value = 0;
    while (pos_ + n < text_.size() && isDigit(text_[pos_ + n])) {
      if (++n > most) return false;
      value = value * 10 + (text_[pos_ + n - 1] - u'0');
    }
    if (n < least) return false;
    pos_ += n;
    if (count) *count = n;
    return true;
  }

 private:
  std::u16string_view text_;
  std::size_t pos_ = 0;
};

struct Date {
  int year, month, day;
};
struct Time {
  int hour, minute, second;
};

std::optional<Date> readDate(Scanner& s, const ui::RegionalSettings& rs) {
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

// The time and what follows it up to the end: an optional designator.
std::optional<Time> readTime(Scanner& s, const ui::RegionalSettings& rs) {
  int hour = 0, minute = 0, second = 0;
  if (!s.number(1, 2, hour) || !s.literal(rs.timeSeparator) || !s.number(2, 2, minute)) return std::nullopt;
  if (s.literal(rs.timeSeparator) && !s.number(2, 2, second)) return std::nullopt;
  if (minute > 59 || second > 59) return std::nullopt;
  s.blanks();
  const std::u16string designator = loose(s.rest());
  if (designator.empty()) {
    if (hour > 23) return std::nullopt;
    return Time{hour, minute, second};
  }
  if (hour < 1 || hour > 12) return std::nullopt;
  // One designator may begin with the other; whole words are compared, so that does not matter.
  // AM and PM are read whatever the settings' own words (午前 and 午後, vorm. and nachm.): they
  // are what most keyboards type and most clocks show.
  if (designator == loose(rs.am)) return Time{hour % 12, minute, second};
  if (designator == loose(rs.pm)) return Time{hour % 12 + 12, minute, second};
  if (designator == u"AM") return Time{hour % 12, minute, second};
  if (designator == u"PM") return Time{hour % 12 + 12, minute, second};
  return std::nullopt;
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
  const ui::RegionalSettings rs = ClockSettings(given);

  // Only the first line is ever saved (ini::FirstLine), so only it is read.
  std::u16string_view text = ini::FirstLine(typed);
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);

  // A date and a time.
  {
    Scanner s(text);
    if (const auto date = readDate(s, rs); date && s.blanks() > 0) {
      if (const auto time = readTime(s, rs)) {
        const ui::LocalTime t = at(ui::daysFromCivil(date->year, static_cast<unsigned>(date->month),
                                                     static_cast<unsigned>(date->day)),
                                   *time);
        return FormatClockText(t, t, rs);
      }
    }
  }
  // A time alone: where "." separates both, "7.30.15" may first have looked like a date.
  Scanner s(text);
  const auto time = readTime(s, rs);
  if (!time) return std::nullopt;
  std::int64_t day = dayNumber(now);
  const auto secondsOf = [](int h, int m, int sec) { return (h * 60 + m) * 60 + sec; };
  if (secondsOf(time->hour, time->minute, time->second) <= secondsOf(now.hour, now.minute, now.second)) ++day;
  const ui::LocalTime t = at(day, *time);
  return FormatClockText(t, t, rs);
}

std::u16string AlarmLayoutHint(const ui::RegionalSettings& given) {
  const ui::RegionalSettings rs = ClockSettings(given);
  const ui::LocalTime example{2022, 1, 11, 13, 11, 1, 0};
  return u"Type the alarm like " + FormatClockText(example, example, rs) + u", or a time alone: 7" +
         rs.timeSeparator + u"30 " + rs.pm + u", 19" + rs.timeSeparator + u"30";
}

}  // namespace tollora
