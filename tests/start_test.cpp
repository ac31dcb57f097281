// Starting: one copy per alarm file, --tray; the tray icon; the exit question, closing, messages, About.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "dialogs/about.h"
#include "dialogs/alert.h"
#include "dialogs/message.h"
#include "tests/harness.h"
#include "ui/posix/posix_instance.h"

namespace tollora::testing {
namespace {

using Lock = ui::Backend::InstanceLock;
using ui::TrayClick;

TEST(OneCopy, EveryStartSettlesWithinFourSecondsWithAClearResult) {
  using Claim = ui::App::Claim;
  constexpr auto never = ui::HeadlessBackend::kNever;
  using Holder = std::optional<ui::HeadlessBackend::OtherCopy>;
  const struct { const char* what; Holder holder; Lock freeLock; Claim result; } cases[] = {
      {"no other copy", std::nullopt, Lock::Held, Claim::Claimed},
      {"a holder that answers after a while", {{2500, never}}, Lock::Held, Claim::Forwarded},
      {"a stopped or hung holder", {{never, never}}, Lock::Held, Claim::NoAnswer},
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
  const std::u16string key = u16(h.iniPath()), linked = u16(h.folder / "linked" / "alarm.ini");
  fs::create_directory_symlink(h.folder, h.folder / "linked");
  h.backend.otherCopies[linked] = {};  // the same file through a linked folder
  EXPECT_EQ(tollora::start(), Started::Forwarded);
  EXPECT_EQ(h.backend.forwardedKeys, std::vector<std::u16string>{linked});
  EXPECT_EQ(h.message(), u"");
  h.backend.otherCopies = {{key, {ui::HeadlessBackend::kNever}}};
  EXPECT_EQ(tollora::start(), Started::Refused);
  EXPECT_NE(h.message().find(u"does not respond:\r\n" + key), std::u16string::npos);
  h.backend.otherCopies.clear();
  h.backend.freeLock = Lock::Unavailable;
  EXPECT_EQ(tollora::start(), Started::Refused);
  EXPECT_NE(h.message().find(u"only copy running for this alarm file:\r\n" + key), std::u16string::npos);
  EXPECT_EQ(h.app.formsCount(), 1) << "the message is the only window";
  EXPECT_TRUE(h.backend.trayCalls.empty()) << "no second icon";
  h.backend.freeLock = Lock::Held;
  h.backend.otherCopies[u"/some/other/portable/folder/alarm.ini"] = {};
  ASSERT_TRUE(h.startProgram());
  EXPECT_EQ(h.backend.claimedKeys, std::vector<std::u16string>{h.backend.files().identity(key)});
  // Started again with its file, the copy comes out of the tray and forward, without a question.
  h.hide();
  EXPECT_FALSE(h.backend.startAgain(u"/another/alarm.ini"));
  EXPECT_FALSE(h.main().visible());
  EXPECT_TRUE(h.backend.startAgain(linked));
  EXPECT_TRUE(h.main().visible() && h.main().WindowState() == ui::vbNormal && h.foreground() == h.main().hWnd());
  EXPECT_EQ(h.app.loadedInstance<Alert>(), nullptr);
}

TEST(OneCopy, TheLockFileGoesWithItsCopyAndTheNextStartLocksItsSuccessor) {
  Harness h;
  const fs::path run = h.folder / "run";
  fs::create_directory(run);
  fs::permissions(run, fs::perms::owner_all);
  ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);  // nothing else in the tests' process reads it
  auto first = std::make_unique<ui::PosixInstance>();
  ui::PosixInstance second, third;
  ASSERT_EQ(first->tryLock("t"), Lock::Held);
  EXPECT_EQ(namesIn(run), (std::vector<std::string>{"tollora-t.lock", "tollora-t.socket"}));
  EXPECT_EQ(second.tryLock("t"), Lock::Busy);
  first.reset();  // ends cleanly
  EXPECT_EQ(namesIn(run), std::vector<std::string>{});
  EXPECT_EQ(second.tryLock("t"), Lock::Held);
  EXPECT_EQ(third.tryLock("t"), Lock::Busy);
}

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

TEST(Tray, TrayStartsHiddenBehindTheIconWhoseClicksBringTheWindowBack) {
  Harness h;
  ASSERT_TRUE(h.startProgram({.tray = true}));
  auto& m = h.main();
  ASSERT_EQ(h.backend.trayCalls.size(), 1u);
  EXPECT_EQ(h.backend.trayCalls[0].icon.hWnd, m.hWnd()) << "its clicks reach the main window";
  EXPECT_EQ(h.backend.trayCalls[0].icon.tip, u"Left Click To Restore / Right Click To Exit");
  EXPECT_FALSE(m.visible());
  for (TrayClick click : {TrayClick::LeftUp, TrayClick::LeftDoubleClick}) {
    h.trayClick(click);
    EXPECT_TRUE(m.visible() && m.WindowState() == ui::vbNormal && h.foreground() == m.hWnd());
    m.nativeStateChanged(ui::vbMinimized);  // minimised from the title bar
    EXPECT_FALSE(m.visible());
  }
  EXPECT_EQ(h.app.loadedInstance<Alert>(), nullptr);
}

TEST(Tray, AWindowIsNeverHiddenWhereNothingCouldBringItBack) {
  Harness h;
  h.backend.trayAvailable = false;
  ASSERT_TRUE(h.startProgram({.tray = true}));
  auto& m = h.main();
  const auto normal = [&] { return m.visible() && m.WindowState() == ui::vbNormal; };
  EXPECT_TRUE(normal()) << "--tray with no tray starts shown";
  h.hide();
  EXPECT_TRUE(m.visible() && m.WindowState() == ui::vbMinimized) << "minimised the ordinary way";
  // A panel that starts after the program gets the icon.
  h.backend.setTrayAvailable(true);
  EXPECT_TRUE(h.backend.trayIconShown());
  h.trayClick();
  h.hide();
  EXPECT_FALSE(m.visible());
  // The panel ends: the hidden window comes back; ringing minimised brings it up.
  h.backend.setTrayAvailable(false);
  EXPECT_TRUE(normal());
  h.hide();
  h.type(h.clockTextIn(2));
  ASSERT_TRUE(h.until([&] { return h.fired(); }, 5000));
  EXPECT_TRUE(normal());
  EXPECT_EQ(h.backend.attentionCalls, std::vector<ui::Handle>{m.hWnd()}) << "where nothing else shows the ringing";
  h.click(m.cmdReset);
  // A panel that ends unannounced is found out by ringing and minimising.
  h.backend.trayAvailable = true;
  h.hide();
  ASSERT_FALSE(m.visible());
  h.backend.trayAvailable = false;
  h.type(h.clockTextIn(2));
  ASSERT_TRUE(h.until([&] { return h.fired(); }, 5000));
  EXPECT_TRUE(normal());
  EXPECT_TRUE(h.backend.trayNotes.empty());
  EXPECT_EQ(h.backend.attentionCalls.size(), 2u);
  h.hide();
  EXPECT_TRUE(m.visible());
}

TEST(Shutdown, ARightClickAsksOnceAndYesOrClosingTheWindowClosesEveryWindowNewestFirst) {
  for (bool yes : {false, true}) {
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
    const ui::Handle main = m.hWnd(), asked = alert->hWnd();
    h.click(alert->cmdOk);
    EXPECT_EQ(h.app.formsCount(), 1);
    h.click(m.cmdAbout);
    h.trayClick(TrayClick::RightDown);
    const ui::Handle about = h.app.loadedInstance<About>()->hWnd(), again = h.app.loadedInstance<Alert>()->hWnd();
    if (yes) h.click(h.app.loadedInstance<Alert>()->cmdExit);
    else m.nativeCloseRequested();
    EXPECT_EQ(h.backend.destroyedWindows, (std::vector<ui::Handle>{asked, again, about, main}));
    EXPECT_EQ(h.app.formsCount(), 0);
    EXPECT_FALSE(h.backend.trayIconShown());
    EXPECT_TRUE(h.backend.quitCalled);
  }
}

TEST(Message, OneAtATimeBesideTheMainWindowNeverUnderOrOverItNarrowerWhereItMustBe) {
  // Screens in twips less a task bar, the main window centred (at the bottom for "above").
  constexpr int kFrameWidth = 240, kFrameHeight = 720;
  enum Main { Shown, NotYetShown, Minimised };
  const struct { const char* what; int width, height; Main main; std::string_view side; } cases[] = {
      {"1920x1080, 96 dpi", 28800, 15600, Shown, "below"},
      {"1024x768, 96 dpi", 15360, 10920, Shown, "above"},
      {"1024x768, 192 dpi: narrower", 7680, 5160, Shown, "right"},
      {"at start, before the main window shows", 15360, 10920, NotYetShown, "below"},
      {"minimised with no notification area", 15360, 10920, Minimised, "centred"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.backend.screen = {0, 0, c.width, c.height};
    Alarm& m = h.main();
    const int mainWidth = m.ScaleWidth() + kFrameWidth, mainHeight = m.ScaleHeight() + kFrameHeight;
    m.setLeft((c.width - mainWidth) / 2);
    m.setTop(c.side == "above" ? c.height - mainHeight : (c.height - mainHeight) / 2);
    if (c.main == NotYetShown) fs::create_directory(h.iniPath());  // unreadable: reported while loading
    h.backend.trayAvailable = c.main != Minimised;
    h.start();
    if (c.main == Minimised) h.hide();
    ReportProblem(u"first");
    ReportProblem(u"second");
    ReportProblem(u"second");
    ASSERT_TRUE(h.message().ends_with(u"first\r\n\r\nsecond")) << "a second report joins the first, once";
    EXPECT_EQ(h.app.formsCount(), 2);
    const Message& box = *h.app.loadedInstance<Message>();
    EXPECT_EQ(h.foreground(), box.hWnd());
    EXPECT_EQ(h.backend.attentionCalls.back(), box.hWnd()) << "asked to be seen, wherever the focus is";
    const int left = box.Left(), top = box.Top(), right = left + box.ScaleWidth() + kFrameWidth, bottom = top + box.ScaleHeight() + kFrameHeight;
    EXPECT_TRUE(left >= 0 && top >= 0 && right <= c.width && bottom <= c.height) << "on the screen";
    EXPECT_EQ(box.ScaleWidth() < 6000, box.ScaleHeight() > 2160) << "taller where narrower, else its own size";
    EXPECT_EQ(box.cmdOk.rect.left + box.cmdOk.rect.width + 120, box.ScaleWidth()) << "OK in its corner";
    if (c.side == "centred") { EXPECT_NEAR((left + right) / 2, c.width / 2, 300); }
    else if (c.side == "below") { EXPECT_GE(top, m.Top() + mainHeight); }
    else if (c.side == "above") { EXPECT_LE(bottom, m.Top()); }
    else { EXPECT_GE(left, m.Left() + mainWidth); }
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
