// The texts Tollora reads and writes: the clock text, typed alarms, the alarm file, the single-line box.
#include <gtest/gtest.h>

#include "alarm/alarm_reader.h"
#include "alarm/clock_text.h"
#include "alarmfile/ini.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

const ui::RegionalSettings kUs, kDotted{u".", u":", u"", u""}, kGerman{u".", u".", u"vorm.", u"nachm."},
    kJapanese{u"/", u":", u"午前", u"午後"}, kArabic{u"/", u":", u"ص", u"م"};

ui::LocalTime at(int y, int mo, int d, int h, int mi, int s) { return {y, mo, d, h, mi, s, 0}; }

TEST(ClockText, WritesTheClocksLayoutAndReadsBackOnlyThat) {
  const struct { ui::LocalTime t; ui::RegionalSettings rs; const char16_t* text; } rows[] = {
      {at(2022, 1, 11, 13, 11, 1), kUs, u"01/11/2022 1:11:01 PM"},
      {at(2022, 1, 11, 0, 5, 9), kUs, u"01/11/2022 12:05:09 AM"},
      {at(2022, 1, 11, 12, 0, 0), kUs, u"01/11/2022 12:00:00 PM"},
      {at(2000, 2, 29, 23, 59, 59), kUs, u"02/29/2000 11:59:59 PM"},
      {at(2022, 3, 4, 15, 6, 7), {u".", u"-", u"vorm.", u"nachm."}, u"03.04.2022 3-06-07 nachm."},
      // Designators empty or alike: the clock writes AM and PM.
      {at(2026, 12, 7, 19, 30, 0), kDotted, u"12.07.2026 7:30:00 PM"},
      {at(2026, 12, 7, 7, 30, 0), {u"/", u":", u"x", u"x"}, u"12/07/2026 7:30:00 AM"},
      {at(2026, 12, 7, 19, 30, 0), {u"", u"", u"", u"PM"}, u"12/07/2026 7:30:00 PM"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(FormatClockText(r.t, r.t, r.rs), r.text);
    EXPECT_EQ(ClockMoment(r.text, r.rs), ui::localMs(r.t) / 1000) << ui::toUtf8(r.text);
  }
  for (const char16_t* bad : {u"01/11/2022 1:11:01 pm", u"01/11/2022 01:11:01 PM", u"01/11/2022  1:11:01 PM",
                              u"1/11/2022 1:11:01 PM", u"02/29/2023 1:00:00 PM", u"02/29/2100 1:00:00 PM",
                              u"06/31/2026 1:00:00 PM", u"13/01/2022 1:00:00 PM", u"01/11/2022 13:11:01 PM",
                              u"01/11/2022 1:60:01 PM", u"01/11/2022 1:11:01 PM ", u"01/11/2022 0:11:01 AM", u""}) {
    EXPECT_FALSE(ClockMoment(bad, kUs)) << ui::toUtf8(bad);
  }
}

// Whatever is read (nullptr: nothing, as it names no moment) is a clock text, and reads as itself again.
void expectRead(const ui::RegionalSettings& rs, const ui::LocalTime& now,
                std::initializer_list<std::pair<const char*, const char*>> rows) {
  for (const auto& [typed, clockText] : rows) {
    const auto read = ReadAlarmText(u16(typed), now, rs);
    EXPECT_EQ(ui::toUtf8(read.value_or(u"(none)")), clockText ? clockText : "(none)") << "typed " << typed;
    if (read) { EXPECT_EQ(ReadAlarmText(*read, now, rs), read) << typed; }
  }
}

TEST(AlarmReader, ReadsTheCommonWaysOfWritingATimeAndRefusesWhatNamesNoMoment) {
  const ui::LocalTime night = at(2026, 12, 7, 1, 31, 0), afternoon = at(2026, 12, 7, 13, 0, 0);
  expectRead(kUs, night, {
      {"12/07/2026 12:03:04 am", "12/07/2026 12:03:04 AM"}, {"1/2/2027 09:05:07 pM", "01/02/2027 9:05:07 PM"},
      {"7:30pm", "12/07/2026 7:30:00 PM"},                   {"  12/24/26   7:30   Am  ", "12/24/2026 7:30:00 AM"},
      {"\t7:30\u202fPM\u00a0", "12/07/2026 7:30:00 PM"},    {"12/07/2026 23:59:00", "12/07/2026 11:59:00 PM"},
      {"07:30:15", "12/07/2026 7:30:15 AM"},                 {"12:00", "12/07/2026 12:00:00 PM"},
      {"02/29/28 6:00", "02/29/2028 6:00:00 AM"},            {"01/11/2022 1:11:01 PM", "01/11/2022 1:11:01 PM"},
      // A time alone: today while still ahead, tomorrow from its own second on.
      {"1:31:01 AM", "12/07/2026 1:31:01 AM"},               {"1:31 AM", "12/08/2026 1:31:00 AM"},
      {"0:15", "12/08/2026 12:15:00 AM"},
  });
  // A date the calendar lacks (the clock text's own test has the rest), a field out of range or malformed.
  for (const char* bad : {"02/30/2026 7:30 PM", "0/07/2026 7:30", "12/00/2026 7:30", "12/07/0000 7:30", "12/07/026 7:30",
                          "25:00", "24:00", "13:00 PM", "0:30 AM", "7:60", "7:30:60", "7:5", "7", "730 PM", "7:30:00:00",
                          "007:30", "7:30 p.m.", "7:30 PM sharp", "12/07/2026", "12/07/20267:30", "12-07-2026 7:30",
                          "\U0001F514", "   "}) {
    EXPECT_FALSE(ReadAlarmText(u16(bad), night, kUs)) << bad;
  }
  expectRead(kUs, afternoon, {{"12:30 PM", "12/08/2026 12:30:00 PM"}});
  // The settings' own separators and designators, and AM and PM besides.
  expectRead(kDotted, night, {
      {"12.24.26 19:30", "12.24.2026 7:30:00 PM"}, {"7:30pm", "12.07.2026 7:30:00 PM"},
      {"12.24.2026 7:30:00 ", "12.24.2026 7:30:00 AM"}, {"12/24/2026 7:30", nullptr}, {"7.30", nullptr},
  });
  // "7.30.15" could begin a date and is still read as a time.
  expectRead(kGerman, night, {
      {"7.30NACHM.", "12.07.2026 7.30.00 nachm."}, {"7.30.15 Vorm.", "12.07.2026 7.30.15 vorm."},
      {"12.7.2026 0.15", "12.07.2026 12.15.00 vorm."}, {"7.30 pm", "12.07.2026 7.30.00 nachm."},
      {"7:30", nullptr}, {"7.30 nachm", nullptr},
  });
  expectRead(kJapanese, night, {
      {"12:06:47 PM", "12/07/2026 12:06:47 午後"}, {"7:30 am", "12/07/2026 7:30:00 午前"},
      {"7:30午後", "12/07/2026 7:30:00 午後"}, {"7:30 p", nullptr},
      // The designator first, as Japanese and Chinese write it; full-width digits and colon.
      {"午後7:30", "12/07/2026 7:30:00 午後"}, {"12/24/2026 午前 7:30", "12/24/2026 7:30:00 午前"},
      {"１９：３０", "12/07/2026 7:30:00 午後"}, {"午後7:30 PM", nullptr}, {"PM", nullptr},
  });
  // Any script's decimal digits (Arabic-Indic, Persian, Devanagari, mathematical bold).
  expectRead(kArabic, night, {
      {"٧:٣٠ م", "12/07/2026 7:30:00 م"}, {"١٩:٣٠", "12/07/2026 7:30:00 م"},
      {"\u200f١٢/٢٤/٢٠٢٦ ٧:٣٠ ص", "12/24/2026 7:30:00 ص"}, {"۱۹:۳۰", "12/07/2026 7:30:00 م"},
      {"७:३०", "12/07/2026 7:30:00 ص"}, {"\U0001D7D5:\U0001D7D1\U0001D7CE", "12/07/2026 7:30:00 ص"},
  });
  // The button's hint shows the layout to use.
  EXPECT_EQ(AlarmLayoutHint(kUs), u"Type the alarm like 01/11/2022 1:11:01 PM, or a time alone: 7:30 PM, 19:30");
  EXPECT_EQ(AlarmLayoutHint(kGerman),
            u"Type the alarm like 01.11.2022 1.11.01 nachm., or a time alone: 7.30 nachm., 19.30");
}

TEST(AlarmFile, IsReadLeniently) {
  const std::u16string notepad = u"; saved by Notepad\r\n[ALARM]\r\nTime=caf\u00e9 \U0001F514\r\n";
  const struct { std::string bytes; const char16_t* time; } rows[] = {
      {"[ALARM]\r\nTime=01/11/2022 1:11:01 PM\r\nTimeBAK=x\r\n", u"01/11/2022 1:11:01 PM"},
      // Names in any case, blanks around "=" and the value, comments, other sections and keys.
      {"[other]\nTime=no\n\n[ alarm ]\n; Time=no\n  other = 1\n\tTIME =  12/01/2023 9:00 AM \t\n", u"12/01/2023 9:00 AM"},
      // One pair of matching quotes goes; others stay.
      {"[ALARM]\nTime=\"  spaced  \"\n", u"  spaced  "}, {"[ALARM]\nTime='it'\n", u"it"},
      {"[ALARM]\nTime=\"half\n", u"\"half"},              {"[ALARM]\nTime=\"x'\n", u"\"x'"},
      {"[ALARM]\nTime=\"\"x\"\"\n", u"\"x\""},
      // The first section and the first key win.
      {"[ALARM]\nTime=first\nTime=second\n[ALARM]\nTime=third\n", u"first"}, {"[ALARM]\n[ALARM]\nTime=late\n", u""},
      {"", u""}, {"[ALARM]\r\nTimeBAK=only\r\n", u""}, {"[ALARMS]\nTime=x\n", u""},
      {"[ALARM\nTime=open bracket\n", u"open bracket"}, {"[ALARM]\nno equals here\nTime=ok\n", u"ok"},
      // A byte-order mark or well-formed UTF-8 beyond ASCII is UTF-8; else the code page's (Latin-1).
      {"\xEF\xBB\xBF[ALARM]\r\nTime=caf\xC3\xA9\r\n", u"caf\u00e9"},
      {"[ALARM]\nTime=caf\xC3\xA9 \xF0\x9F\x94\x94", u"caf\u00e9 \U0001F514"},
      {"[ALARM]\nTime=caf\xE9 \xC3", u"caf\u00e9 \u00c3"}, {"[ALARM]\nTime=\xED\xA0\x80", u"\u00ed\u00a0\u0080"},
      // UTF-16 in either order, behind its mark or told by its NULs; a lone last byte is dropped.
      {utf16(notepad, false), u"caf\u00e9 \U0001F514"}, {utf16(notepad, true), u"caf\u00e9 \U0001F514"},
      {utf16(u"[ALARM]\nTime=x", true) + "\x41", u"x"}, {utf16(notepad, false, false), u"caf\u00e9 \U0001F514"},
      {utf16(notepad, true, false), u"caf\u00e9 \U0001F514"},
      // No text: NULs that are no UTF-16, control characters, broken UTF-8 or UTF-16.
      {std::string("[ALARM]\nTime=before\0after\n", 26), u""}, {"[ALARM]\nTime=a\x01\n", u""},
      {"\xEF\xBB\xBF[ALARM]\nTime=\xC3", u""}, {utf16(u"[ALARM]\nTime=\xD800", false), u""},
  };
  const auto latin1 = [](const std::string& b) {
    std::u16string s;
    for (unsigned char c : b) s += c;
    return s;
  };
  for (const auto& r : rows) EXPECT_EQ(ini::ReadValue(r.bytes, u"ALARM", u"Time", latin1), r.time) << r.bytes;
}

TEST(AlarmFile, IsWrittenAsThreeLinesWhateverTheValuesHold) {
  for (const std::u16string br : {u"\r\n", u"\n", u"\r", u"\v", u"\f", u"\u0085", u"\u2028", u"\u2029"}) {
    EXPECT_EQ(ini::AlarmFileText(u"12/24/2026 7:30:00 AM" + br + u"[EVIL]" + br + u"Time=x", u"call" + br + u"Time=y"),
              u"[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=call\r\n") << ui::toUtf8(br);
  }
  // Nor a NUL or another control character; a TAB stays.
  EXPECT_EQ(ini::AlarmFileText({u'a', 0, u'b', 1, u'c', u'\t', u'd', 0x1f, 0x7f}, u""),
            u"[ALARM]\r\nTime=abc\td\x7f\r\nTimeBAK=\r\n");
}

TEST(SingleLineBox, KeepsWhatAnEditBringsUpToItsFirstLineBreak) {
  Harness h;
  auto& box = h.main().txtTime(0);
  const std::u16string pasted = u"12/24/2026 7:30:00\r\nTimeBAK=x\r\n AM";
  // caret: where the platform says the edit ended.
  const struct { std::u16string before, edited; std::optional<std::size_t> caret; std::u16string kept;
                 std::size_t caretAfter; } rows[] = {
      {u"", u"12/24/2026 7:30:00 AM\r\n", {}, u"12/24/2026 7:30:00 AM", 21}, {u"", u"first\nsecond\n", {}, u"first", 5},
      {u"12/24/2026 AM", pasted, pasted.size() - 3, u"12/24/2026 7:30:00 AM", 18},
      {u"ab", u"abb\nb", {}, u"abb", 3}, {u"ab", u"ax\nyb", {}, u"axb", 2},
      {u"ab", u"new\nline", 0, u"new", 3},  // a caret that cannot be right is not trusted
      {u"", u"a\u2028b", {}, u"a", 1},     {u"", u"\vb", {}, u"", 0}, {u"", u"a\u0085b", {}, u"a", 1},
      {u"", u" a\tb ", {}, u" a\tb ", 5},  // typing, and a text without breaks, stays as it is
  };
  for (const auto& r : rows) {
    box.nativeEdited(r.before);
    EXPECT_EQ(box.nativeEdited(r.edited, r.caret), r.caretAfter) << ui::toUtf8(r.edited);
    EXPECT_EQ(box.text(), r.kept) << ui::toUtf8(r.edited);
  }
  // Nor can the program put one in by setting the text.
  box.setText(u"from a file\r\n[ALARM]\r\nTime=x");
  EXPECT_EQ(box.text(), u"from a file");
}

}  // namespace
}  // namespace tollora::testing
