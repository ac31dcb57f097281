// The ringing alarm asks for the user's attention only where nothing else shows it.
#include <gtest/gtest.h>

#include "tests/harness.h"

namespace tollora::testing {
namespace {

TEST(Attention, AskedOnlyWhenNeitherTheWindowNorTheIconShowsTheRinging) {
  enum class Where { Shown, InTray, MinimisedWithoutTray, InTrayWhosePanelWentUnannounced };
  const struct {
    Where where;
    bool asks;
  } cases[] = {{Where::Shown, false}, {Where::InTray, false}, {Where::MinimisedWithoutTray, true}, {Where::InTrayWhosePanelWentUnannounced, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.where));
    Harness h;
    h.backend.trayAvailable = c.where != Where::MinimisedWithoutTray;
    h.start();
    auto& m = h.main();
    h.type(h.clockTextIn(2));
    if (c.where != Where::Shown) h.click(m.cmdMin);
    if (c.where == Where::InTrayWhosePanelWentUnannounced) h.backend.trayAvailable = false;
    ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 5000));
    EXPECT_EQ(h.backend.attentionCalls, c.asks ? std::vector<ui::Handle>{m.hWnd()} : std::vector<ui::Handle>{});
  }
}

}  // namespace
}  // namespace tollora::testing
