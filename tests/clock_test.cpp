// The alarm's rules, and the program on the virtual clock: start, Set Alarm, ringing, clock changes, wake-ups.
#include <gtest/gtest.h>

#include "alarm/alarm_state.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

constexpr auto kArmed = Harness::Armed, kPending = Harness::Pending;
const ui::RegionalSettings kUs, kDotted{u".", u":", u"", u""}, kJapanese{u"/", u":", u"午前", u"午後"};

TEST(Startup, TheLoadedAlarmComparesAsAMomentAndOutlivesAChangeOfRegionalSettingsUnchanged) {
  // Shown in today's layout (nullptr: as saved); `state` at 2.5 s by the moment; told: the icon says it never rings.
  const struct { ui::RegionalSettings now; const char* saved; bool tray; const char16_t* shown; bool rings, told;
                 Harness::State state; } cases[] = {
      {kDotted, "12/07/2026 12:00:10 AM", true, u"12.07.2026 12:00:10 AM", true, false, kArmed},
      {kUs, "12.07.2026 12.00.10 vorm.", true, u"12/07/2026 12:00:10 AM", true, false, kArmed},
      {kJapanese, "12-07-2026 12:00:10 am", true, u"12/07/2026 12:00:10 午前", true, false, kArmed},
      {kDotted, "12.07.2026 12:00:10 AM", true, nullptr, true, false, kArmed},
      {kDotted, "12/07/2026 00:00:10 AM", true, nullptr, false, true, kPending},
      {kDotted, "12/07/2026 00:00:10 AM", false, nullptr, false, false, kPending},  // shown: the orange button tells
      {kDotted, "", true, nullptr, false, false, kPending},
      {kUs, "12/07/2026 10:00:00 AM", false, nullptr, false, false, kArmed},
      {kUs, "12/06/2026 11:00:00 PM", true, nullptr, false, false, kPending},
      {kUs, "\"12/07/2026 12:00:04 AM \"", false, u"12/07/2026 12:00:04 AM ", false, false, kPending},  // a blank at the end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.saved) + (c.tray ? " --tray" : ""));
    Harness h;
    h.backend.settings = c.now;
    h.backend.setWall({2026, 12, 7, 0, 0, 0, 0});
    const std::string file = std::string("[ALARM]\r\nTime=") + c.saved + "\r\nTimeBAK=\r\n";
    h.writeIni(file);
    ASSERT_TRUE(h.startProgram({.tray = c.tray}));
    EXPECT_EQ(h.main().txtTime(0).text(), c.shown ? c.shown : u16(c.saved));
    ASSERT_EQ(h.backend.trayNotes.size(), c.told ? 1u : 0u);
    if (c.told) { EXPECT_NE(h.backend.trayNotes[0].second.find(u16(c.saved)), std::u16string::npos); }
    h.advance(2499);
    EXPECT_EQ(h.state(), Harness::Neither);
    h.advance(1);
    EXPECT_EQ(h.state(), c.state);
    EXPECT_EQ(h.until([&] { return h.fired(); }, 11 * 1000), c.rings);
    if (c.rings) { EXPECT_EQ(h.backend.wallMs(), ui::localMs({2026, 12, 7, 0, 0, 10, 0})) << "at its second"; }
    EXPECT_EQ(h.readIni(), file) << "the file changes only with Set Alarm";
  }
}

TEST(SetAlarm, RewritesTheTextIntoTheClocksLayoutSavesItRingsOnItsSecondAndTheTooltipSaysWhen) {
  // Set at 12:03:03 AM on Monday, 7 December 2026; clockText nullptr: names no moment.
  const char* soon = "Monday, 7 December 2026 at 00:03, in less than a minute";
  const struct { ui::RegionalSettings rs; const char* typed; const char* clockText; const char* tip; } rows[] = {
      {kUs, "12/7/26 12:03:24 am", "12/07/2026 12:03:24 AM", soon}, {kUs, " 12:03:52 AM", "12/07/2026 12:03:52 AM", soon},
      {kUs, "0:50", "12/07/2026 12:50:00 AM", "Monday, 7 December 2026 at 00:50, in 46 minutes"},
      {kUs, "12/8/26 1:30 am", "12/08/2026 1:30:00 AM", "Tuesday, 8 December 2026 at 01:30, in 25 hours, 26 minutes"},
      {kUs, "1/2/27 8:00 am", "01/02/2027 8:00:00 AM", "Saturday, 2 January 2027 at 08:00, in 26 days"},
      {kUs, "02/30/2026 7:30 PM", nullptr, nullptr}, {kUs, "call \xF0\x9F\x94\x94", nullptr, nullptr}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.typed);
    Harness h;
    h.backend.settings = r.rs;
    h.backend.setWall({2026, 12, 7, 0, 3, 0, 0});
    h.start(2500);
    const std::u16string hint = h.main().cmdSetAlarm.toolTip;
    h.setAlarm(u16(r.typed));
    const std::string shown = r.clockText ? r.clockText : r.typed;
    EXPECT_EQ(ui::toUtf8(h.main().txtTime(0).text()), shown);
    EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=" + shown + "\r\nTimeBAK=\r\n");
    h.advance(1100);
    EXPECT_EQ(h.state(), r.clockText ? kArmed : kPending);
    EXPECT_EQ(h.main().cmdSetAlarm.toolTip, r.tip ? u"Rings on " + u16(r.tip) : hint);
    EXPECT_EQ(h.until([&] { return h.fired(); }, 60 * 1000), r.tip == soon);
    if (r.tip == soon) { EXPECT_EQ(ui::toUtf8(h.clockTextIn(0)), r.clockText) << "rings in its own second"; }
  }
}

TEST(SetAlarm, AlarmSetShowsOnlyForTheAlarmAsSetAndSavedThatWillStillRingUntilPressedAgain) {
  // An alarm two minutes ahead, green, then `then`: `state`, and `again` after "Set Alarm" once more.
  const auto text = [](Harness& h) { return h.main().txtTime(0).text(); };
  const struct { const char* what; std::function<void(Harness&)> then; Harness::State state, again; } cases[] = {
      {"a minute on", [](Harness& h) { h.advance(60 * 1000); }, kArmed, kArmed},
      {"one backspace", [&](Harness& h) { h.type(text(h).substr(0, text(h).size() - 1)); }, kPending, kPending},
      {"an edit and back", [&](Harness& h) { const auto t = text(h); h.type(t + u"x"); h.type(t); }, kPending, kArmed},
      {"rang, the clock set back, Stop/Reset", [](Harness& h) {
         ASSERT_TRUE(h.until([&] { return h.fired(); }, 121 * 1000));
         h.backend.jump(-3600 * 1000);
         h.click(h.main().cmdReset);
         h.advance(2000);
       }, kPending, kArmed},
      {"pressed again, the save failing", [](Harness& h) {
         h.main().AlarmFilePath = u16(h.iniPath() / "alarm.ini");  // a file where its folder would be
         h.click(h.main().cmdSetAlarm);
         h.advance(1100);
       }, kPending, kPending},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.start(3000);
    const std::u16string hint = h.main().cmdSetAlarm.toolTip;
    const auto& bar = h.main().ProgressBar;
    const auto barRuns = [&](int ms) {
      const int beeps = h.beepsSince(0);
      EXPECT_TRUE(bar.backColor() == 0x00191919 && bar.barColor() == 0x0000FF00);
      h.advance(ms - 1);
      EXPECT_TRUE(bar.visible() && h.beepsSince(0) == beeps);
      h.advance(1);
      EXPECT_TRUE(!bar.visible() && h.beepsSince(0) == beeps + 1);
    };
    h.setAlarm(h.clockTextIn(120));
    barRuns(1000);
    ASSERT_EQ(h.state(), kArmed);
    c.then(h);
    EXPECT_EQ(h.state(), c.state);
    EXPECT_EQ(h.main().cmdSetAlarm.toolTip,
              c.state == kArmed ? u"Rings on Tuesday, 11 January 2022 at 13:02, in less than a minute" : hint);
    h.click(h.main().cmdSetAlarm);
    barRuns(1100);
    EXPECT_EQ(h.state(), c.again);
  }
}

TEST(Ringing, TheWindowOrTheIconSaysTimesUpOnceAndItBeepsUntilStopReset) {
  for (bool hidden : {false, true}) {
    SCOPED_TRACE(hidden ? "hidden" : "shown");
    Harness h;
    h.start(1500);
    if (hidden) h.hide();
    const std::u16string alarm = h.clockTextIn(1);  // rings before the busy bar ends
    h.setAlarm(alarm);
    ASSERT_TRUE(h.until([&] { return h.fired(); }, 3000));
    auto& m = h.main();
    EXPECT_EQ(m.lblTime.foreColor(), kRed);
    EXPECT_TRUE(m.cmdSetAlarm.caption() == u"Set Alarm" && m.cmdSetAlarm.backColor() == kOrange);
    const auto firedAt = h.backend.monotonicMs();
    h.advance(699);
    EXPECT_EQ(h.beepsSince(firedAt), 1) << "firing itself is silent; the busy bar's end beeps";
    h.advance(1 + 700 * 9);
    EXPECT_EQ(h.beepsSince(firedAt), 11);
    EXPECT_EQ(h.label(), u"Time's Up!") << "the label no longer follows the clock";
    EXPECT_TRUE(m.cmdReset.visible() && !m.cmdSetAlarm.visible()) << "the bar's end leaves Stop/Reset while it rings";
    h.click(m.cmdSetAlarm);
    EXPECT_FALSE(m.ProgressBar.visible()) << "a hidden button cannot be pressed";
    EXPECT_EQ(m.visible(), !hidden);
    EXPECT_EQ(h.backend.announcements, std::vector<std::u16string>{u"Time's Up!"});
    using Notes = std::vector<std::pair<std::u16string, std::u16string>>;
    EXPECT_EQ(h.backend.trayNotes, (hidden ? Notes{{u"Time's Up!", alarm}} : Notes{}));
    EXPECT_TRUE(h.backend.attentionCalls.empty()) << "the window or the icon shows it";
    h.trayClick();  // clicking the icon's message is a click on the icon
    EXPECT_TRUE(m.visible());
    h.advance(100);
    const auto stoppedAt = h.backend.monotonicMs();
    h.click(m.cmdReset);
    EXPECT_EQ(h.label(), u"Time's Up!") << "until the next tick";
    h.advance(5000);
    EXPECT_EQ(h.beepsSince(stoppedAt), 1) << "only the one that ends the busy bar";
    EXPECT_EQ(h.label(), h.clockTextIn(0));
    EXPECT_EQ(h.state(), kPending);
    EXPECT_TRUE(m.cmdSetAlarm.visible() && !m.cmdReset.visible());
  }
}

TEST(AlarmState, RingsOnceUntilSetOrRetypedShowsSetForTheSavedAlarmAheadAndReachesWhatTheLabelStepsOver) {
  const std::u16string nine = u"01/11/2022 9:00:00 AM", ten = u"01/11/2022 10:00:00 AM", eleven = u"01/11/2022 11:00:00 AM";
  AlarmState s;
  EXPECT_FALSE(s.Ring(u""));
  EXPECT_TRUE(s.Ring(ten) && !s.Ring(ten)) << "the clock passing it again rings nothing";
  s.Edit(nine);
  s.Edit(ten);
  EXPECT_TRUE(s.Ring(ten)) << "another text and back is another alarm";
  s.Set(ten, true);
  EXPECT_TRUE(s.Ring(ten)) << "pressed again";
  EXPECT_FALSE(s.ShowsSet(ten, nine, kUs, true)) << "rang";
  s.Set(ten, true);
  // The button at the busy bar's end counts a tie as ahead; the first check after start does not.
  EXPECT_TRUE(s.ShowsSet(ten, nine, kUs, false) && s.ShowsSet(ten, ten, kUs, true));
  EXPECT_FALSE(s.ShowsSet(ten, ten, kUs, false) || s.ShowsSet(ten, eleven, kUs, true));
  EXPECT_FALSE(s.ShowsSet(nine, u"01/11/2022 8:00:00 AM", kUs, true)) << "not the alarm as set";
  s.Set(u"later", true);
  EXPECT_FALSE(s.ShowsSet(u"later", u"", kUs, true)) << "names no moment";
  s.Set(ten, false);
  EXPECT_FALSE(s.ShowsSet(ten, nine, kUs, true)) << "not saved";
  // The label shows the text, or steps over its moment; a step back steps over nothing.
  EXPECT_TRUE(AlarmState::Reaches(ten, nine, ten, kUs) && AlarmState::Reaches(ten, nine, eleven, kUs));
  EXPECT_FALSE(AlarmState::Reaches(ten, eleven, nine, kUs) || AlarmState::Reaches(ten, nine, u"01/11/2022 9:59:59 AM", kUs));
  EXPECT_FALSE(AlarmState::Reaches(u"01/11/2022 10:00:00 am", nine, eleven, kUs)) << "a near miss names no moment";
}

TEST(ClockChange, WhateverMovesTheClockTheAlarmRingsOnItsSecondOrAtOnceWhenPassedAndNeverForWhatLiesBehind) {
  enum Then { Stay, HideAfterATick, Show };
  enum Rings { AtOnce, WithinASecond, WithinAMinute, AtItsSecond, Late, Never };
  // In seconds: the alarm from now, and the jump 5 s later of the clock (or `zone`); told: announced.
  const struct { const char* what; bool hidden; int alarmIn, jumpS; bool told; Then then; Rings rings; bool zone = false; } cases[] = {
      {"a late tick steps over it", false, 10, 12, false, Stay, WithinASecond},
      {"a resume after its moment", false, 60, 3600, true, Stay, AtOnce},
      {"set back before one that lies behind", false, -30, -60, true, Stay, AtItsSecond},
      {"set back, still behind", false, -30, -10, true, Stay, Never},
      {"hidden, set forward", true, 60, 30, true, Stay, AtItsSecond},
      {"hidden, set back", true, 60, -30, true, Stay, AtItsSecond},
      {"hidden, set past it", true, 60, 120, true, Stay, AtOnce},
      // Aimed by the monotonic clock, it is found spent at the first wake and rings then.
      {"hidden, set forward unannounced", true, 60, 50, false, Stay, Late},
      // The next clock tick finds what nobody announced and aims the hidden alarm anew.
      {"set forward unannounced, then hidden", false, 1800, 1500, false, HideAfterATick, AtItsSecond},
      {"set back unannounced before one behind, then hidden", false, -30, -60, false, HideAfterATick, AtItsSecond},
      {"hidden, slept unannounced past it, then shown", true, 30, 3600, false, Show, AtOnce},
      {"hidden, the zone moved past it", true, 600, 3600, true, Stay, AtOnce, true},
      {"hidden, the zone moved past it unannounced", true, 600, 3600, false, Stay, WithinAMinute, true},
      {"hidden, the zone moved back unannounced", true, 60, -600, false, Stay, AtItsSecond, true},
      {"shown, the zone moved past it unannounced", false, 600, 3600, false, Stay, WithinASecond, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.start(3000);
    if (c.hidden) h.hide();
    h.type(h.clockTextIn(c.alarmIn));
    const std::int64_t due = h.dueMs();
    h.advance(5000);
    if (c.zone) h.backend.changeZone(c.jumpS * 1000LL, c.told);
    else h.backend.jump(c.jumpS * 1000LL, c.told);
    if (c.then == HideAfterATick) {
      h.advance(1000);
      h.hide();
    }
    if (c.then == Show) h.trayClick();
    const auto rang = [&] { return h.fired(); };
    const std::int64_t limitMs = c.rings == WithinASecond ? 1000 : c.rings == WithinAMinute ? 60 * 1000 : 1200 * 1000;
    const std::int64_t stepMs = c.rings == Never ? 100 : 1;
    EXPECT_EQ(c.rings == AtOnce ? rang() : h.until(rang, limitMs, stepMs), c.rings != Never);
    if (c.rings == AtItsSecond) { EXPECT_EQ(h.backend.wallMs(), due); }
    if (c.rings == Late) { EXPECT_GT(h.backend.wallMs(), due); }
  }
}

TEST(ClockChange, AcrossDaylightSavingTimeAHiddenWindowRingsWhenAShownOneDoesAndOnce) {
  // US Eastern time in 2026: forward at 2:00 AM on March 8, back at 2:00 AM on November 1.
  const auto utc = [](int month, int day, int h, int min) { return ui::localMs({2026, month, day, h, min, 0, 0}); };
  constexpr std::int64_t kHour = 3600 * 1000;
  const struct { const char* what; ui::LocalTime start; const char16_t* alarm; std::int64_t ringsAtUtc; } cases[] = {
      {"repeated hour: its first pass", {2026, 11, 1, 1, 29, 50, 0}, u"11/01/2026 1:30:00 AM", utc(11, 1, 5, 30)},
      {"skipped hour: the jump past it", {2026, 3, 8, 1, 59, 50, 0}, u"03/08/2026 2:30:00 AM", utc(3, 8, 7, 0)},
  };
  for (const auto& c : cases) {
    for (bool hidden : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (hidden ? ", hidden" : ", shown"));
      Harness h;
      h.backend.zone = {{0, -5 * kHour}, {utc(3, 8, 7, 0), -4 * kHour}, {utc(11, 1, 6, 0), -5 * kHour}};
      h.backend.setWall(c.start);
      h.start(3000);
      if (hidden) h.hide();
      h.type(c.alarm);
      ASSERT_TRUE(h.until([&] { return h.fired(); }, 15 * 1000));
      EXPECT_EQ(h.backend.utcMs(), c.ringsAtUtc);
      h.click(h.main().cmdReset);
      EXPECT_FALSE(h.until([&] { return h.fired(); }, 2 * kHour, 1000)) << "rings once";
    }
  }
}

TEST(Wake, OnceASecondWhileShownAndHiddenOnlyForTheAlarmsSecond) {
  // The alarm text, or nullptr for the moment `ahead` seconds from now.
  const struct { bool hidden; const char* text; int ahead, forS, wakes; } rows[] = {
      {false, nullptr, 3600, 60, 60},  // the clock; an alarm far ahead adds nothing
      {true, "tomorrow at seven", 0, 6 * 3600, 0},
      {true, nullptr, -60, 6 * 3600, 0},
      {true, nullptr, 30, 30, 1},               // at the alarm's second, which rings
      {true, nullptr, 2 * 3600, 2 * 3600, 120},  // and every minute on the way, to aim again
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text ? r.text : std::to_string(r.ahead));
    Harness h;
    h.start(3000);
    if (r.hidden) h.hide();
    h.advance(400);  // mid-second: the alarm's second begins on a boundary, not 30 s from here
    h.type(r.text ? u16(r.text) : h.clockTextIn(r.ahead));
    const auto wakes = h.backend.wakeUps;
    const bool rings = r.hidden && r.wakes > 0;
    EXPECT_EQ(h.until([&] { return h.fired(); }, r.forS * 1000LL, 100), rings);
    EXPECT_EQ(h.backend.wakeUps - wakes, r.wakes);
    if (rings) { EXPECT_EQ(h.backend.wallMs(), h.dueMs()); }
  }
}

TEST(Wake, ShowingTheWindowBringsTheLabelUpToDateAtOnceAndNothingExtra) {
  Harness h;
  h.start(3000);
  h.hide();
  h.advance(5500);
  h.trayClick();
  EXPECT_EQ(h.label(), h.clockTextIn(0)) << "up to date before anyone can look";
  // Hidden and shown again within one second: nothing was missed, nothing extra ticks.
  h.advance(100);
  const auto ticks = h.backend.ticks["TimerTime"];
  h.hide();
  h.advance(300);
  h.trayClick();
  EXPECT_EQ(h.backend.ticks["TimerTime"], ticks);
  h.advance(100);
  EXPECT_EQ(h.backend.ticks["TimerTime"], ticks + 1) << "and the next second comes on time";
  // Set back while hidden, and shown: a small unannounced step back shows at the next tick.
  h.hide();
  h.backend.jump(-5000, false);
  h.trayClick();
  EXPECT_EQ(h.label(), h.clockTextIn(0));
  h.advance(1000);
  h.backend.jump(-1500, false);
  h.advance(1000);
  EXPECT_EQ(h.label(), h.clockTextIn(0));
}

TEST(TimerLayer, EverySecondShowsAsItBeginsAndTheAlarmRingsOnTimeWhereCountdownsRunOutEarly) {
  // Countdowns that run out early: the clock waits out the rest; the platform's slack saves that wake.
  for (int slack : {0, 5}) {
    SCOPED_TRACE(slack);
    Harness h;
    h.backend.countdownsEarlyMs = 5;
    h.backend.slackMs = slack;
    h.backend.setWall({2022, 1, 11, 23, 59, 55, 730});  // mid-second, before midnight
    h.start(3000);
    const auto wakes = h.backend.wakeUps;
    const auto ticks = h.backend.ticks["TimerTime"];
    for (int ms = 0; ms < 3000; ++ms) {
      h.advance(1);
      if (h.backend.wallMs() % 1000 == 0) { ASSERT_EQ(h.label(), h.clockTextIn(0)) << "at " << ms << " ms"; }
    }
    EXPECT_EQ(h.backend.ticks["TimerTime"] - ticks, 3);
    EXPECT_EQ(h.backend.wakeUps - wakes, slack ? 3 : 6);
    h.hide();
    h.type(h.clockTextIn(20));
    const auto hiddenWakes = h.backend.wakeUps;
    ASSERT_TRUE(h.until([&] { return h.fired(); }, 21 * 1000));
    EXPECT_EQ(h.backend.wallMs(), h.dueMs());
    EXPECT_EQ(h.backend.wakeUps - hiddenWakes, slack ? 1 : 2);
  }
}

TEST(Clock, AtMidnightTheLabelNeverShowsTheNewTimeWithTheOldDate) {
  Harness h;
  h.backend.setWall({2026, 12, 7, 23, 59, 58, 0});
  h.start();
  h.type(u"12/07/2026 3:00:00 PM");  // hours behind, never rang
  h.advance(1999);
  // A tick reading the clock just before midnight as it moves on: a label a day behind would ring at the catch-up.
  h.backend.msPerReading = 1;
  h.main().TimerTime_Timer();
  h.backend.msPerReading = 0;
  h.advance(3000);
  EXPECT_FALSE(h.fired());
  EXPECT_EQ(h.label(), u"12/08/2026 12:00:03 AM");
}

}  // namespace
}  // namespace tollora::testing
