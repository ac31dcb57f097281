// What the window layer and the file system promise the program whatever the platform: a
// single-line box holds one line, a save goes where the file really lives, and an alarm that
// fires in the notification area is announced there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tests/harness.h"

namespace tollora::testing {
namespace {

namespace fs = std::filesystem;

struct Boxes : ui::Form {
  Boxes() : ui::Form(u"Boxes") { notes.multiLine = true; }
  ui::TextBox line{*this, "line"};
  ui::TextBox notes{*this, "notes"};
};

TEST(SingleLineBox, APasteKeepsWhatItBringsUpToItsFirstLineBreak) {
  ui::HeadlessBackend backend;
  ui::App app{backend};
  auto& box = ui::form<Boxes>().line;

  // Into an empty box, a copied line with its line break, or two lines.
  EXPECT_EQ(box.nativeEdited(u"12/24/2026 7:30:00 AM\r\n"), 21u);
  EXPECT_EQ(box.text(), u"12/24/2026 7:30:00 AM");
  box.nativeEdited(u"first\nsecond\n");
  EXPECT_EQ(box.text(), u"first");

  // Into the middle of a line: the line around the paste stays, the caret follows what was
  // kept. The native caret tells where the paste ended...
  box.nativeEdited(u"12/24/2026 AM");
  const std::u16string pasted = u"12/24/2026 7:30:00\r\nTimeBAK=x\r\n AM";
  EXPECT_EQ(box.nativeEdited(pasted, pasted.size() - 3), 18u);
  EXPECT_EQ(box.text(), u"12/24/2026 7:30:00 AM");
  // ... and without it the difference from the line before does.
  box.nativeEdited(u"ab");
  EXPECT_EQ(box.nativeEdited(u"abb\nb"), 3u);
  EXPECT_EQ(box.text(), u"abb");
  box.nativeEdited(u"ab");
  EXPECT_EQ(box.nativeEdited(u"ax\nyb"), 2u);
  EXPECT_EQ(box.text(), u"axb");
  // A caret that cannot be right (a text set from outside leaves it at the start) is not trusted.
  EXPECT_EQ(box.nativeEdited(u"new\nline", 0), 3u);
  EXPECT_EQ(box.text(), u"new");

  // Every kind of line break ends the line, also as the first character.
  for (char16_t brk : {u'\r', u'\n', u'\v', u'\f', u'\u0085', u'\u2028', u'\u2029'}) {
    box.nativeEdited(u"");
    box.nativeEdited(std::u16string(u"a") + brk + u"b");
    EXPECT_EQ(box.text(), u"a") << int(brk);
    box.nativeEdited(std::u16string(1, brk) + u"b");
    EXPECT_EQ(box.text(), u"") << int(brk);
  }
  // Typing stays untouched, and so does a text without breaks, blanks and all.
  EXPECT_EQ(box.nativeEdited(u" a\tb "), 5u);
  EXPECT_EQ(box.text(), u" a\tb ");
}

TEST(SingleLineBox, TheProgramCannotPutALineBreakInEitherButAMultiLineBoxKeepsThem) {
  ui::HeadlessBackend backend;
  ui::App app{backend};
  auto& boxes = ui::form<Boxes>();
  boxes.line.setText(u"from a file\r\n[ALARM]\r\nTime=x");
  EXPECT_EQ(boxes.line.text(), u"from a file");
  boxes.notes.setText(u"one\r\ntwo");
  EXPECT_EQ(boxes.notes.text(), u"one\r\ntwo");
  boxes.notes.nativeEdited(u"three\nfour");
  EXPECT_EQ(boxes.notes.text(), u"three\nfour");
}

TEST(SingleLineBox, ATwoLinePasteSavesTheFirstLineAndTheFileKeepsItsThreeLines) {
  Harness h;
  h.start();
  h.type(u"12/24/2026 7:30:00 AM\r\n[OTHER]\r\nTime=01/01/2020 1:00:00 AM\r\n");
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=\r\n");
}

// --- saving through a symbolic link -------------------------------------------------------

std::string contents(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// Names in `folder` other than the ones given: leftovers of a save.
std::vector<std::string> othersIn(const fs::path& folder, std::vector<std::string> known) {
  std::vector<std::string> others;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
  }
  return others;
}

TEST(PosixFiles, ASaveThroughASymbolicLinkReplacesTheTargetAndKeepsTheLink) {
  Harness h;
  const fs::path elsewhere = h.folder / "elsewhere";
  fs::create_directory(elsewhere);
  write(elsewhere / "real.ini", "old");
  ::chmod((elsewhere / "real.ini").c_str(), 0600);
  fs::create_symlink("elsewhere/real.ini", h.iniPath());

  ui::PosixFileSystem files;
  const auto r = files.replace(ui::fromUtf8(h.iniPath().string()), "new");
  ASSERT_TRUE(r.ok) << ui::toUtf8(r.reason);
  ASSERT_TRUE(fs::is_symlink(h.iniPath()));
  EXPECT_EQ(fs::read_symlink(h.iniPath()), "elsewhere/real.ini");
  EXPECT_EQ(contents(elsewhere / "real.ini"), "new");
  struct stat st {};
  ASSERT_EQ(::stat((elsewhere / "real.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(othersIn(h.folder, {"alarm.ini", "elsewhere"}), std::vector<std::string>{}) << "no temporary beside the link";
  EXPECT_EQ(othersIn(elsewhere, {"real.ini"}), std::vector<std::string>{}) << "nor beside the target";
}

TEST(PosixFiles, LinksToLinksAndDanglingLinksReachTheirLastTarget) {
  Harness h;
  const fs::path a = h.folder / "a", b = h.folder / "a" / "b";
  fs::create_directories(b);
  // alarm.ini -> a/one.ini -> b/two.ini (relative to a/) -> /abs/.../b/real.ini, not there yet.
  fs::create_symlink("a/one.ini", h.iniPath());
  fs::create_symlink("b/two.ini", a / "one.ini");
  fs::create_symlink(b / "real.ini", b / "two.ini");
  ui::PosixFileSystem files;
  ASSERT_TRUE(files.replace(ui::fromUtf8(h.iniPath().string()), "made").ok);
  EXPECT_EQ(contents(b / "real.ini"), "made");
  EXPECT_TRUE(fs::is_symlink(h.iniPath()) && fs::is_symlink(a / "one.ini") && fs::is_symlink(b / "two.ini"));
  EXPECT_FALSE(fs::is_symlink(b / "real.ini"));
}

TEST(PosixFiles, ALinkThatLoopsFailsWithAReasonAndCreatesNothing) {
  Harness h;
  fs::create_symlink("other.ini", h.iniPath());
  fs::create_symlink("alarm.ini", h.folder / "other.ini");
  ui::PosixFileSystem files;
  const auto r = files.replace(ui::fromUtf8(h.iniPath().string()), "new");
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.reason.empty());
  EXPECT_EQ(othersIn(h.folder, {"alarm.ini", "other.ini"}), std::vector<std::string>{});
}

TEST(PosixFiles, TheProgramLoadsAndSavesThroughALinkedAlarmFile) {
  Harness h;
  const fs::path kept = h.folder / "kept";
  fs::create_directory(kept);
  write(kept / "alarm.ini", "[ALARM]\r\nTime=old\r\nTimeBAK=note\r\n");
  fs::create_symlink(kept / "alarm.ini", h.iniPath());
  h.start();
  EXPECT_EQ(h.main().txtTime(0).text(), u"old");
  h.type(u"12/24/2026 7:30:00 AM");
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.message(), u"");
  EXPECT_TRUE(fs::is_symlink(h.iniPath()));
  EXPECT_EQ(contents(kept / "alarm.ini"), "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=note\r\n");
}

// --- the notification when the alarm fires in the tray --------------------------------------

TEST(TrayNotification, AnAlarmFiringWhileHiddenIsAnnouncedFromTheIconAndTheWindowStaysHidden) {
  Harness h;
  h.start();
  h.advance(3000);
  h.main().cmdMin_Click();
  ASSERT_FALSE(h.main().visible());
  const std::u16string alarm = h.clockTextIn(3);
  h.type(alarm);
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 5000));
  ASSERT_EQ(h.backend.trayNotes.size(), 1u);
  EXPECT_EQ(h.backend.trayNotes[0].first, u"Time's Up!");
  EXPECT_EQ(h.backend.trayNotes[0].second, alarm);
  h.advance(5000);
  EXPECT_FALSE(h.main().visible());
  EXPECT_EQ(h.backend.trayNotes.size(), 1u) << "once, not with every beep";

  // Clicking it is a left click on the icon: the window comes back.
  h.main().nativeTrayClick(ui::TrayClick::LeftUp);
  EXPECT_TRUE(h.main().visible());
}

TEST(TrayNotification, AnAlarmFiringInTheShownWindowGivesNoNotification) {
  Harness h;
  h.start();
  h.advance(3000);
  h.type(h.clockTextIn(3));
  ASSERT_TRUE(h.backend.advanceUntil([&] { return h.fired(); }, 5000));
  EXPECT_TRUE(h.backend.trayNotes.empty());
}

}  // namespace
}  // namespace tollora::testing
