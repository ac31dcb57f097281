// "Set Alarm", "Stop/Reset", the first state after start and the busy animation.
#include <gtest/gtest.h>

#include "alarm/alarm_reader.h"
#include "alarm/clock_text.h"
#include "app/colors.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

void expectArmed(Alarm& m) {
  EXPECT_EQ(m.cmdSetAlarm.caption(), u"Alarm Set");
  EXPECT_EQ(m.cmdSetAlarm.backColor(), ColorArmed);
  EXPECT_EQ(m.lblTime.foreColor(), ColorArmed);
}

void expectPending(Alarm& m) {
  EXPECT_EQ(m.cmdSetAlarm.caption(), u"Set Alarm");
  EXPECT_EQ(m.cmdSetAlarm.backColor(), ColorPending);
  EXPECT_EQ(m.lblTime.foreColor(), ColorPending);
}

TEST(Startup, DesignStateBeforeTheFirstTick) {
  Harness h;
  h.start();
  auto& m = h.main();
  EXPECT_EQ(m.caption, u"Tollora v1.1");
  EXPECT_EQ(m.ScaleWidth(), 4320);
  EXPECT_EQ(m.ScaleHeight(), 2310);
  EXPECT_EQ(m.AlarmFilePath, h.backend.folder + u"/alarm.ini");
  EXPECT_EQ(m.txtTime(0).text(), u"") << "no alarm file: the design text does not survive";
  EXPECT_EQ(m.txtTimeBAK(1).text(), u"");
  EXPECT_EQ(m.lblTime.caption(), u"");
  EXPECT_EQ(m.cmdSetAlarm.caption(), u"");
  EXPECT_EQ(m.cmdSetAlarm.backColor(), ui::SysScrollBar);
  EXPECT_EQ(m.lblTime.foreColor(), ui::SysScrollBar);
  EXPECT_FALSE(m.cmdReset.visible());
  EXPECT_FALSE(m.ProgressBar.visible());
  EXPECT_EQ(m.ProgressBar.value(), 10.0f) << "primed once at start";
  EXPECT_EQ(m.ProgressBar.backColor(), ColorBarBack);
  EXPECT_EQ(m.ProgressBar.barColor(), ColorBarFill);
  EXPECT_TRUE(m.visible());
  EXPECT_EQ(m.txtTime(0).toolTip, u"Set Date/Time Here - Format Example 01/11/2022 1:11:01 PM");
  EXPECT_EQ(m.cmdSetAlarm.toolTip, AlarmLayoutHint(h.backend.settings)) << "the layout Set Alarm reads";
  EXPECT_TRUE(h.backend.trayIconShown());
}

TEST(Startup, FirstStateAfterTwoAndAHalfSeconds) {
  struct Case {
    int aheadSeconds;
    bool armed;
  };
  for (Case c : {Case{3600, true}, Case{-3600, false}, Case{2, false} /* a tie fires and counts as passed */}) {
    Harness h;
    h.writeIni("[ALARM]\r\nTime=" + ui::toUtf8(h.clockTextIn(c.aheadSeconds)) + "\r\n");
    h.start();
    h.advance(1999);
    EXPECT_EQ(h.main().cmdSetAlarm.caption(), u"");
    h.advance(501);
    if (c.armed) {
      expectArmed(h.main());
    } else {
      expectPending(h.main());
    }
    EXPECT_FALSE(h.main().TimerCheck.enabled()) << "runs once";
  }
}

TEST(Startup, FirstStateComparesMomentsNotTexts) {
  // 10 o'clock sorts before 9 o'clock as text, yet lies ahead of it.
  Harness h;
  h.backend.setWall({2022, 1, 11, 9, 0, 0, 0});
  h.writeIni("[ALARM]\r\nTime=01/11/2022 10:00:00 AM\r\n");
  h.start();
  h.advance(2500);
  expectArmed(h.main());
}

// Texts that name no moment the clock can show, loaded from the file, sort after the label
// "12/07/2026 12:00:02 AM" as text; none may show as set.
const char* const kCannotRing[] = {"12/07/2026 12:03:04 am", "12/7/2026 12:03:24 AM", "12:03:52 AM",
                                   "12/07/2026 7:30:00 PM ", "12/07/2026 23:59:00", "\xF0\x9F\x94\x94",
                                   "12/07/2026 25:00:00 AM", "next week"};

TEST(Startup, ATextThatCannotRingNeverShowsAsSetAndIsNotRewritten) {
  for (const char* text : kCannotRing) {
    SCOPED_TRACE(text);
    Harness h;
    h.backend.setWall({2026, 12, 7, 0, 0, 0, 0});
    h.writeIni(std::string("[ALARM]\r\nTime=\"") + text + "\"\r\n");  // quoted: the blank stays
    h.start();
    h.advance(2500);
    ASSERT_EQ(h.label(), u"12/07/2026 12:00:02 AM");
    EXPECT_GT(CompareOrdinal(h.main().txtTime(0).text(), h.label()), 0) << "sorts after the label as text";
    expectPending(h.main());
    EXPECT_EQ(h.main().txtTime(0).text(), u16(text)) << "loading never rewrites the text";
    h.advance(10 * 60 * 1000);
    EXPECT_FALSE(h.fired());
  }
}

TEST(Startup, ASavedAlarmOutlivesAChangeOfRegionalSettings) {
  // Saved under US settings, loaded under German ones: "." between the date's parts, no AM/PM.
  struct Case {
    const char* saved;
    bool tray;
    const char16_t* shown;  // the box after start; nullptr: as saved
    bool rings, told;       // told: a note from the tray icon that it never rings
  };
  const Case cases[] = {
      {"12/07/2026 12:00:10 AM", true, u"12.07.2026 12:00:10 AM", true, false},
      {"12.07.2026 12:00:10 AM", true, nullptr, true, false},
      {"12/07/2026 12:00:10 am", true, nullptr, false, true},
      {"12/07/2026 12:00:10 am", false, nullptr, false, false},  // shown: the orange button tells
      {"", true, nullptr, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.saved) + (c.tray ? " --tray" : ""));
    Harness h;
    h.backend.settings = ui::RegionalSettings{u".", u":", u"", u""};
    h.backend.setWall({2026, 12, 7, 0, 0, 0, 0});
    const std::string file = std::string("[ALARM]\r\nTime=") + c.saved + "\r\nTimeBAK=\r\n";
    h.writeIni(file);
    ASSERT_TRUE(h.startProgram({.tray = c.tray}));
    EXPECT_EQ(h.main().txtTime(0).text(), c.shown ? c.shown : u16(c.saved));
    ASSERT_EQ(h.backend.trayNotes.size(), c.told ? 1u : 0u);
    if (c.told) {
      EXPECT_NE(h.backend.trayNotes[0].second.find(u16(c.saved)), std::u16string::npos);
    }
    EXPECT_EQ(h.backend.advanceUntil([&] { return h.fired(); }, 11 * 1000), c.rings);
    if (c.rings) {
      EXPECT_EQ(h.backend.wallMs(), ui::localMs({2026, 12, 7, 0, 0, 10, 0})) << "at its second";
    }
    EXPECT_EQ(h.readIni(), file) << "the file changes only with Set Alarm";
  }
}

TEST(SetAlarm, ATextThatNamesNoMomentStaysAsTypedIsSavedAndShowsPending) {
  for (const char* text : {"\xF0\x9F\x94\x94", "02/30/2026 7:30 PM", "25:00", "call mum"}) {
    SCOPED_TRACE(text);
    Harness h;
    h.backend.setWall({2026, 12, 7, 0, 0, 0, 0});
    h.start();
    h.advance(3000);
    h.type(u16(text));
    h.click(h.main().cmdSetAlarm);
    EXPECT_EQ(h.main().txtTime(0).text(), u16(text));
    EXPECT_EQ(h.readIni(), std::string("[ALARM]\r\nTime=") + text + "\r\nTimeBAK=\r\n");
    h.advance(1100);
    expectPending(h.main());
    EXPECT_EQ(h.main().cmdSetAlarm.toolTip, AlarmLayoutHint(h.backend.settings));
  }
}

TEST(SetAlarm, ATimeTypedTheCommonWaysIsRewrittenSavedAndRingsOnItsSecond) {
  struct Case {
    ui::RegionalSettings rs;
    const char* typed;
    const char* clockText;
  };
  const ui::RegionalSettings us, dotted{u".", u":", u"", u""};
  for (const Case& c : {Case{us, "12/07/2026 12:03:04 am", "12/07/2026 12:03:04 AM"},
                        Case{us, "12/7/2026 12:03:24 AM", "12/07/2026 12:03:24 AM"},
                        Case{us, "12:03:52 AM", "12/07/2026 12:03:52 AM"},
                        Case{us, "  12/07/2026 12:04:10 AM ", "12/07/2026 12:04:10 AM"},
                        Case{us, "12/07/26 0:04:30", "12/07/2026 12:04:30 AM"},
                        Case{dotted, "0:03:40", "12.07.2026 12:03:40 AM"},
                        Case{dotted, "12.7.2026 12:04am", "12.07.2026 12:04:00 AM"}}) {
    SCOPED_TRACE(c.typed);
    Harness h;
    h.backend.settings = c.rs;
    h.backend.setWall({2026, 12, 7, 0, 3, 0, 0});
    h.start();
    h.advance(2500);
    h.type(u16(c.typed));
    h.click(h.main().cmdSetAlarm);
    EXPECT_EQ(ui::toUtf8(h.main().txtTime(0).text()), c.clockText) << "the box shows what will ring";
    EXPECT_EQ(h.readIni(), std::string("[ALARM]\r\nTime=") + c.clockText + "\r\nTimeBAK=\r\n");
    h.advance(1100);
    expectArmed(h.main());
    ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 120 * 1000));
    EXPECT_EQ(ui::toUtf8(h.clockTextIn(0)), c.clockText) << "rings in its own second";
  }
}

TEST(Busy, AnimationStepsThenRefreshesBeepsAndHides) {
  Harness h;
  h.start();
  h.advance(3000);
  auto& m = h.main();
  h.type(h.clockTextIn(3600));
  const auto beeps = h.beepsSince(0);
  h.click(m.cmdSetAlarm);
  EXPECT_TRUE(m.ProgressBar.visible());
  // The first run after start goes on from the primed 10: nine steps, then the finish.
  for (float v = 20; v <= 100; v += 10) {
    h.advance(100);
    EXPECT_EQ(m.ProgressBar.value(), v);
  }
  EXPECT_EQ(h.beepsSince(0), beeps);
  h.advance(100);
  expectArmed(m);
  EXPECT_EQ(m.ProgressBar.value(), 0.0f);
  EXPECT_FALSE(m.ProgressBar.visible());
  EXPECT_FALSE(m.TimerPb.enabled());
  EXPECT_EQ(h.beepsSince(0), beeps + 1);

  // Later runs start from 0: ten steps and the finish, eleven ticks.
  h.type(h.clockTextIn(-60));
  h.click(m.cmdSetAlarm);
  h.advance(1000);
  EXPECT_EQ(m.ProgressBar.value(), 100.0f);
  h.advance(100);
  expectPending(m);
  EXPECT_FALSE(m.ProgressBar.visible());

  h.type(u"");
  h.click(m.cmdSetAlarm);
  h.advance(1100);
  expectPending(m);
}

TEST(Busy, ATieAtTheFinishCountsAsAhead) {
  Harness h;
  h.start();
  h.advance(3050);
  auto& m = h.main();
  const std::u16string ahead = h.clockTextIn(3600);
  h.type(ahead);
  h.click(m.cmdSetAlarm);  // the finish comes at 4050, after the clock's tick at 4000
  h.advance(960);
  // An alarm text equal to the label rings the moment either changes, so the finish can only
  // meet a tie the clock did not write: put the alarm text on the label directly.
  m.lblTime.setCaption(ahead);
  h.advance(40);
  ASSERT_FALSE(m.TimerPb.enabled());
  expectArmed(m);
}

TEST(Reset, SilencesRestartsTheClockAndBringsSetAlarmBack) {
  Harness h;
  h.start();
  h.advance(3000);
  auto& m = h.main();
  h.type(h.clockTextIn(3));
  h.click(m.cmdSetAlarm);  // brings the bar to 0: the reset's run lasts 1.1 s
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 4000));
  h.advance(2000);

  h.click(m.cmdReset);
  EXPECT_FALSE(m.TimerNotify.enabled());
  EXPECT_TRUE(m.TimerTime.enabled());
  EXPECT_EQ(m.lblTime.caption(), u"Time's Up!") << "until the next clock tick";
  EXPECT_EQ(m.lblTime.foreColor(), ColorAlarmRed);
  EXPECT_TRUE(m.ProgressBar.visible());
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.label() != u"Time's Up!"; }, 1000));
  EXPECT_EQ(m.lblTime.foreColor(), ColorAlarmRed);
  h.advance(1100);
  expectPending(m);
  EXPECT_TRUE(m.cmdSetAlarm.visible());
  EXPECT_FALSE(m.cmdReset.visible());
  EXPECT_FALSE(h.fired());
}

TEST(Reset, OnceSilentTheUserCanSaveANewAlarmWhateverTheCaption) {
  // While the alarm rang, a new moment ahead was typed; "Stop/Reset" then ends in "Alarm Set",
  // and that button, not "Stop/Reset", must be the one in the shared place.
  Harness h;
  h.start();
  h.advance(3000);
  auto& m = h.main();
  h.type(h.clockTextIn(2));
  h.click(m.cmdSetAlarm);
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 4000));
  h.advance(2000);
  const auto next = h.clockTextIn(3600);
  h.type(next);
  h.click(m.cmdReset);
  h.advance(1100);
  expectArmed(m);
  EXPECT_TRUE(m.cmdSetAlarm.visible());
  EXPECT_FALSE(m.cmdReset.visible());
  h.click(m.cmdSetAlarm);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=" + ui::toUtf8(next) + "\r\nTimeBAK=\r\n");
  h.advance(1100);
  expectArmed(m);
}

TEST(Reset, StopResetStaysWhileTheAlarmSounds) {
  // The alarm fires while the busy animation runs: the finish must not take away the only
  // button that silences it.
  Harness h;
  h.start();
  h.advance(3000);
  auto& m = h.main();
  h.type(h.clockTextIn(1));
  h.click(m.cmdSetAlarm);
  h.advance(1500);
  ASSERT_TRUE(m.TimerNotify.enabled());
  EXPECT_FALSE(m.TimerPb.enabled()) << "the animation has finished";
  EXPECT_EQ(m.cmdSetAlarm.caption(), u"Set Alarm");
  EXPECT_TRUE(m.cmdReset.visible());
  EXPECT_FALSE(m.cmdSetAlarm.visible());

  h.click(m.cmdReset);
  h.advance(1200);
  EXPECT_FALSE(m.TimerNotify.enabled());
  EXPECT_TRUE(m.cmdSetAlarm.visible());
}

}  // namespace
}  // namespace tollora::testing
