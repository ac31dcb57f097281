// The lenient reading of typed alarm texts, as a table, under the US settings and others.
#include <gtest/gtest.h>

#include <random>

#include "alarm/alarm_reader.h"
#include "alarm/clock_text.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

// 12/07/2026 1:31:00 AM: a time alone before it is tomorrow's, after it today's.
const ui::LocalTime kNow{2026, 12, 7, 1, 31, 0, 0};

struct Row {
  const char* typed;
  const char* clockText;  // nullptr: names no moment
};

void check(const ui::RegionalSettings& rs, std::initializer_list<Row> rows) {
  for (const Row& row : rows) {
    const auto read = ReadAlarmText(u16(row.typed), kNow, rs);
    if (!row.clockText) {
      EXPECT_FALSE(read) << "'" << row.typed << "' read as '" << ui::toUtf8(read.value_or(u"")) << "'";
      continue;
    }
    ASSERT_TRUE(read) << "'" << row.typed << "' refused";
    EXPECT_EQ(ui::toUtf8(*read), row.clockText) << "typed '" << row.typed << "'";
    // Whatever is read is a text the clock shows, and reads as itself again.
    EXPECT_TRUE(ClockMoment(*read, rs)) << row.typed;
    EXPECT_EQ(ReadAlarmText(*read, kNow, rs), read) << row.typed;
  }
}

TEST(AlarmReader, UsSettingsReadTheCommonWays) {
  check(ui::RegionalSettings{}, {
      // The texts that used to show "Alarm Set" and never ring.
      {"12/07/2026 12:03:04 am", "12/07/2026 12:03:04 AM"},
      {"12/7/2026 12:03:24 AM", "12/07/2026 12:03:24 AM"},
      {"12:03:52 AM", "12/08/2026 12:03:52 AM"},
      {"12/07/2026 7:30:00 PM ", "12/07/2026 7:30:00 PM"},
      {"12/07/2026 23:59:00", "12/07/2026 11:59:00 PM"},
      // Designator in any case, with or without a blank; leading zeros; seconds left out.
      {"7:30pm", "12/07/2026 7:30:00 PM"},
      {"07:30 Pm", "12/07/2026 7:30:00 PM"},
      {"1/2/2027 09:05:07 pM", "01/02/2027 9:05:07 PM"},
      {"12/24/2026 12:00 am", "12/24/2026 12:00:00 AM"},
      {"12/24/2026 12:00 PM", "12/24/2026 12:00:00 PM"},
      // Blanks before, after and doubled, and the no-break kinds pasted from documents.
      {"  12/24/26   7:30   Am  ", "12/24/2026 7:30:00 AM"},
      {"\t7:30\u202fPM\u00a0", "12/07/2026 7:30:00 PM"},
      // 24-hour times and two-digit years.
      {"19:30", "12/07/2026 7:30:00 PM"},
      {"07:30:15", "12/07/2026 7:30:15 AM"},
      {"12:00", "12/07/2026 12:00:00 PM"},
      {"0:15", "12/08/2026 12:15:00 AM"},
      {"02/29/28 6:00", "02/29/2028 6:00:00 AM"},
      {"12/31/2026 23:59:59", "12/31/2026 11:59:59 PM"},
      // A time alone: today while still ahead, tomorrow from its own second on; across a
      // month and a year end.
      {"1:31:01 AM", "12/07/2026 1:31:01 AM"},
      {"1:31 AM", "12/08/2026 1:31:00 AM"},
      {"1:30:59", "12/08/2026 1:30:59 AM"},
      // A clock text is never changed, even one that lies behind.
      {"12/07/2026 1:00:00 AM", "12/07/2026 1:00:00 AM"},
      {"01/11/2022 1:11:01 PM", "01/11/2022 1:11:01 PM"},
  });
}

TEST(AlarmReader, UsSettingsRefuseWhatNamesNoMoment) {
  check(ui::RegionalSettings{}, {
      {"02/30/2026 7:30 PM", nullptr}, {"02/29/2027 7:30", nullptr}, {"13/01/2026 7:30", nullptr},
      {"0/07/2026 7:30", nullptr},     {"12/00/2026 7:30", nullptr}, {"12/07/0000 7:30", nullptr},
      {"12/07/026 7:30", nullptr},     {"25:00", nullptr},           {"24:00", nullptr},
      {"13:00 PM", nullptr},           {"0:30 AM", nullptr},         {"7:60", nullptr},
      {"7:30:60", nullptr},            {"7:5", nullptr},             {"7:30:5", nullptr},
      {"7", nullptr},                  {"730 PM", nullptr},          {"7:30:00:00", nullptr},
      {"007:30", nullptr},             {"7:30 p.m.", nullptr},       {"7:30 PM sharp", nullptr},
      {"12/07/2026", nullptr},         {"12/07/20267:30", nullptr},  {"12-07-2026 7:30", nullptr},
      {"tomorrow", nullptr},           {"\U0001F514", nullptr},      {"7:30 \U0001F514", nullptr},
      {"", nullptr},                   {"   ", nullptr},
  });
}

TEST(AlarmReader, OtherSettingsReadWithTheirOwnSeparatorsAndDesignators) {
  // "." between the date's parts and no designators: the clock writes AM and PM, as a 12-hour
  // text without them would name two moments a day; a time without one is a 24-hour time.
  const ui::RegionalSettings dotted{u".", u":", u"", u""};
  check(dotted, {
      {"12.24.2026 7:30", "12.24.2026 7:30:00 AM"},
      {"12.24.2026 7:30:00 ", "12.24.2026 7:30:00 AM"},
      {"12.24.26 19:30", "12.24.2026 7:30:00 PM"},
      {"7:30pm", "12.07.2026 7:30:00 PM"},
      {"0:15", "12.08.2026 12:15:00 AM"},
      {"12.07.2026 1:00:00 AM", "12.07.2026 1:00:00 AM"},
      {"12/24/2026 7:30", nullptr},
      {"12.32.2026 7:30", nullptr},
      {"7.30", nullptr},
  });
  // Designators of their own, and "." between the time's parts as well: "7.30.15" could begin
  // a date and is still read as a time.
  const ui::RegionalSettings german{u".", u".", u"vorm.", u"nachm."};
  check(german, {
      {"7.30 nachm.", "12.07.2026 7.30.00 nachm."},
      {"7.30NACHM.", "12.07.2026 7.30.00 nachm."},
      {"12.24.26 19.30", "12.24.2026 7.30.00 nachm."},
      {"7.30.15", "12.07.2026 7.30.15 vorm."},
      {"7.30.15 Vorm.", "12.07.2026 7.30.15 vorm."},
      {"12.7.2026 0.15", "12.07.2026 12.15.00 vorm."},
      {"7.30 pm", "12.07.2026 7.30.00 nachm."},
      {"7:30", nullptr},
      {"7.30 nachm", nullptr},
  });
  // Designators in another script: AM and PM are read as well as the settings' own.
  const ui::RegionalSettings japanese{u"/", u":", u"午前", u"午後"};
  check(japanese, {
      {"12:06:47 PM", "12/07/2026 12:06:47 午後"},
      {"7:30 am", "12/07/2026 7:30:00 午前"},
      {"7:30午後", "12/07/2026 7:30:00 午後"},
      {"19:30", "12/07/2026 7:30:00 午後"},
      {"7:30 p", nullptr},
  });
}

TEST(AlarmReader, WhateverItReadsIsAClockTextAndATimeAloneLiesWithinADay) {
  // Typed times pieced together at random, near misses among them.
  std::mt19937 rng(11);
  const auto pick = [&](std::initializer_list<const char16_t*> options) {
    return std::u16string(options.begin()[rng() % options.size()]);
  };
  const auto nowMoment = ClockMoment(FormatClockText(kNow, kNow, {}), {});
  int read = 0, alone = 0;
  for (int i = 0; i < 100000; ++i) {
    std::u16string typed = pick({u"", u"", u" ", u"\u00a0"});
    const bool withDate = rng() % 2;
    if (withDate) {
      const std::u16string sep = pick({u"/", u"/", u"/", u"."});
      typed += pick({u"1", u"01", u"12", u"13", u"0", u"2"}) + sep + pick({u"1", u"07", u"29", u"30", u"31", u"32"}) + sep +
               pick({u"26", u"2026", u"2028", u"026", u"27"}) + pick({u" ", u"  ", u"", u"x"});
    }
    typed += pick({u"0", u"1", u"01", u"7", u"12", u"13", u"23", u"24", u"x"}) + pick({u":", u":", u"."}) +
             pick({u"00", u"30", u"31", u"5", u"60"});
    if (rng() % 2) typed += pick({u":", u":", u"."}) + pick({u"00", u"59", u"60", u"5"});
    typed += pick({u"", u" ", u"  ", u"\u202f"}) + pick({u"", u"", u"AM", u"am", u"pm", u"PM", u"p", u"\U0001F514"});
    typed += pick({u"", u"", u" ", u"\t", u"\r\nx"});

    const auto text = ReadAlarmText(typed, kNow, {});
    if (!text) continue;
    ++read;
    const auto moment = ClockMoment(*text, {});
    ASSERT_TRUE(moment) << ui::toUtf8(typed);
    ASSERT_EQ(ReadAlarmText(*text, kNow, {}), text) << ui::toUtf8(typed);
    if (!withDate) {
      ++alone;
      EXPECT_GT(*moment, *nowMoment) << ui::toUtf8(typed);
      EXPECT_LE(*moment, *nowMoment + 24 * 3600) << ui::toUtf8(typed);
    }
  }
  EXPECT_GT(read, 3000) << "many pieces make readable texts";
  EXPECT_GT(alone, 1000);
}

TEST(AlarmReader, TheClockUsesDesignatorsAndSeparatorsThatTellMomentsApart) {
  const ui::LocalTime evening{2026, 12, 7, 19, 30, 0, 0};
  const ui::LocalTime morning{2026, 12, 7, 7, 30, 0, 0};
  for (const ui::RegionalSettings& rs :
       {ui::RegionalSettings{u".", u":", u"", u""}, ui::RegionalSettings{u"/", u":", u"x", u"x"},
        ui::RegionalSettings{u"/", u":", u"", u"PM"}}) {
    EXPECT_NE(FormatClockText(evening, evening, rs), FormatClockText(morning, morning, rs));
    EXPECT_TRUE(ClockMoment(FormatClockText(evening, evening, rs), rs));
  }
  EXPECT_EQ(FormatClockText(evening, evening, ui::RegionalSettings{u"", u"", u"", u""}), u"12/07/2026 7:30:00 PM");
}

TEST(AlarmReader, TheHintShowsALayoutItReads) {
  for (const ui::RegionalSettings& rs :
       {ui::RegionalSettings{}, ui::RegionalSettings{u".", u".", u"vorm.", u"nachm."}}) {
    const std::u16string hint = AlarmLayoutHint(rs);
    const std::u16string like = u"Type the alarm like ";
    ASSERT_EQ(hint.rfind(like, 0), 0u);
    const auto comma = hint.find(u", or a time alone: ");
    ASSERT_NE(comma, std::u16string::npos);
    const std::u16string example = hint.substr(like.size(), comma - like.size());
    EXPECT_TRUE(ClockMoment(example, rs)) << ui::toUtf8(example);
    std::u16string times = hint.substr(comma + 19);
    const auto sep = times.find(u", ");
    ASSERT_NE(sep, std::u16string::npos);
    EXPECT_TRUE(ReadAlarmText(times.substr(0, sep), kNow, rs)) << ui::toUtf8(hint);
    EXPECT_TRUE(ReadAlarmText(times.substr(sep + 2), kNow, rs)) << ui::toUtf8(hint);
  }
  EXPECT_EQ(AlarmLayoutHint({}), u"Type the alarm like 01/11/2022 1:11:01 PM, or a time alone: 7:30 PM, 19:30");
}

}  // namespace
}  // namespace tollora::testing
