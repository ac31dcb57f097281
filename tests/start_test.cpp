// Starting: one copy per alarm file and --tray; the notification-area icon; the exit
// confirmation, closing, and the message and About windows.
#include <gtest/gtest.h>

#include "dialogs/about.h"
#include "dialogs/alert.h"
#include "dialogs/message.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

using ui::TrayClick;

// Whatever the copy that holds the alarm file does, a start settles within four seconds: it
// runs, it hands over to that copy, or it tells the user why it cannot run.
TEST(OneCopy, EveryStartSettlesWithinFourSecondsWithAClearResult) {
  using Claim = ui::App::Claim;
  using Lock = ui::Backend::InstanceLock;
  constexpr auto never = ui::HeadlessBackend::kNever;
  using Holder = std::optional<ui::HeadlessBackend::OtherCopy>;
  const struct { const char* what; Holder holder; Lock freeLock; Claim result; } cases[] = {
      {"no other copy", std::nullopt, Lock::Held, Claim::Claimed},
      {"a holder that answers", {{0, never}}, Lock::Held, Claim::Forwarded},
      {"a holder that answers after a while", {{2500, never}}, Lock::Held, Claim::Forwarded},
      {"a stopped or hung holder", {{never, never}}, Lock::Held, Claim::NoAnswer},
      {"a holder that answers too late", {{6000, never}}, Lock::Held, Claim::NoAnswer},
      {"a holder on its way out", {{never, 1500}}, Lock::Held, Claim::Claimed},
      {"no private place for the lock", std::nullopt, Lock::Unavailable, Claim::NoLock},
      {"a platform without locks", std::nullopt, Lock::Unsupported, Claim::Claimed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ui::HeadlessBackend backend;
    ui::App app(backend);
    if (c.holder) backend.otherCopies[u"/a/alarm.ini"] = *c.holder;
    backend.freeLock = c.freeLock;
    EXPECT_EQ(app.claimInstance(u"/a/alarm.ini"), c.result);
    EXPECT_LE(backend.monotonicMs(), 4000) << "settled late";
  }
}

TEST(OneCopy, AStartWhileACopyRunsWithTheSameAlarmBringsItForwardOrSaysWhyNotAndTouchesNothing) {
  Harness h;
  const std::u16string key = u16(h.iniPath());
  h.backend.otherCopies[key] = {};
  EXPECT_EQ(tollora::start(), Started::Forwarded);
  EXPECT_EQ(h.backend.forwardedKeys, std::vector<std::u16string>{key});
  EXPECT_EQ(h.message(), u"");
  // A copy that does not answer, or no lock to be had: the user is told, naming the file.
  h.backend.otherCopies[key] = {ui::HeadlessBackend::kNever};
  EXPECT_EQ(tollora::start(), Started::Refused);
  EXPECT_NE(h.message().find(u"does not respond:\r\n" + key), std::u16string::npos);
  h.backend.otherCopies.clear();
  h.backend.freeLock = ui::Backend::InstanceLock::Unavailable;
  EXPECT_EQ(tollora::start(), Started::Refused);
  EXPECT_NE(h.message().find(u"only copy running for this alarm file:\r\n" + key), std::u16string::npos);
  EXPECT_EQ(h.app.formsCount(), 1) << "the message is the only window";
  EXPECT_TRUE(h.backend.trayCalls.empty()) << "no second icon";
  // A copy with another alarm file runs side by side.
  h.backend.freeLock = ui::Backend::InstanceLock::Held;
  h.backend.otherCopies[u"/some/other/portable/folder/alarm.ini"] = {};
  ASSERT_TRUE(h.startProgram());
  EXPECT_EQ(h.backend.claimedKeys, std::vector<std::u16string>{key});
}

TEST(OneCopy, TheRunningCopyComesForwardOutOfTheTrayWhenStartedAgain) {
  Harness h;
  ASSERT_TRUE(h.startProgram());
  auto& m = h.main();
  h.hide();
  EXPECT_FALSE(h.backend.startAgain(u"/another/alarm.ini"));
  EXPECT_FALSE(m.visible());
  EXPECT_TRUE(h.backend.startAgain(m.AlarmFilePath));
  EXPECT_TRUE(m.visible());
  EXPECT_EQ(m.WindowState(), ui::vbNormal);
  EXPECT_EQ(h.foreground(), m.hWnd());
  EXPECT_EQ(h.app.loadedInstance<Alert>(), nullptr) << "no exit question";
}

// What the Linux program prints where, and its status, is in tests/qt/instance_e2e.sh.
TEST(CommandLine, StartsWithTrayAnswersHelpAndVersionAndRefusesAnythingElse) {
  using Case = std::tuple<std::vector<std::u16string>, std::u16string, int>;  // words; the answer's first line, status
  for (const auto& [args, first, status] : std::vector<Case>{{{u"--tray"}, u"", 0},
                                                             {{u"--tray", u"--help"}, u"Usage: tollora [--tray]", 0},
                                                             {{u"--version"}, u"Tollora 1.1.0", 0},
                                                             {{u"--help", u"--TRAY"}, u"tollora: unknown option '--TRAY'", 2},
                                                             {{u"tray"}, u"tollora: unexpected argument 'tray'", 2}}) {
    const std::u16string answer = ParseCommandLine(args).answer.value_or(u"");
    EXPECT_EQ(answer.substr(0, answer.find(u'\n')), first);
    EXPECT_EQ(ParseCommandLine(args).status, status);
  }
  EXPECT_TRUE(ParseCommandLine({u"--tray"}).options.tray);
}

TEST(StartInTray, TrayStartsHiddenBehindTheIconAndStillRingsOrShownWithoutOne) {
  for (bool tray : {true, false}) {
    Harness h;
    h.backend.trayAvailable = tray;
    ASSERT_TRUE(h.startProgram({.tray = true}));
    EXPECT_EQ(h.main().visible(), !tray);
    if (!tray) continue;
    h.type(h.clockTextIn(5));
    h.advance(6000);
    EXPECT_TRUE(h.fired()) << "hidden, and still ringing";
  }
}

TEST(Tray, MinimiseHidesBehindTheIconWhoseClicksBringTheWindowBack) {
  Harness h;
  h.start();
  auto& m = h.main();
  ASSERT_EQ(h.backend.trayCalls.size(), 1u);
  EXPECT_EQ(h.backend.trayCalls[0].icon.hWnd, m.hWnd()) << "its clicks reach the main window";
  EXPECT_EQ(h.backend.trayCalls[0].icon.tip, u"Left Click To Restore / Right Click To Exit");
  h.hide();
  EXPECT_FALSE(m.visible());
  for (TrayClick click : {TrayClick::LeftUp, TrayClick::LeftDoubleClick}) {
    h.trayClick(click);
    EXPECT_TRUE(m.visible());
    EXPECT_EQ(m.WindowState(), ui::vbNormal);
    EXPECT_EQ(h.foreground(), m.hWnd());
    m.nativeStateChanged(ui::vbMinimized);  // minimised from the title bar
    EXPECT_FALSE(m.visible());
  }
  EXPECT_EQ(h.app.loadedInstance<Alert>(), nullptr);
}

TEST(Tray, AWindowIsNeverHiddenWhereNothingCouldBringItBack) {
  Harness h;
  h.backend.trayAvailable = false;
  h.start();
  auto& m = h.main();
  const auto normal = [&] { return m.visible() && m.WindowState() == ui::vbNormal; };
  h.hide();
  EXPECT_TRUE(m.visible() && m.WindowState() == ui::vbMinimized) << "minimised the ordinary way";
  // A panel that starts after the program: the icon goes in, and minimising hides into it.
  h.backend.setTrayAvailable(true);
  EXPECT_TRUE(h.backend.trayIconShown());
  h.trayClick();
  h.hide();
  EXPECT_FALSE(m.visible());
  // The panel ends: the hidden window comes back; minimised again it stays on the taskbar,
  // and ringing there brings it up.
  h.backend.setTrayAvailable(false);
  EXPECT_TRUE(normal());
  h.hide();
  h.type(h.clockTextIn(2));
  ASSERT_TRUE(h.until([&] { return h.fired(); }, 5000));
  EXPECT_TRUE(normal());
  h.click(m.cmdReset);
  // A panel that ends unannounced (Explorer that died) is found out by ringing and minimising.
  h.backend.trayAvailable = true;
  h.hide();
  ASSERT_FALSE(m.visible());
  h.backend.trayAvailable = false;
  h.type(h.clockTextIn(2));
  ASSERT_TRUE(h.until([&] { return h.fired(); }, 5000));
  EXPECT_TRUE(normal());
  EXPECT_TRUE(h.backend.trayNotes.empty());
  h.hide();
  EXPECT_TRUE(m.visible());
}

TEST(ExitConfirmation, ARightClickAsksOnceInFrontOfTheWindowAndNoClosesIt) {
  Harness h;
  h.start();
  auto& m = h.main();
  m.setLeft(1000);
  m.setTop(2000);
  h.hide();
  h.trayClick(TrayClick::RightDown);
  h.trayClick(TrayClick::RightDown);
  EXPECT_TRUE(m.visible());
  auto* alert = h.app.loadedInstance<Alert>();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(h.app.formsCount(), 2) << "one question, not two";
  EXPECT_TRUE(alert->visible() && alert->cmdExit.visible() && alert->cmdOk.caption() == u"No");
  EXPECT_EQ(alert->lblLabel2.caption(), u"Are Your Sure You Want To Exit?.");
  EXPECT_EQ(h.foreground(), alert->hWnd());
  EXPECT_EQ(std::pair(alert->Left(), alert->Top()), std::pair(1480, 2462)) << "over the main window";
  EXPECT_EQ(h.backend.sounds.size(), 1u) << "with the system's sound, once";
  h.click(alert->cmdOk);
  EXPECT_EQ(h.app.formsCount(), 1);
}

TEST(Shutdown, ClosingTheWindowOrYesClosesEveryWindowNewestFirstAndEndsTheProgram) {
  for (bool yes : {false, true}) {
    Harness h;
    h.start();
    auto& m = h.main();
    const ui::Handle main = m.hWnd();
    h.click(m.cmdAbout);
    h.trayClick(TrayClick::RightDown);
    const ui::Handle about = h.app.loadedInstance<About>()->hWnd(), alert = h.app.loadedInstance<Alert>()->hWnd();
    if (yes) h.click(h.app.loadedInstance<Alert>()->cmdExit);
    else m.nativeCloseRequested();
    EXPECT_EQ(h.backend.destroyedWindows, (std::vector<ui::Handle>{alert, about, main}));
    EXPECT_EQ(h.app.formsCount(), 0);
    EXPECT_FALSE(h.backend.trayIconShown());
    EXPECT_TRUE(h.backend.quitCalled);
  }
}

TEST(Message, OneAtATimeBesideTheMainWindowNeverOverIt) {
  Harness h;
  h.start();
  Alarm& m = h.main();
  const ui::Rect screen = h.backend.screen;
  // Where the main window stands, and where the message must then go.
  const struct { int left, top; const char* side; } cases[] = {
      {9000, 3000, "below"}, {9000, screen.height - 3200, "above"}, {-1, -1, "centred"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.side);
    if (c.left < 0) h.hide();
    m.setLeft(c.left);
    m.setTop(c.top);
    ReportProblem(u"first");
    ReportProblem(u"second");
    ASSERT_EQ(h.message(), u"second") << "a second report takes the place of the first";
    EXPECT_EQ(h.app.formsCount(), 2);
    const Message& box = *h.app.loadedInstance<Message>();
    EXPECT_EQ(h.foreground(), box.hWnd());
    const int top = box.Top(), bottom = top + box.ScaleHeight();
    if (c.left < 0) { EXPECT_NEAR(box.Left() + box.ScaleWidth() / 2, screen.width / 2, 300); }
    else if (c.side == std::string("below")) { EXPECT_GE(top, m.Top() + m.ScaleHeight()); }
    else { EXPECT_LE(bottom, m.Top()); }
    h.click(ui::form<Message>().cmdOk);
    EXPECT_EQ(h.message(), u"");
  }
}

TEST(About, OpensOverTheMainWindowWithItsNoteAndTheAuthorsPage) {
  Harness h;
  h.start();
  h.click(h.main().cmdAbout);
  auto* about = h.app.loadedInstance<About>();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(std::pair(about->Left(), about->Top()), std::pair(h.main().Left() + 480, h.main().Top() + 462));
  EXPECT_TRUE(h.backend.sounds.empty()) << "the About window is silent";
  const std::u16string note = about->txtText1.text();
  EXPECT_TRUE(note.starts_with(u"I wrote Tollora")) << "the whole note, not its first line";
  EXPECT_TRUE(note.ends_with(u"\r\n\r\nTell me what works and what not.\r\nContact: brenlow@example.org\r\n"));
  h.click(about->cmdCommand1);
  EXPECT_EQ(h.backend.openedUrls, std::vector<std::u16string>{u"https://example.org/brenlow/projects"});
  h.click(about->cmdCommand2);
  EXPECT_EQ(h.app.loadedInstance<About>(), nullptr);
}

}  // namespace
}  // namespace tollora::testing
