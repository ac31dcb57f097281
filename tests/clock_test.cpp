// The clock label and the alarm trigger, on the virtual clock.
#include <gtest/gtest.h>

#include <set>

#include "alarm/clock_text.h"
#include "app/colors.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

ui::LocalTime at(int y, int mo, int d, int h, int mi, int s) { return {y, mo, d, h, mi, s, 0}; }

TEST(ClockText, FollowsTheLayoutAndTheTwelveHourClock) {
  const ui::RegionalSettings us;
  EXPECT_EQ(FormatClockText(at(2022, 1, 11, 13, 11, 1), at(2022, 1, 11, 13, 11, 1), us), u"01/11/2022 1:11:01 PM");
  EXPECT_EQ(FormatClockText(at(2022, 1, 11, 0, 5, 9), at(2022, 1, 11, 0, 5, 9), us), u"01/11/2022 12:05:09 AM");
  EXPECT_EQ(FormatClockText(at(2022, 1, 11, 12, 0, 0), at(2022, 1, 11, 12, 0, 0), us), u"01/11/2022 12:00:00 PM");
  EXPECT_EQ(FormatClockText(at(2022, 12, 31, 9, 59, 59), at(2022, 12, 31, 9, 59, 59), us).size(), 21u);
  EXPECT_EQ(FormatClockText(at(2022, 12, 31, 22, 0, 0), at(2022, 12, 31, 22, 0, 0), us).size(), 22u);

  const ui::RegionalSettings de{u".", u"-", u"vorm.", u"nachm."};
  const auto text = FormatClockText(at(2022, 3, 4, 15, 6, 7), at(2022, 3, 4, 15, 6, 7), de);
  EXPECT_EQ(text, u"03.04.2022 3-06-07 nachm.");
  EXPECT_TRUE(ClockMoment(text, de));
}

TEST(ClockText, OnlyTextsTheClockCouldShowNameAMoment) {
  const ui::RegionalSettings us;
  EXPECT_TRUE(ClockMoment(u"01/11/2022 1:11:01 PM", us));
  EXPECT_TRUE(ClockMoment(u"02/29/2024 12:00:00 AM", us));
  for (const char16_t* bad : {u"01/11/2022 1:11:01 pm", u"01/11/2022 01:11:01 PM", u"01/11/2022  1:11:01 PM",
                              u"1/11/2022 1:11:01 PM", u"02/29/2023 1:00:00 PM", u"13/01/2022 1:00:00 PM",
                              u"01/11/2022 13:11:01 PM", u"01/11/2022 1:60:01 PM", u"01/11/2022 1:11:01 PM ",
                              u"01/11/2022 0:11:01 AM", u"tomorrow", u""}) {
    EXPECT_FALSE(ClockMoment(bad, us)) << ui::toUtf8(bad);
  }
  // Designators the settings cannot tell apart make no moment.
  EXPECT_FALSE(ClockMoment(u"01/11/2022 1:11:01 ", ui::RegionalSettings{u"/", u":", u"", u""}));
}

TEST(ClockText, AlarmOrderUsesMomentsWhenBothAreClockTexts) {
  const ui::RegionalSettings us;
  // By character code a 10 o'clock alarm sorts before 9 o'clock; by moment it lies after.
  EXPECT_LT(CompareOrdinal(u"01/11/2022 10:00:00 AM", u"01/11/2022 9:00:00 AM"), 0);
  EXPECT_GT(CompareAlarmToLabel(u"01/11/2022 10:00:00 AM", u"01/11/2022 9:00:00 AM", us), 0);
  EXPECT_LT(CompareAlarmToLabel(u"12/31/2021 11:00:00 PM", u"01/11/2022 9:00:00 AM", us), 0);
  EXPECT_EQ(CompareAlarmToLabel(u"01/11/2022 9:00:00 AM", u"01/11/2022 9:00:00 AM", us), 0);
  // Anything else keeps the order of texts: a digit sorts before "Time's Up!", empty first.
  EXPECT_LT(CompareAlarmToLabel(u"01/11/2022 9:00:00 AM", u"Time's Up!", us), 0);
  EXPECT_LT(CompareAlarmToLabel(u"", u"01/11/2022 9:00:00 AM", us), 0);
  EXPECT_GT(CompareAlarmToLabel(u"next week", u"01/11/2022 9:00:00 AM", us), 0);
}

TEST(Clock, ShowsEverySecondJustAfterItBegins) {
  Harness h;
  h.backend.setWall({2022, 1, 11, 23, 59, 0, 730});  // start mid-second, near midnight
  h.start();
  EXPECT_EQ(h.label(), u"");
  std::set<std::u16string> shown;
  std::int64_t lastMs = -1;
  for (int i = 0; i < 130 * 1000; ++i) {
    h.advance(1);
    if (h.label() != (shown.empty() ? u"" : *shown.rbegin()) && !shown.count(h.label())) {
      shown.insert(h.label());
      EXPECT_EQ(h.backend.wallMs() % 1000, 0) << "a second shown late";
      lastMs = h.backend.wallMs();
    }
  }
  EXPECT_EQ(shown.size(), 130u);  // no second skipped
  EXPECT_TRUE(shown.count(u"01/12/2022 12:00:00 AM"));
  EXPECT_TRUE(shown.count(u"01/11/2022 11:59:59 PM"));
  EXPECT_GT(lastMs, 0);
}

TEST(Trigger, FiresWhenTheLabelShowsTheAlarmTextWhetherSetOrNot) {
  for (bool pressSet : {false, true}) {
    Harness h;
    h.start();
    h.advance(1500);
    h.type(h.clockTextIn(3));
    if (pressSet) h.click(h.main().cmdSetAlarm);
    EXPECT_TRUE(h.backend.announcements.empty());
    const auto alarm = h.main().txtTime(0).text();
    ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired() || h.label() == alarm; }, 5000));
    EXPECT_TRUE(h.fired()) << "fires at the tick that shows the text";

    auto& m = h.main();
    EXPECT_EQ(m.lblTime.foreColor(), ColorAlarmRed);
    EXPECT_TRUE(m.cmdReset.visible());
    EXPECT_FALSE(m.cmdSetAlarm.visible());
    EXPECT_EQ(m.cmdSetAlarm.caption(), u"Set Alarm");
    EXPECT_EQ(m.cmdSetAlarm.backColor(), ColorPending);
    EXPECT_FALSE(m.TimerTime.enabled());
    h.advance(5000);
    EXPECT_EQ(h.label(), u"Time's Up!") << "the label no longer follows the clock";
    // Spoken once, not again with every beep or check while it rings.
    EXPECT_EQ(h.backend.announcements, std::vector<std::u16string>{u"Time's Up!"});
  }
}

TEST(Trigger, ATextTypedAsTheLabelShowsItRingsAtOnce) {
  Harness h;
  h.start();
  h.advance(1100);
  h.type(h.label());  // the second the label shows right now
  EXPECT_TRUE(h.fired()) << "compared as the text changes, not on the next check";
}

TEST(Trigger, NearMissesAndEmptyTextsNeverFire) {
  Harness h;
  h.start();  // no alarm file: the alarm text is empty
  h.advance(3000);
  EXPECT_FALSE(h.fired()) << "an empty alarm text is no alarm";
  EXPECT_EQ(h.main().txtTime(0).text(), u"");

  auto text = h.clockTextIn(2);
  auto lower = text;
  lower.replace(lower.size() - 2, 2, u"pm");
  h.type(lower);
  h.advance(4000);
  EXPECT_FALSE(h.fired());

  text = h.clockTextIn(2);  // 1:00:xx PM: the hour with a leading zero
  h.type(text.substr(0, 11) + u"0" + text.substr(11));
  h.advance(4000);
  EXPECT_FALSE(h.fired());
}

TEST(Trigger, BeepsEverySevenHundredMillisecondsUntilStopReset) {
  Harness h;
  h.start();
  h.advance(1000);
  h.type(h.clockTextIn(2));
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 3000));
  const auto firedAt = h.backend.monotonicMs();
  EXPECT_EQ(h.beepsSince(firedAt), 0) << "firing itself is silent";
  h.advance(699);
  EXPECT_EQ(h.beepsSince(firedAt), 0);
  h.advance(1);
  EXPECT_EQ(h.beepsSince(firedAt), 1);
  h.advance(700 * 9);
  EXPECT_EQ(h.beepsSince(firedAt), 10);
  EXPECT_EQ(h.backend.sounds.back().path, h.backend.folder + u"/beep.wav");

  h.advance(100);
  h.click(h.main().cmdReset);
  const auto resetAt = h.backend.monotonicMs();
  h.advance(5000);
  EXPECT_EQ(h.beepsSince(resetAt), 1) << "only the beep that ends the busy animation";
}

TEST(Trigger, FiresWhenTheLabelStepsOverTheAlarm) {
  // A late tick: the wall clock gets ahead of the timer without anyone being told.
  {
    Harness h;
    h.start();
    h.advance(1000);
    h.type(h.clockTextIn(2));
    h.backend.jump(2500, /*notify=*/false);
    h.advance(1000);
    EXPECT_TRUE(h.fired());
  }
  // Sleep and resume: the alarm moment passed while the machine slept.
  {
    Harness h;
    h.start();
    h.advance(1000);
    h.type(h.clockTextIn(60));
    h.backend.sleep(3600 * 1000);
    EXPECT_TRUE(h.fired()) << "rechecked at once on resume";
  }
}

TEST(Trigger, AClockSetBackOrAnOddTextFiresNothingThatLiesBehind) {
  Harness h;
  h.start();
  h.advance(1000);
  h.type(h.clockTextIn(-30));
  h.backend.jump(-10 * 1000);
  h.advance(15 * 1000);
  EXPECT_FALSE(h.fired());

  // A text that is no clock text fires only on an exact match, never on a jump.
  h.type(u"01/11/2022 1:05:00 PM sharp");
  h.backend.jump(3600 * 1000);
  h.advance(2000);
  EXPECT_FALSE(h.fired());
}

TEST(Clock, AtMidnightTheLabelNeverShowsTheNewTimeWithTheOldDate) {
  Harness h;
  h.backend.setWall({2026, 12, 7, 23, 59, 58, 0});
  h.start();
  h.type(u"12/07/2026 3:00:00 PM");  // hours behind, never rang
  h.advance(1999);
  // A tick that reads the clock a millisecond before midnight, the clock moving on as it reads.
  h.backend.msPerReading = 1;
  h.main().TimerTime_Timer();
  h.backend.msPerReading = 0;
  EXPECT_TRUE(h.label() == u"12/07/2026 11:59:59 PM" || h.label() == u"12/08/2026 12:00:00 AM") << ui::toUtf8(h.label());
  // A label a day behind would make the next tick's catch-up ring the afternoon's alarm.
  h.advance(3000);
  EXPECT_FALSE(h.fired());
  EXPECT_EQ(h.label(), u"12/08/2026 12:00:03 AM");
}

// The alarm rings, and "Stop/Reset" silences it once the busy animation has ended.
void ringAndStop(Harness& h) {
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 15000));
  h.advance(1500);
  h.click(h.main().cmdReset);
  h.advance(1500);
  ASSERT_FALSE(h.fired());
  ASSERT_TRUE(h.main().cmdSetAlarm.visible());
}

TEST(Trigger, AnAlarmRingsOnceWhenTheClockPassesItAgain) {
  Harness h;
  h.backend.setWall({2026, 11, 1, 1, 29, 50, 0});
  h.start();
  h.advance(3000);
  h.type(u"11/01/2026 1:30:00 AM");
  h.click(h.main().cmdSetAlarm);
  ringAndStop(h);
  const auto stoppedAt = h.backend.monotonicMs();
  h.backend.jump(-20 * 1000);  // set back by hand
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired() || h.label() == u"11/01/2026 1:30:05 AM"; }, 25000, 100));
  EXPECT_FALSE(h.fired()) << "rang again for the same moment";
  EXPECT_EQ(h.beepsSince(stoppedAt), 0);

  // "Set Alarm" again: the same moment rings when the clock next passes it.
  h.backend.jump(-10 * 1000);
  h.click(h.main().cmdSetAlarm);
  EXPECT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 10 * 1000, 100));
}

TEST(Trigger, AcrossDaylightSavingTimeAHiddenWindowRingsWhenAShownOneDoes) {
  // US Eastern time in 2026: clocks go forward at 2:00 AM on March 8 and back at 2:00 AM on
  // November 1.
  const auto utc = [](int month, int day, int hour, int minute) { return ui::localMs({2026, month, day, hour, minute, 0, 0}); };
  constexpr std::int64_t kHour = 3600 * 1000;
  struct Case {
    const char* what;
    ui::LocalTime start;
    const char16_t* alarm;
    std::int64_t ringsAtUtc;
  };
  const Case cases[] = {
      {"repeated hour: its first pass", {2026, 11, 1, 1, 29, 50, 0}, u"11/01/2026 1:30:00 AM", utc(11, 1, 5, 30)},
      {"skipped hour: the jump past it", {2026, 3, 8, 1, 59, 50, 0}, u"03/08/2026 2:30:00 AM", utc(3, 8, 7, 0)},
  };
  for (const Case& c : cases) {
    for (bool hidden : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (hidden ? ", hidden" : ", shown"));
      Harness h;
      h.backend.zone = {{0, -5 * kHour}, {utc(3, 8, 7, 0), -4 * kHour}, {utc(11, 1, 6, 0), -5 * kHour}};
      h.backend.setWall(c.start);
      h.start();
      h.advance(3000);
      if (hidden) h.click(h.main().cmdMin);
      h.type(c.alarm);
      if (!h.backend.advanceUntil([&] { return h.fired(); }, 15 * 1000)) {
        ADD_FAILURE() << "did not ring";
        continue;
      }
      EXPECT_EQ(h.backend.utcMs(), c.ringsAtUtc);
      h.click(h.main().cmdReset);
      EXPECT_FALSE(h.backend.advanceUntil([&] { return h.fired(); }, 2 * kHour, 1000)) << "rings once";
    }
  }
}

TEST(Trigger, AnotherTextRingsAfterOneHasRung) {
  Harness h;
  h.start();
  h.advance(3000);
  const auto first = h.clockTextIn(2);
  h.type(first);
  ringAndStop(h);
  // Another moment, typed without "Set Alarm", rings as ever, and so does the first one
  // typed again after it: the text changed in between.
  h.type(h.clockTextIn(3));
  ringAndStop(h);
  h.backend.jump(-10 * 1000);
  h.type(first);
  EXPECT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 10 * 1000, 100));
}

TEST(Trigger, AClockSetBackAcrossAnAlarmThatHasNotRungRingsItWhenItComesAgain) {
  Harness h;
  h.start();
  h.advance(3000);
  const auto alarm = h.clockTextIn(-30);  // behind: it never rang
  h.type(alarm);
  h.click(h.main().cmdSetAlarm);
  h.advance(2000);
  EXPECT_FALSE(h.fired());
  h.backend.jump(-60 * 1000);
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired() || h.label() > alarm; }, 40 * 1000));
  EXPECT_TRUE(h.fired());
}

TEST(Trigger, FiringWhileHiddenInTheTrayKeepsTheWindowHidden) {
  Harness h;
  h.start();
  h.advance(1000);
  h.click(h.main().cmdMin);
  ASSERT_FALSE(h.main().visible());
  h.type(h.clockTextIn(2));
  h.advance(3000);
  EXPECT_TRUE(h.fired());
  EXPECT_FALSE(h.main().visible());
}

}  // namespace
}  // namespace tollora::testing
