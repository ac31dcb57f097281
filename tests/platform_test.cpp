// What the window layer and the file system promise the program whatever the platform: a
// single-line box holds one line, a save goes where the file really lives, and an alarm that
// fires in the notification area is announced there.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
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

TEST(PosixFiles, WhatIsNoRegularFileIsNeitherReadNorReplacedAndNothingWaits) {
  Harness h;
  const fs::path pipe = h.folder / "pipe.ini", folder = h.folder / "folder.ini", socket = h.folder / "socket.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  fs::create_directory(folder);
  // A socket stands in for a device, which only root may make (and a failing run must not
  // harm a real one).
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ui::PosixFileSystem files;
  for (const fs::path& p : {pipe, folder, socket}) {
    const auto type = fs::status(p).type();
    const auto r = files.read(ui::fromUtf8(p.string()), 100);
    EXPECT_EQ(r.status, ui::ReadResult::Status::Unreadable) << p;
    EXPECT_NE(r.reason.find(u"not a file"), std::u16string::npos) << p;
    EXPECT_FALSE(files.replace(ui::fromUtf8(p.string()), "new").ok) << p;
    EXPECT_EQ(fs::status(p).type(), type) << p;
  }
  ::close(fd);
  EXPECT_EQ(othersIn(h.folder, {"pipe.ini", "folder.ini", "socket.ini"}), std::vector<std::string>{});
}

// --- links another user may have planted ----------------------------------------------------

// Runs `body` in a child process as the unprivileged user "nobody", as the user of a shared
// machine; returns the child's exit status.
int asNobody(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
      ::_exit(100);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

TEST(PosixFiles, AsAnOrdinaryUserPlantedLinksUnreadableFilesAndUnwritableFoldersAreRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  Harness h;
  // The victim's own file, and a folder everyone may write to, as /tmp.
  const fs::path victim = h.folder / "victim", shared = h.folder / "shared";
  fs::create_directory(victim);
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  write(victim / "alarm.ini", "mine");
  write(h.folder / "secret.ini", "root's");
  ::chmod((h.folder / "secret.ini").c_str(), 0600);
  write(h.folder / "open.ini", "old");  // anyone's to write, in a folder that is not
  ::chmod((h.folder / "open.ini").c_str(), 0666);
  ASSERT_EQ(::chown(victim.c_str(), 65534, 65534) | ::chown((victim / "alarm.ini").c_str(), 65534, 65534), 0);
  // A link of a third user's, and one the victim made.
  fs::create_symlink(victim / "alarm.ini", shared / "alarm.ini");
  fs::create_symlink(victim / "alarm.ini", shared / "own.ini");
  ASSERT_EQ(::lchown((shared / "alarm.ini").c_str(), 65533, 65533) | ::lchown((shared / "own.ini").c_str(), 65534, 65534), 0);

  const int failed = asNobody([&] {
    ui::PosixFileSystem files;
    const std::u16string planted = ui::fromUtf8((shared / "alarm.ini").string());
    int bad = 0;
    const auto r = files.read(planted, 100);
    if (r.status != ui::ReadResult::Status::Unreadable || r.reason.find(planted) == std::u16string::npos) bad |= 1;
    const auto w = files.replace(planted, "evil");
    if (w.ok || w.reason.find(planted) == std::u16string::npos || contents(victim / "alarm.ini") != "mine") bad |= 2;
    if (!files.replace(ui::fromUtf8((shared / "own.ini").string()), "new").ok) bad |= 4;
    // A file there that may not be read is no missing file.
    const auto secret = files.read(ui::fromUtf8((h.folder / "secret.ini").string()), 100);
    if (secret.status != ui::ReadResult::Status::Unreadable || secret.reason != u"Permission denied") bad |= 8;
    // A folder that may not be written fails the save cleanly.
    const auto open = files.replace(ui::fromUtf8((h.folder / "open.ini").string()), "new");
    if (open.ok || open.reason.empty() || contents(h.folder / "open.ini") != "old") bad |= 16;
    return bad;
  });
  EXPECT_EQ(failed, 0) << "1: read through, 2: written through, 4: own link refused, 8: unreadable, 16: unwritable";
  EXPECT_EQ(contents(victim / "alarm.ini"), "new");
  EXPECT_EQ(othersIn(shared, {"alarm.ini", "own.ini"}), std::vector<std::string>{});
}

// --- the leftovers of killed saves ----------------------------------------------------------

TEST(PosixFiles, ASaveClearsOnlyItsOwnLeftoversOfEndedProcesses) {
  Harness h;
  const std::string ended = "999999999", running = std::to_string(::getpid());
  const std::pair<std::string, bool> planted[] = {
      {"alarm.ini.tmp-" + ended + "-123456", false},  // a killed save's
      {"alarm.ini.tmp-" + ended + "-probe", false},   // a killed start's
      {"alarm.ini.tmp-" + running + "-7", true},       // a save still running
      {"alarm.ini.tmp-notes.txt", true},               // the user's own
      {"alarm.ini.tmp-backup", true},
      {"alarm.ini.tmp-" + ended + "-1.bak", true},
      {"alarm.ini.tmp-" + ended + "-", true},
      {"other.ini.tmp-" + ended + "-1", true},
  };
  std::vector<std::string> kept = {"alarm.ini"};
  for (const auto& [name, stays] : planted) {
    write(h.folder / name, "x");
    if (stays) kept.push_back(name);
  }
  ASSERT_TRUE(ui::PosixFileSystem().replace(ui::fromUtf8(h.iniPath().string()), "new").ok);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(h.folder)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(left, kept);
}

// --- an installed program ------------------------------------------------------------------

TEST(AlarmHome, AProgramInASystemFolderKeepsTheAlarmInTheUsersFolderEvenWhereItCouldWrite) {
  Harness h;  // root, or a folder the user may write to: canCreate says yes
  h.backend.programInSystemFolder = true;
  ASSERT_TRUE(h.startProgram());
  EXPECT_EQ(h.main().AlarmFilePath, ui::fromUtf8((h.settingsFolder() / "alarm.ini").string()));
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(othersIn(h.folder, {"home"}), std::vector<std::string>{}) << "nothing beside the program";
}

TEST(PosixFiles, SystemFoldersAreTheSystemsOwnAndTheInstallFolderOutsideTheHome) {
  const char* old = std::getenv("HOME");
  const std::string kept = old ? old : "";
  ::setenv("HOME", "/home/ann", 1);
  const std::pair<const char*, bool> cases[] = {
      {"/usr/bin", true}, {"/usr/local/bin", true}, {"/bin", true}, {"/sbin", true}, {"/lib64/x", true},
      {"/opt/tollora", true}, {"/etc", true}, {"/var/lib/x", true}, {"/srv/apps/bin", true},
      {"/home/ann/.local/bin", false}, {"/home/ann/tollora", false}, {"/tmp/x", false}, {"/usrx", false}, {"/srv/apps", false},
  };
  for (const auto& [folder, system] : cases) EXPECT_EQ(ui::posixSystemFolder(folder, "/srv/apps/bin"), system) << folder;
  EXPECT_FALSE(ui::posixSystemFolder("/home/ann/.local/bin", "/home/ann/.local/bin")) << "installed into the home";
  old ? ::setenv("HOME", kept.c_str(), 1) : ::unsetenv("HOME");
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
