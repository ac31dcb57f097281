// Shutdown, the notification-area icon, the exit confirmation and the About window.
#include <gtest/gtest.h>

#include "dialogs/about.h"
#include "dialogs/alert.h"
#include "dialogs/message.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

using ui::TrayClick;

int hides(const ui::HeadlessBackend& b) {
  int n = 0;
  for (auto& call : b.trayCalls) n += !call.show;
  return n;
}

int defaultSounds(Harness& h) {
  int n = 0;
  for (auto& s : h.backend.sounds) n += s.path.empty();
  return n;
}

TEST(Tray, TheIconShowsTheClockAndTellsWhatItsClicksDo) {
  Harness h;
  h.start();
  ASSERT_EQ(h.backend.trayCalls.size(), 1u);
  const auto& call = h.backend.trayCalls[0];
  EXPECT_TRUE(call.show);
  EXPECT_EQ(call.icon.hWnd, h.main().hWnd()) << "its clicks reach the main window";
  EXPECT_EQ(call.icon.hIcon, h.main().iconHandle());
  EXPECT_EQ(call.icon.tip, u"Left Click To Restore / Right Click To Exit");
}

TEST(Tray, MinimiseHidesAndTheIconBringsTheWindowBack) {
  Harness h;
  h.start();
  auto& m = h.main();
  h.click(m.cmdMin);
  EXPECT_FALSE(m.visible());
  EXPECT_EQ(m.WindowState(), ui::vbMinimized);

  for (TrayClick click : {TrayClick::LeftUp, TrayClick::LeftDoubleClick}) {
    m.nativeTrayClick(click);
    EXPECT_TRUE(m.visible());
    EXPECT_EQ(m.WindowState(), ui::vbNormal);
    EXPECT_EQ(h.backend.foregroundCalls.back(), m.hWnd());
    m.nativeStateChanged(ui::vbMinimized);  // minimised from the title bar
    EXPECT_FALSE(m.visible());
  }
  EXPECT_EQ(ui::app().loadedInstance<Alert>(), nullptr);
}

TEST(Tray, AWindowIsNeverHiddenIntoNothing) {
  Harness h;
  h.backend.trayAvailable = false;
  h.start();
  auto& m = h.main();
  h.click(m.cmdMin);
  EXPECT_EQ(m.WindowState(), ui::vbMinimized);
  EXPECT_TRUE(m.visible()) << "a hidden window with no icon could never come back";

  // A panel that starts after the program: the icon goes in, and minimising hides into it.
  h.backend.setTrayAvailable(true);
  EXPECT_TRUE(h.backend.trayIconShown());
  m.nativeTrayClick(TrayClick::LeftUp);
  h.click(m.cmdMin);
  EXPECT_FALSE(m.visible());

  // The panel ends: the hidden window comes back. Minimised again, it stays on the taskbar,
  // and ringing, it comes up.
  h.backend.setTrayAvailable(false);
  EXPECT_TRUE(m.visible());
  EXPECT_EQ(m.WindowState(), ui::vbNormal);
  h.click(m.cmdMin);
  EXPECT_TRUE(m.visible());
  h.type(h.clockTextIn(2));
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 5000));
  EXPECT_TRUE(m.visible());
  EXPECT_EQ(m.WindowState(), ui::vbNormal);
}

TEST(Tray, APanelThatEndedUnannouncedIsFoundOutByMinimisingAndRinging) {
  Harness h;
  h.start();
  auto& m = h.main();
  h.backend.trayAvailable = false;  // Explorer died: nobody says so
  h.click(m.cmdMin);
  EXPECT_TRUE(m.visible()) << "minimised the ordinary way";
  m.nativeStateChanged(ui::vbNormal);

  h.backend.trayAvailable = true;
  h.type(h.clockTextIn(2));
  h.click(m.cmdMin);
  ASSERT_FALSE(m.visible());
  h.backend.trayAvailable = false;
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 5000));
  EXPECT_TRUE(m.visible());
  EXPECT_EQ(m.WindowState(), ui::vbNormal);
  EXPECT_TRUE(h.backend.trayNotes.empty());
}

TEST(ExitConfirmation, RightClickAsksOnceAndNoClosesIt) {
  Harness h;
  h.start();
  auto& m = h.main();
  m.setLeft(1000);
  m.setTop(2000);
  h.click(m.cmdMin);
  m.nativeTrayClick(TrayClick::RightDown);
  EXPECT_TRUE(m.visible());
  auto* alert = ui::app().loadedInstance<Alert>();
  ASSERT_NE(alert, nullptr);
  EXPECT_TRUE(alert->visible());
  EXPECT_EQ(alert->lblLabel2.caption(), u"Are Your Sure You Want To Exit?.");
  EXPECT_TRUE(alert->cmdExit.visible());
  EXPECT_EQ(alert->cmdOk.caption(), u"No");
  EXPECT_EQ(h.backend.foregroundCalls.back(), alert->hWnd()) << "in front of the restored main window";
  EXPECT_EQ(alert->Left(), 1480);
  EXPECT_EQ(alert->Top(), 2462);
  EXPECT_EQ(defaultSounds(h), 1);

  m.nativeTrayClick(TrayClick::RightDown);
  EXPECT_EQ(ui::app().loadedInstance<Alert>(), alert) << "the same window, not a second one";
  EXPECT_EQ(defaultSounds(h), 1);
  EXPECT_EQ(ui::app().formsCount(), 2);

  h.click(alert->cmdOk);
  EXPECT_EQ(ui::app().loadedInstance<Alert>(), nullptr);
  EXPECT_EQ(ui::app().formsCount(), 1);

  // The next one is a fresh window, placed from the resized main window, with its sound again.
  m.nativeResized(5400, 3000);
  m.nativeTrayClick(TrayClick::RightDown);
  alert = ui::app().loadedInstance<Alert>();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->Left(), 1000 + 600);
  EXPECT_EQ(alert->Top(), 2000 + 600);
  EXPECT_EQ(defaultSounds(h), 2);
  EXPECT_TRUE(m.visible());
}

TEST(Shutdown, ClosingTheMainWindowClosesEveryWindowNewestFirst) {
  Harness h;
  h.start();
  auto& m = h.main();
  const ui::Handle mainWindow = m.hWnd();
  h.click(m.cmdAbout);
  m.nativeTrayClick(TrayClick::RightDown);
  const ui::Handle about = ui::app().loadedInstance<About>()->hWnd();
  const ui::Handle alert = ui::app().loadedInstance<Alert>()->hWnd();
  ASSERT_EQ(ui::app().formsCount(), 3);

  m.nativeCloseRequested();
  EXPECT_EQ(h.backend.destroyedWindows, (std::vector<ui::Handle>{alert, about, mainWindow}));
  EXPECT_EQ(ui::app().formsCount(), 0);
  EXPECT_EQ(hides(h.backend), 1);
  EXPECT_FALSE(h.backend.trayIconShown());
  EXPECT_TRUE(h.backend.quitCalled);
}

TEST(Shutdown, YesFromTheConfirmationEndsTheProgramFromTheTray) {
  Harness h;
  h.start();
  auto& m = h.main();
  h.click(m.cmdMin);
  m.nativeTrayClick(TrayClick::RightDown);
  h.click(m.cmdAbout);  // a window opened after the confirmation closes before it
  const ui::Handle about = ui::app().loadedInstance<About>()->hWnd();
  const ui::Handle alert = ui::app().loadedInstance<Alert>()->hWnd();
  const ui::Handle mainWindow = m.hWnd();

  h.click(ui::app().loadedInstance<Alert>()->cmdExit);
  EXPECT_EQ(h.backend.destroyedWindows, (std::vector<ui::Handle>{about, alert, mainWindow}));
  EXPECT_EQ(ui::app().formsCount(), 0);
  EXPECT_EQ(hides(h.backend), 1) << "the main window's unload ran once";
  EXPECT_TRUE(h.backend.quitCalled);
}

TEST(Message, OneAtATimeBesideTheMainWindowNeverOverIt) {
  Harness h;
  h.start();
  Alarm& m = h.main();
  const ui::Rect screen = h.backend.screen;
  // Where the main window stands, and where the message must then go.
  struct Case {
    int left, top;
    const char* side;
  } cases[] = {{9000, 3000, "below"}, {9000, screen.height - 3200, "above"}, {0, 0, "below"}, {-1, -1, "centred"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.side);
    if (c.left < 0) {
      h.click(m.cmdMin);
      ASSERT_FALSE(m.visible());
    } else {
      m.setLeft(c.left);
      m.setTop(c.top);
    }
    ReportProblem(u"first");
    ReportProblem(u"second");
    ASSERT_EQ(h.message(), u"second") << "a second report takes the place of the first";
    EXPECT_EQ(h.app.formsCount(), 2);
    const Message& box = *h.app.loadedInstance<Message>();
    const ui::Rect at{box.Left(), box.Top(), box.ScaleWidth(), box.ScaleHeight()};
    EXPECT_GE(at.left, screen.left);
    EXPECT_LE(at.top + at.height, screen.top + screen.height);
    if (c.left >= 0) {
      const bool below = at.top >= m.Top() + m.ScaleHeight(), above = at.top + at.height <= m.Top();
      EXPECT_TRUE(std::string(c.side) == "below" ? below : above) << at.top << " against " << m.Top();
    } else {
      EXPECT_NEAR(at.left + at.width / 2, screen.width / 2, 300);
    }
    ui::Button& ok = ui::form<Message>().cmdOk;
    h.click(ok);
    EXPECT_EQ(h.message(), u"");
  }
}

TEST(About, OpensOverTheMainWindowWithTheNoteAndTheAuthorsPage) {
  Harness h;
  h.start();
  auto& m = h.main();
  m.setLeft(300);
  m.setTop(600);
  h.click(m.cmdAbout);
  auto* about = ui::app().loadedInstance<About>();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->Left(), 780);
  EXPECT_EQ(about->Top(), 1062);
  EXPECT_EQ(about->lblLabel1.caption(), u"Alarm v1.1: brenlow@example.org");
  EXPECT_TRUE(h.backend.sounds.empty()) << "the About window is silent";

  const std::u16string note = about->txtText1.text();
  int lines = 0;
  std::size_t start = 0;
  for (std::size_t eol; (eol = note.find(u"\r\n", start)) != std::u16string::npos; start = eol + 2, ++lines) {
    EXPECT_LT(eol - start, 45u);
    if (lines == 11 || lines == 16) {
      EXPECT_EQ(eol, start) << "an empty line after lines 11 and 16";
    }
  }
  EXPECT_EQ(lines, 19);
  EXPECT_EQ(start, note.size()) << "ends with a line break";
  EXPECT_TRUE(note.ends_with(u"Contact: brenlow@example.org\r\n"));

  h.click(about->cmdCommand1);
  h.click(about->cmdCommand1);
  EXPECT_EQ(h.backend.openedUrls, (std::vector<std::u16string>(2, u"https://example.org/brenlow/projects")));
  EXPECT_EQ(ui::app().loadedInstance<About>(), about) << "stays open";

  about->txtText1.nativeEdited(u"scribbles");
  h.click(about->cmdCommand2);
  EXPECT_EQ(ui::app().loadedInstance<About>(), nullptr);
  h.click(m.cmdAbout);
  EXPECT_EQ(ui::app().loadedInstance<About>()->txtText1.text(), note);
}

}  // namespace
}  // namespace tollora::testing
