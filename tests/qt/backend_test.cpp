// The real program on Qt's offscreen platform: the controls show on the widgets, clicks and tray activations come back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "alarm/clock_text.h"
#include "app/alarm_form.h"
#include "app/colors.h"
#include "app/program.h"
#include "dialogs/about.h"
#include "dialogs/message.h"
#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_look.h"
#include "ui/qt/qt_peers.h"

namespace {

// Frees what deleteLater left behind.
void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class QtProgram : public ::testing::Test {
 protected:
  QtProgram() {
    std::filesystem::create_directory(folder / "run");
    std::filesystem::permissions(folder / "run", std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
    tollora::start();
  }
  ~QtProgram() override {
    if (app.running()) main().UnloadAll();
    settle();
  }

  tollora::Alarm& main() { return ui::form<tollora::Alarm>(); }
  static QWidget* window(const ui::Form& form) { return ui::qt::windowOf(form.hWnd()); }
  template <class W>
  static W* widget(const ui::Form& form, const char* name) {
    return window(form)->findChild<W*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
  }

  QTemporaryDir scratch;
  std::filesystem::path folder = scratch.path().toStdString();
  ui::qt::QtBackend backend{ui::fromUtf8(folder.string())};
  ui::App app{backend};
};

TEST_F(QtProgram, MainWindowShowsTheForm) {
  QWidget* w = window(main());
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Tollora v1.1"));
  EXPECT_EQ(w->size(), QSize(288, 154));  // 4320 x 2310 twips
  EXPECT_LE((w->geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center()).manhattanLength(), 8);
  EXPECT_EQ(widget<QLineEdit>(main(), "txtTime(0)")->geometry(), QRect(3, 9, 280, 24));  // 40, 140, 4200 x 360 twips
  EXPECT_EQ(widget<QPushButton>(main(), "cmdSetAlarm")->cursor().hotSpot(), QPoint(12, 1));
  main().cmdSetAlarm.setToolTip(u"Rings on Saturday");
  QPushButton* setAlarm = widget<QPushButton>(main(), "cmdSetAlarm");
  EXPECT_TRUE(setAlarm->toolTip() == "Rings on Saturday" && setAlarm->accessibleDescription() == "Rings on Saturday");
  main().cmdSetAlarm.setBackColor(tollora::ColorAlarmRed);  // COLORREF 0x002323E6: red, not blue
  const QImage face = setAlarm->grab().toImage();
  EXPECT_EQ(face.pixelColor(face.width() / 2, 4), QColor(0xE6, 0x23, 0x23)) << "a graphical button takes its new colour";
  // The whole clock text in a font far wider than the one named.
  QLabel* clock = widget<QLabel>(main(), "lblTime");
  clock->setFont(QFont(QStringLiteral("DejaVu Sans"), 14, QFont::Bold));
  main().lblTime.setCaption(u"12/28/2026 12:58:58 PM");
  EXPECT_LE(clock->sizeHint().width(), clock->width());
  EXPECT_EQ(clock->geometry(), QRect(5, 40, 164, 16));
  QStringList walk{w->focusWidget()->objectName()};
  for (QWidget* f = w->focusWidget()->nextInFocusChain(); f != w->focusWidget(); f = f->nextInFocusChain())
    if (f->isVisible() && f->focusPolicy() & Qt::TabFocus) walk << f->objectName();
  EXPECT_EQ(walk, QStringList({"cmdSetAlarm", "txtTime(0)", "cmdMin", "cmdAbout"}));
  main().nativeTrayClick(ui::TrayClick::RightDown);
  const ui::Form* alert = ui::app().forms().back();
  EXPECT_EQ(window(*alert)->focusWidget(), widget<QPushButton>(*alert, "cmdOk")) << "the exit confirmation starts on No";
}

TEST_F(QtProgram, TheClockTicksShownHoldsHiddenAndTheAimedAlarmRingsAtItsSecond) {
  QLabel* label = widget<QLabel>(main(), "lblTime");
  const QString first = label->text();
  ASSERT_TRUE(QTest::qWaitFor([&] { return label->text() != first; }, 3000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !main().TimerCheck.enabled(); }, 5000));
  main().Hide();
  std::vector<std::pair<std::u16string, std::int64_t>> shown;
  app.observer = [&](const ui::Control& c, ui::Prop p) {
    if (&c == &main().lblTime && p == ui::Prop::Caption) shown.emplace_back(main().lblTime.caption(), ui::localMs(backend.now()));
  };
  const std::int64_t due = (ui::localMs(backend.now()) / 1000 + 3) * 1000;
  const ui::LocalTime t = ui::fromLocalMs(due);
  const std::u16string text = tollora::FormatClockText(t, t, backend.regional());
  main().txtTime(0).nativeEdited(text);
  ASSERT_TRUE(QTest::qWaitFor([&] { return main().TimerNotify.enabled(); }, 6000));
  app.observer = nullptr;
  // No tick in the seconds before: only the alarm's second, its text and then "Time's Up!".
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].first, text);
  EXPECT_EQ(shown[1].first, u"Time's Up!");
  EXPECT_GE(shown[1].second, due);
  EXPECT_LT(shown[1].second, due + 100);
}

TEST_F(QtProgram, TheRingPutsTheKeysOnStopReset) {
  window(main())->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window(main())));
  widget<QLineEdit>(main(), "txtTime(0)")->setFocus();
  main().txtTime(0).setText(u"12/24/2030 7:30:00 AM");
  main().Fire();
  EXPECT_EQ(QApplication::focusWidget(), widget<QPushButton>(main(), "cmdReset"));
  QTest::keyClick(window(main())->windowHandle(), Qt::Key_Return);
  EXPECT_FALSE(main().TimerNotify.enabled()) << "Enter stops the ring";
  EXPECT_EQ(main().txtTime(0).text(), u"12/24/2030 7:30:00 AM");
}

TEST_F(QtProgram, APastedOrSetSecondLineNeverReachesTheAlarmBox) {
  QLineEdit* box = widget<QLineEdit>(main(), "txtTime(0)");
  main().txtTime(0).setText(u"12/24/2026 AM");
  box->setCursorPosition(10);
  QGuiApplication::clipboard()->setText(QStringLiteral(" 7:30:00\n[ALARM]\nTime=x\n"));
  box->paste();
  EXPECT_EQ(main().txtTime(0).text(), u"12/24/2026 7:30:00 AM");
  EXPECT_EQ(box->text(), QStringLiteral("12/24/2026 7:30:00 AM")) << "the widget shows what the box holds";
  EXPECT_EQ(box->cursorPosition(), 18);
  // The widget's own calls, as an accessibility tool's "set value" makes them.
  for (auto set : {&QLineEdit::setText, &QLineEdit::insert}) {
    box->clear();
    (box->*set)(QStringLiteral("12/08/2026 7:30:00 PM\r\nM"));
    EXPECT_EQ(main().txtTime(0).text(), u"12/08/2026 7:30:00 PM");
    EXPECT_EQ(box->text(), QStringLiteral("12/08/2026 7:30:00 PM"));
  }
}

TEST_F(QtProgram, AFailedSaveIsToldInAWindowThatBlocksNothing) {
  std::filesystem::create_directory(folder / "alarm.ini");
  QTest::mouseClick(widget<QPushButton>(main(), "cmdSetAlarm"), Qt::LeftButton);
  auto* message = ui::app().loadedInstance<tollora::Message>();
  ASSERT_NE(message, nullptr);
  QPointer<QWidget> shown = window(*message);
  EXPECT_TRUE(shown->isVisible());
  EXPECT_TRUE(widget<QPlainTextEdit>(*message, "txtText")->toPlainText().contains(QStringLiteral("could not be saved")));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // The ring goes on with the message open; a click through the window system stops it.
  main().txtTime(0).setText(u"12/24/2030 7:30:00 AM");
  main().Fire();
  ASSERT_TRUE(main().TimerNotify.enabled());
  QPushButton* reset = widget<QPushButton>(main(), "cmdReset");
  EXPECT_NE(QApplication::activeWindow(), window(main()));
  QTest::mouseClick(window(main())->windowHandle(), Qt::LeftButton, {}, reset->mapTo(window(main()), reset->rect().center()));
  EXPECT_FALSE(main().TimerNotify.enabled()) << "Stop/Reset took the click";
  QTest::mouseClick(widget<QPushButton>(*message, "cmdOk"), Qt::LeftButton);
  settle();
  EXPECT_TRUE(shown.isNull());
}

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
  Q_INVOKABLE void open(const QUrl& url) { opened.append(url); }
};

TEST_F(QtProgram, AboutOpensTheAddressWithoutAShellAndItsCloseButtonUnloadsIt) {
  QTest::mouseClick(widget<QPushButton>(main(), "cmdAbout"), Qt::LeftButton);
  auto* about = app.loadedInstance<tollora::About>();
  ASSERT_NE(about, nullptr);
  QPointer<QWidget> w = window(*about);
  EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
  UrlCatcher catcher;
  for (const char* scheme : {"https", "ftp"}) QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "open");
  QTest::mouseClick(widget<QPushButton>(*about, "cmdCommand1"), Qt::LeftButton);
  backend.openUrl(u"ftp://example.org/x");
  for (const char* scheme : {"https", "ftp"}) QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl(QStringLiteral("https://example.org/brenlow/projects"))}) << "http(s) only";
  // Unloaded under its own button's signal: the widgets must outlive it.
  QTest::mouseClick(widget<QPushButton>(*about, "cmdCommand2"), Qt::LeftButton);
  EXPECT_EQ(app.loadedInstance<tollora::About>(), nullptr);
  settle();
  EXPECT_TRUE(w.isNull());
}

struct Probe : ui::Form {
  Probe() : ui::Form(u"Probe") { setClientSize(1500, 1500); }
  void Form_TrayMessage(ui::TrayClick click) override { clicks.push_back(click); }
  void Form_TimeChanged() override { ++timeChanges; }
  std::vector<ui::TrayClick> clicks;
  int timeChanges = 0;
};

TEST(QtNative, TrayActivationsAndNewZoneFilesReachTheProgram) {
  ui::qt::QtBackend backend{u"/nonexistent"};
  ui::App app{backend};
  Probe& probe = ui::form<Probe>();
  probe.Show();
  ui::TrayIcon icon;
  icon.hWnd = probe.hWnd();
  backend.trayShow(icon);
  for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick})
    backend.trayActivated(reason);
  using ui::TrayClick;
  EXPECT_EQ(probe.clicks, (std::vector<TrayClick>{TrayClick::LeftUp, TrayClick::LeftDoubleClick, TrayClick::RightDown}));
  // A new zone file, as timedatectl (renamed onto the old) and `ln -sf` (removed, made) put it.
  QTemporaryDir scratch;
  const std::filesystem::path folder = scratch.path().toStdString(), zone = folder / "localtime";
  backend.watchZone(zone.string());
  for (int n = 1; n <= 3; ++n) {
    const char* target = n == 2 ? "/usr/share/zoneinfo/Etc/GMT-1" : "/usr/share/zoneinfo/Etc/UTC";
    if (n == 3) std::filesystem::remove(zone);
    std::filesystem::create_symlink(target, n == 3 ? zone : folder / ".#localtime");
    if (n < 3) std::filesystem::rename(folder / ".#localtime", zone);
    EXPECT_TRUE(QTest::qWaitFor([&] { return probe.timeChanges == n; }, 1000)) << n;
  }
  probe.Unload();
  settle();
}

TEST(QtSound, TheBeepIsFoundBesideTheProgramOrWhereAPackageKeepsIt) {
  QTemporaryDir scratch;
  const std::filesystem::path root = scratch.path().toStdString(), bin = root / "usr/bin", shared = root / "usr/share/tollora";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(shared);
  std::ofstream(shared / "beep.wav") << "RIFF";
  ui::qt::QtBackend backend{ui::fromUtf8(bin.string())};
  const auto found = [&](const std::filesystem::path& p) { return backend.soundFile(ui::fromUtf8(p.string())).toStdString(); };
  EXPECT_EQ(found(bin / "beep.wav"), (shared / "beep.wav").string());
  std::ofstream(bin / "beep.wav") << "RIFF";
  EXPECT_EQ(found(bin / "beep.wav"), (bin / "beep.wav").string()) << "a portable copy's own";
  EXPECT_EQ(found(bin) + found(bin / "other.wav"), "") << "a folder or a missing file names no sound";
  ui::qt::SoundPlayer player;
  for (const auto& file : {bin / "beep.wav", bin / "other.wav"})
    EXPECT_NE(player.play(file.string()), ui::qt::SoundPlayer::Played::File) << file;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}

#include "backend_test.moc"
