// A week of alarms, one every 17 minutes, set the way a user sets them.
#include <gtest/gtest.h>
#include <malloc.h>

#include "alarm/clock_text.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

TEST(Soak, AWeekOfAlarmsEachFiresOnceAtItsSecondAndMemoryStaysFlat) {
  Harness h;
  h.backend.setWall({2026, 12, 6, 23, 50, 0, 300});
  h.start();
  h.advance(3000);
  auto& m = h.main();
  constexpr std::int64_t kEvery = 17 * 60 * 1000;
  const int alarms = static_cast<int>(7LL * 24 * 3600 * 1000 / kEvery);
  std::size_t heapAfterDay1 = 0;
  int late = 0, doubles = 0;

  for (int i = 0; i < alarms; ++i) {
    const std::u16string text = h.clockTextIn(17 * 60);
    const std::int64_t due = *ClockMoment(text, h.backend.settings) * 1000;
    h.type(text);
    h.click(m.cmdSetAlarm);
    h.advance(kEvery - 3000);
    ASSERT_FALSE(h.fired()) << "alarm " << i << " fired early";
    ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 5000, 5)) << "alarm " << i << " never fired";
    const std::int64_t firedAt = h.backend.wallMs();
    late += firedAt < due || firedAt >= due + 1000;
    h.advance(2000);
    h.click(m.cmdReset);
    h.advance(1500);
    doubles += h.fired();
    ASSERT_EQ(h.backend.announcements.size(), 1u) << "alarm " << i << " announced other than once";
    h.backend.sounds.clear();
    h.backend.announcements.clear();
    if (i == alarms / 7) heapAfterDay1 = mallinfo2().uordblks;
  }
  EXPECT_EQ(late, 0) << "alarms that fired outside their second";
  EXPECT_EQ(doubles, 0) << "alarms that fired again after Stop/Reset";
  EXPECT_GT(alarms, 590);
  const std::size_t heapAfterWeek = mallinfo2().uordblks;
  EXPECT_LT(heapAfterWeek, heapAfterDay1 + 4096) << "the heap grew from " << heapAfterDay1 << " to " << heapAfterWeek;
}

}  // namespace
}  // namespace tollora::testing
