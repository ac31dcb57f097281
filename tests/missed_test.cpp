// Missed alarms: told once at the next start; a short sleep rings late, a long one is told.
#include <gtest/gtest.h>

#include "alarm/alarm_state.h"
#include "dialogs/message.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

constexpr std::int64_t kMin = 60 * 1000;

TEST(Missed, AnArmedAlarmThatCameDueUnseenIsToldOnceAndOneHoursLateIsToldNotRung) {
  enum Then { Close, RingThenClose, Sleep };
  const std::u16string closed = u"The alarm of 01/11/2022 1:01:00 PM came due at 1:01 PM while Tollora was not running.",
                       asleep = u"The alarm of 01/11/2022 1:01:00 PM came due at 1:01 PM while the computer was asleep.";
  // Set at 1:00 PM, then asleep or closed for `ms`, then two starts: told (or rung) once.
  const struct { const char* what; const char* typed; Then then; std::int64_t ms; bool tray, damaged; std::u16string told, rings; } cases[] = {
      {"closed, started shown", nullptr, Close, 5 * kMin, false, false, closed, {}},
      {"closed, started in the tray", nullptr, Close, 5 * kMin, true, false, closed, {}},
      {"rang, then closed", nullptr, RingThenClose, 5 * kMin, false, false, {}, {}},
      {"typed in the past: never armed", "01/11/2022 12:59:00 PM", Close, 5 * kMin, false, false, {}, {}},
      {"closed, its memory damaged", nullptr, Close, 5 * kMin, false, true, {}, {}},
      {"slept 11 minutes", nullptr, Sleep, 11 * kMin, false, false, {}, u"Time's Up! Due at 1:01 PM, 10 min ago"},
      {"slept 3 hours", nullptr, Sleep, 180 * kMin, false, false, asleep, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    ASSERT_TRUE(h.startProgram());
    h.setAlarm(c.typed ? u16(c.typed) : u"1:01 PM");
    h.advance(1500);
    const auto restart = [&](bool tray) {
      h.advance(100);
      h.main().nativeCloseRequested();
      h.backend.trayNotes.clear();
      const auto at = h.backend.monotonicMs();
      EXPECT_TRUE(h.startProgram({.tray = tray}));
      h.advance(3000);
      return at;
    };
    if (c.then == RingThenClose) { ASSERT_TRUE(h.until([&] { return h.fired(); }, 60 * 1000)); }
    if (c.damaged) {  // its first line, and so all of it, no longer Tollora's
      std::string bytes = slurp(h.stateFolder() / "alarms.state");
      bytes.at(0) = 'X';
      put(h.stateFolder() / "alarms.state", bytes);
    }
    const auto at = h.backend.monotonicMs();
    if (c.then == Sleep) h.backend.sleep(c.ms);
    else h.backend.jump(c.ms, false);
    const auto since = c.then == Sleep ? at : restart(c.tray);
    const bool trayNote = c.tray && !c.told.empty();
    EXPECT_EQ(h.message(), trayNote ? u"" : c.told);
    using Notes = std::vector<std::pair<std::u16string, std::u16string>>;
    EXPECT_EQ(h.backend.trayNotes, (trayNote ? Notes{{u"Missed alarm", c.told}} : Notes{}));
    EXPECT_EQ(h.beepsSince(since), c.told.empty() ? 0 : 1) << "one beep";
    EXPECT_EQ(h.fired(), !c.rings.empty());
    if (!c.rings.empty()) { EXPECT_EQ(h.backend.announcements.back(), c.rings); }
    if (!c.told.empty()) {  // what "Stop/Reset" would have left
      EXPECT_EQ(h.state(), Harness::Pending);
      EXPECT_TRUE(h.main().cmdSetAlarm.visible() && !h.main().cmdReset.visible());
    }
    const auto second = restart(c.tray);
    EXPECT_EQ(h.message(), u"") << "told once";
    EXPECT_TRUE(h.backend.trayNotes.empty() && h.beepsSince(second) == 0);
  }
}

TEST(Missed, TheMemoryKeepsAnyPathAndTextAndAnythingElseIsNothingRemembered) {
  AlarmMemories all;
  for (int i = 0; i < 20; ++i) Remember(all, u"/a/" + ui::fromUtf8(std::to_string(i)), {AlarmMemory::State::Rang, i, u"x"});
  const std::u16string odd = u"C:\\\u6642\u8a08\t\n\\u0041\xD800";
  Remember(all, odd, {AlarmMemory::State::Told, -5, odd});
  const std::string bytes = EncodeMemories(all);
  ASSERT_EQ(all.size(), kMaxRemembered);
  EXPECT_EQ(DecodeMemories(bytes), all);
  for (const std::string& damaged : {bytes.substr(0, bytes.size() - 1), "x" + bytes, bytes + "armed\t1\t/a\n", bytes + "rang\t1\t\\q\t\n"})
    EXPECT_TRUE(DecodeMemories(damaged).empty());
  Harness h;
  put(h.stateFolder(), "a file, no folder");
  ASSERT_TRUE(h.startProgram());
  for (int minutes : {5, 6}) {
    h.setAlarm(h.clockTextIn(minutes * 60));
    h.advance(1500);
    const bool told = h.message().find(u"could not keep its note of your alarm in\r\n" + u16(h.stateFolder())) != std::u16string::npos;
    EXPECT_EQ(told, minutes == 5);
    if (minutes == 5) h.click(ui::form<Message>().cmdOk);
  }
}

}  // namespace
}  // namespace tollora::testing
