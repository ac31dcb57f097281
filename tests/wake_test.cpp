// How often Tollora wakes, counted on the virtual clock: once a second while the seconds are on
// screen, never while hidden with no alarm, once at the alarm's second while hidden with one.
#include <gtest/gtest.h>

#include "alarm/clock_text.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

constexpr ui::TrayClick kLeftUp = ui::TrayClick::LeftUp;

// Started, past the first state check, and hidden in the tray.
void startHidden(Harness& h) {
  h.start();
  h.advance(3000);
  h.click(h.main().cmdMin);
  ASSERT_FALSE(h.main().visible());
}

std::int64_t dueMs(Harness& h) { return *ClockMoment(h.main().txtTime(0).text(), h.backend.settings) * 1000; }

TEST(Wake, HiddenWithoutAnAlarmAheadNothingWakesTheProgram) {
  for (const char* alarm : {"", "tomorrow at seven", "past"}) {
    Harness h;
    startHidden(h);
    h.type(std::string(alarm) == "past" ? h.clockTextIn(-60) : u16(alarm));
    const auto wakes = h.backend.wakeUps;
    h.advance(6LL * 3600 * 1000);
    EXPECT_EQ(h.backend.wakeUps - wakes, 0) << "alarm text \"" << alarm << "\"";
    EXPECT_TRUE(h.main().TimerTime.enabled()) << "the clock is still live, only held";
    EXPECT_FALSE(h.fired());
  }
}

TEST(Wake, ShownTheClockWakesOnceASecond) {
  Harness h;
  h.start();
  h.advance(3000);
  h.type(h.clockTextIn(3600));  // an alarm far ahead adds nothing within the minute
  const auto wakes = h.backend.wakeUps;
  const auto ticks = h.backend.ticks["TimerTime"];
  h.advance(60 * 1000);
  EXPECT_EQ(h.backend.wakeUps - wakes, 60);
  EXPECT_EQ(h.backend.ticks["TimerTime"] - ticks, 60);
}

TEST(Wake, HiddenAnAlarmWakesOnceAndRingsAtItsSecond) {
  {
    Harness h;
    startHidden(h);
    h.backend.advance(400);  // mid-second: the alarm's second begins on a boundary, not 30 s from here
    h.type(h.clockTextIn(30));
    const auto wakes = h.backend.wakeUps;
    ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 31 * 1000));
    EXPECT_EQ(h.backend.wallMs(), dueMs(h)) << "rang at the start of its second";
    EXPECT_EQ(h.backend.wakeUps - wakes, 1);
    EXPECT_FALSE(h.main().visible()) << "firing does not show the window";
    EXPECT_EQ(h.label(), u"Time's Up!");
  }

  // An alarm two hours ahead wakes only to aim again, every ten minutes.
  Harness far;
  startHidden(far);
  far.type(far.clockTextIn(2 * 3600));
  const auto farWakes = far.backend.wakeUps;
  ASSERT_TRUE(far.backend.advanceUntil([&] { return far.fired(); }, 2 * 3600 * 1000 + 1000, 100));
  EXPECT_EQ(far.backend.wallMs(), dueMs(far));
  EXPECT_EQ(far.backend.wakeUps - farWakes, 2 * 3600 * 1000 / ui::Timer::kReaimMs);
}

TEST(Wake, AClockChangeWhileHiddenReAims) {
  struct Case {
    std::int64_t jumpMs;
    bool announced;
  };
  // Set forward, set back, set past the alarm, and forward without the platform telling.
  for (Case c : {Case{30 * 1000, true}, Case{-30 * 1000, true}, Case{120 * 1000, true}, Case{50 * 1000, false}}) {
    SCOPED_TRACE(c.jumpMs);
    Harness h;
    startHidden(h);
    h.type(h.clockTextIn(60));
    const auto due = dueMs(h);
    h.advance(5000);
    h.backend.jump(c.jumpMs, c.announced);
    if (c.announced && c.jumpMs > 55 * 1000) {
      EXPECT_TRUE(h.fired()) << "a moment the clock was set past rings at once";
      continue;
    }
    EXPECT_FALSE(h.fired());
    ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 20 * 60 * 1000));
    if (c.announced) {
      EXPECT_EQ(h.backend.wallMs(), due) << "rang at the start of its second";
    } else {
      // Aimed by the monotonic clock, the moment comes 50 s early by the wall: it is found
      // spent at the first wake and rings then, as a late tick would have.
      EXPECT_EQ(h.backend.monotonicMs(), 3000 + 60 * 1000);
      EXPECT_GT(h.backend.wallMs(), due);
    }
  }
}

TEST(Wake, AnAlarmBehindTheClockComesAheadWhenTheClockIsSetBack) {
  Harness h;
  startHidden(h);
  h.type(h.clockTextIn(-20));
  h.advance(60 * 1000);
  h.backend.jump(-120 * 1000);  // now 40 s before the alarm's second
  const auto wakes = h.backend.wakeUps;
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 41 * 1000));
  EXPECT_EQ(h.backend.wallMs(), dueMs(h));
  EXPECT_EQ(h.backend.wakeUps - wakes, 1);
}

TEST(Wake, ShowingTheWindowBringsTheLabelUpToDateAtOnce) {
  Harness h;
  startHidden(h);
  const auto stale = h.label();
  h.advance(5500);
  EXPECT_EQ(h.label(), stale) << "no clock tick while hidden";
  h.main().Form_TrayMessage(kLeftUp);
  ASSERT_TRUE(h.main().visible());
  EXPECT_EQ(h.label(), h.clockTextIn(0)) << "up to date before anyone can look";
  const auto wakes = h.backend.wakeUps;
  h.advance(10 * 1000);
  EXPECT_EQ(h.backend.wakeUps - wakes, 10) << "then once a second again";

  // Hidden and shown again within one second: nothing was missed, nothing extra ticks.
  h.advance(100);
  const auto ticks = h.backend.ticks["TimerTime"];
  h.click(h.main().cmdMin);
  h.advance(300);
  h.main().Form_TrayMessage(kLeftUp);
  EXPECT_EQ(h.backend.ticks["TimerTime"], ticks);
  EXPECT_EQ(h.label(), h.clockTextIn(0));
  h.advance(100);
  EXPECT_EQ(h.backend.ticks["TimerTime"], ticks + 1) << "and the next second comes on time";
}

TEST(Wake, TheLabelCaughtUpOnShowingStillComparesTheAlarm) {
  // The machine slept through the alarm without telling (no resume hook): the label shown
  // again steps over the alarm's moment, which fires it, as a late tick does.
  Harness h;
  startHidden(h);
  h.type(h.clockTextIn(30));
  h.backend.jump(3600 * 1000, /*notify=*/false);
  EXPECT_FALSE(h.fired());
  h.main().Form_TrayMessage(kLeftUp);
  EXPECT_TRUE(h.fired());
}

TEST(Wake, SettingsWithDesignatorsAlikeStillAimTheAlarm) {
  // With the same designator for morning and afternoon the clock writes AM and PM instead, so
  // its texts still name one moment each and a hidden alarm wakes only at its second.
  Harness h;
  h.backend.settings = ui::RegionalSettings{u"/", u":", u"h", u"h"};
  startHidden(h);
  h.type(h.clockTextIn(5));
  ASSERT_TRUE(ClockMoment(h.main().txtTime(0).text(), h.backend.settings));
  const auto wakes = h.backend.wakeUps;
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 6000));
  EXPECT_EQ(h.backend.wallMs(), dueMs(h));
  EXPECT_EQ(h.backend.wakeUps - wakes, 1);
}

TEST(Wake, TheFirstStateCheckOfAHiddenWindowSeesTheCurrentClock) {
  // Hidden before the clock's first tick (as a start in the tray is): the check at 2.5 s still
  // compares with the current clock text, not with the empty label.
  Harness h;
  h.writeIni("[ALARM]\r\nTime=" + ui::toUtf8(h.clockTextIn(-3600)) + "\r\n");
  h.start();
  h.click(h.main().cmdMin);
  h.advance(2500);
  EXPECT_EQ(h.main().cmdSetAlarm.caption(), u"Set Alarm");
  EXPECT_EQ(h.label(), h.clockTextIn(0));
}

TEST(TimerLayer, AnAimedTimerTicksOnceThenIsSpentAndAStoppedOneNeverTicks) {
  Harness h;
  h.start();
  auto& t = h.main().TimerAlarm;
  t.aimAt(h.backend.wallMs() + 1500);
  h.advance(1499);
  EXPECT_EQ(h.backend.ticks["TimerAlarm"], 0);
  h.advance(1);
  EXPECT_EQ(h.backend.ticks["TimerAlarm"], 1);
  EXPECT_FALSE(t.aim());
  h.advance(3600 * 1000);
  EXPECT_EQ(h.backend.ticks["TimerAlarm"], 1);

  t.aimAt(h.backend.wallMs() + 1000);
  t.setEnabled(false);
  h.advance(3600 * 1000);
  EXPECT_EQ(h.backend.ticks["TimerAlarm"], 1) << "disabled, an aimed timer does not tick";
  t.setEnabled(true);
  h.advance(1);
  EXPECT_EQ(h.backend.ticks["TimerAlarm"], 2) << "enabled again past its moment, it ticks at once";
}

TEST(TimerLayer, CountdownsThatRunOutEarlyNeitherShowTheOldSecondNorRingBeforeTheAlarm) {
  // Platform timers count on a clock of their own and may run out a little before the wall
  // clock's moment: the clock waits out the rest, and the platform's slack saves that wake.
  for (int slack : {0, 5}) {
    SCOPED_TRACE(slack);
    Harness h;
    h.backend.countdownsEarlyMs = 5;
    h.backend.slackMs = slack;
    h.start();
    h.advance(3000);
    h.type(h.clockTextIn(3600));
    const auto wakes = h.backend.wakeUps;
    const auto ticks = h.backend.ticks["TimerTime"];
    for (int ms = 0; ms < 3000; ++ms) {
      h.advance(1);
      if (h.backend.wallMs() % 1000 == 0) {
        ASSERT_EQ(h.label(), h.clockTextIn(0)) << "at " << ms << " ms";
      }
    }
    EXPECT_EQ(h.backend.ticks["TimerTime"] - ticks, 3) << "one tick a second, none early";
    EXPECT_EQ(h.backend.wakeUps - wakes, slack ? 3 : 6);

    h.click(h.main().cmdMin);
    h.type(h.clockTextIn(20));
    const auto due = dueMs(h);
    ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 21 * 1000));
    EXPECT_EQ(h.backend.wallMs(), due);
  }
}

TEST(TimerLayer, AClockSetNobodyAnnouncedIsFoundByTheNextTickAndReAimsTheAlarm) {
  // Shown, the alarm half an hour ahead; the clock is set 25 minutes forward and the platform
  // says nothing. The next clock tick finds the jump, so the alarm's countdown is aimed anew
  // and a window hidden right after still rings on time, not when the old countdown ends.
  Harness h;
  h.start();
  h.advance(3000);
  h.type(h.clockTextIn(30 * 60));
  const auto due = dueMs(h);
  h.backend.jump(25 * 60 * 1000, /*notify=*/false);
  h.advance(1000);
  h.click(h.main().cmdMin);
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 11 * 60 * 1000, 100));
  EXPECT_EQ(h.backend.wallMs(), due);
}

}  // namespace
}  // namespace tollora::testing
