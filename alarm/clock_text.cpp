#include "alarm/clock_text.h"

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

class Reader {
 public:
  explicit Reader(const std::u16string& t) : text_(t) {}
  bool literal(const std::u16string& s) {
    if (s.empty() || text_.compare(pos_, s.size(), s) != 0) return false;
    pos_ += s.size();
    return true;
  }
  // Exactly `count` digits.
  bool digits(int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
      if (pos_ >= text_.size() || text_[pos_] < u'0' || text_[pos_] > u'9') return false;
      value = value * 10 + (text_[pos_++] - u'0');
    }
    return true;
  }
  // The hour as the clock writes it: 1 to 12, no leading zero.
  bool hour(int& value) {
    if (!digits(1, value) || value == 0) return false;
    if (pos_ < text_.size() && text_[pos_] >= u'0' && text_[pos_] <= u'9') {
      value = value * 10 + (text_[pos_++] - u'0');
    }
    return value >= 1 && value <= 12;
  }
  bool atEnd() const { return pos_ == text_.size(); }

 private:
  const std::u16string& text_;
  std::size_t pos_ = 0;
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
  Reader r(text);
  int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (!r.digits(2, month) || !r.literal(rs.dateSeparator) || !r.digits(2, day) || !r.literal(rs.dateSeparator) ||
      !r.digits(4, year) || !r.literal(u" ") || !r.hour(hour) || !r.literal(rs.timeSeparator) ||
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

std::optional<std::u16string> ClockTextFromUsLayout(const std::u16string& text, const ui::RegionalSettings& rs) {
  if (ClockMoment(text, rs)) return std::nullopt;
  const auto moment = ClockMoment(text, ui::RegionalSettings{});
  if (!moment) return std::nullopt;
  const ui::LocalTime t = ui::fromLocalMs(*moment * 1000);
  std::u16string today = FormatClockText(t, t, rs);
  if (ClockMoment(today, rs) != moment) return std::nullopt;  // settings whose texts do not read back
  return today;
}

int CompareOrdinal(const std::u16string& a, const std::u16string& b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int CompareAlarmToLabel(const std::u16string& alarm, const std::u16string& label, const ui::RegionalSettings& rs) {
  const auto a = ClockMoment(alarm, rs);
  const auto l = a ? ClockMoment(label, rs) : std::nullopt;
  if (a && l) return *a < *l ? -1 : *a > *l ? 1 : 0;
  return CompareOrdinal(alarm, label);
}

bool AlarmLiesAhead(const std::u16string& alarm, const std::u16string& label, const ui::RegionalSettings& rs,
                    bool tieAhead) {
  if (!ClockMoment(alarm, rs)) return false;
  const int order = CompareAlarmToLabel(alarm, label, rs);
  return order > 0 || (tieAhead && order == 0);
}

}  // namespace tollora
