#include "alarm/clock_text.h"

#include "alarm/text_scan.h"
#include "ui/civil.h"

namespace tollora {

namespace {

void appendDigits(std::u16string& out, int value, int width) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value > 0);
  while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), u'0');
  out += digits;
}

// The hour as the clock writes it: 1 to 12, no leading zero.
bool readHour(TextScanner& r, int& value) {
  if (!r.digits(1, value) || value == 0) return false;
  if (int next = 0; r.digits(1, next)) value = value * 10 + next;
  return value >= 1 && value <= 12;
}

// The morning and afternoon words of clock texts saved under other settings, besides those of
// today's: as the common locales write them.
constexpr std::u16string_view kDesignators[][2] = {
    {u"AM", u"PM"},       {u"a.m.", u"p.m."},     {u"a. m.", u"p. m."}, {u"午前", u"午後"},   {u"上午", u"下午"},
    {u"오전", u"오후"},   {u"ص", u"م"},           {u"ق.ظ.", u"ب.ظ."},   {u"vorm.", u"nachm."}, {u"π.μ.", u"μ.μ."},
    {u"ΠΜ", u"ΜΜ"},       {u"de.", u"du."},       {u"fm", u"em"},       {u"ap.", u"ip."},     {u"SA", u"CH"},
    {u"ÖÖ", u"ÖS"},       {u"dop.", u"odp."},     {u"पूर्वाह्न", u"अपराह्न"}, {u"לפנה״צ", u"אחה״צ"},
};

}  // namespace

ui::RegionalSettings ClockSettings(ui::RegionalSettings rs) {
  const ui::RegionalSettings us;
  if (rs.dateSeparator.empty()) rs.dateSeparator = us.dateSeparator;
  if (rs.timeSeparator.empty()) rs.timeSeparator = us.timeSeparator;
  if (rs.am.empty() || rs.pm.empty() || rs.am == rs.pm) {
    rs.am = us.am;
    rs.pm = us.pm;
  }
  return rs;
}

std::u16string FormatClockText(const ui::LocalTime& date, const ui::LocalTime& time, const ui::RegionalSettings& given) {
  const ui::RegionalSettings rs = ClockSettings(given);
  std::u16string out;
  out.reserve(24);
  appendDigits(out, date.month, 2);
  out += rs.dateSeparator;
  appendDigits(out, date.day, 2);
  out += rs.dateSeparator;
  appendDigits(out, date.year, 4);
  out += u' ';
  const int h12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
  appendDigits(out, h12, 1);
  out += rs.timeSeparator;
  appendDigits(out, time.minute, 2);
  out += rs.timeSeparator;
  appendDigits(out, time.second, 2);
  out += u' ';
  out += time.hour < 12 ? rs.am : rs.pm;
  return out;
}

std::optional<std::int64_t> ClockMoment(const std::u16string& text, const ui::RegionalSettings& given) {
  const ui::RegionalSettings rs = ClockSettings(given);
  TextScanner r(text);
  int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (!r.digits(2, month) || !r.literal(rs.dateSeparator) || !r.digits(2, day) || !r.literal(rs.dateSeparator) ||
      !r.digits(4, year) || !r.literal(u" ") || !readHour(r, hour) || !r.literal(rs.timeSeparator) ||
      !r.digits(2, minute) || !r.literal(rs.timeSeparator) || !r.digits(2, second) || !r.literal(u" ")) {
    return std::nullopt;
  }
  // One designator may begin with the other ("A" and "AM"): try the longer first.
  const bool amFirst = rs.am.size() >= rs.pm.size();
  bool pm;
  if (r.literal(amFirst ? rs.am : rs.pm)) {
    pm = !amFirst;
  } else if (r.literal(amFirst ? rs.pm : rs.am)) {
    pm = amFirst;
  } else {
    return std::nullopt;
  }
  if (!r.atEnd()) return std::nullopt;
  if (month < 1 || month > 12 || year < 1 || day < 1 || day > ui::daysInMonth(year, month)) return std::nullopt;
  if (minute > 59 || second > 59) return std::nullopt;
  const int hour24 = (hour % 12) + (pm ? 12 : 0);
  const std::int64_t days = ui::daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return ((days * 24 + hour24) * 60 + minute) * 60 + second;
}

std::optional<std::u16string> ClockTextFromOtherLayout(const std::u16string& text, const ui::RegionalSettings& given) {
  const ui::RegionalSettings rs = ClockSettings(given);
  if (ClockMoment(text, rs)) return std::nullopt;
  // The clock's order and widths with any separators, the same one twice in the date and
  // twice in the time, then a designator: today's, or another locale's.
  TextScanner r(text);
  std::u16string dateSep, timeSep;
  int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (!r.digits(2, month) || !r.separator(dateSep, 4) || !r.digits(2, day) || !r.literal(dateSep) ||
      !r.digits(4, year) || !r.literal(u" ") || !readHour(r, hour) || !r.separator(timeSep, 4) ||
      !r.digits(2, minute) || !r.literal(timeSep) || !r.digits(2, second) || !r.literal(u" ")) {
    return std::nullopt;
  }
  const std::u16string_view designator = r.rest();
  const auto is = [&](std::u16string_view word) {
    TextScanner d(designator);
    return d.word(word) && d.atEnd();
  };
  std::optional<bool> pm;
  if (is(rs.am) != is(rs.pm)) pm = is(rs.pm);
  for (const auto& pair : kDesignators)
    if (!pm && is(pair[0]) != is(pair[1])) pm = is(pair[1]);
  if (!pm || month < 1 || month > 12 || year < 1 || day < 1 || day > ui::daysInMonth(year, month) || minute > 59 ||
      second > 59) {
    return std::nullopt;
  }
  const ui::LocalTime t{year, month, day, hour % 12 + (*pm ? 12 : 0), minute, second, 0};
  std::u16string today = FormatClockText(t, t, rs);
  if (ClockMoment(today, rs) != ui::localMs(t) / 1000) return std::nullopt;  // settings whose texts do not read back
  return today;
}

}  // namespace tollora
