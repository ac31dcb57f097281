// alarm.ini on a real disk: loading and saving it, where it lives, links, things that are no
// file, other users' files and links, and the leftovers of killed saves.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/harness.h"

namespace tollora::testing {
namespace {

const std::string kSaved = "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=\r\n";

TEST(AlarmFile, LoadsTheTwoValuesAndSavesExactlyTheThreeLines) {
  Harness h;
  h.writeIni("[ALARM]\r\nTime=old\r\nTimeBAK=call the dentist\r\n; note\r\n[extra]\r\nk=v\r\n");
  h.start();
  EXPECT_EQ(h.main().txtTime(0).text(), u"old");
  h.setAlarm(u"01/11/2022 1:11:01 PM");
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=01/11/2022 1:11:01 PM\r\nTimeBAK=call the dentist\r\n");
  h.main().txtTimeBAK(1).setText(u"");
  h.setAlarm(u"");
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=\r\nTimeBAK=\r\n");
  EXPECT_EQ(h.message(), u"");
  EXPECT_EQ(namesIn(h.folder), std::vector<std::string>{"alarm.ini"}) << "and nothing beside it";
  // What a save writes the next start reads back, however long.
  h.setAlarm(std::u16string(10000, u'y'));
  h.main().Unload();  // the program ends; the window's next use is a fresh start
  h.start();
  EXPECT_EQ(h.main().txtTime(0).text(), std::u16string(10000, u'y'));
  // In a narrow code page where it holds the text, else in UTF-8 behind a byte-order mark.
  h.backend.latin1CodePage = true;
  h.setAlarm(u"caf\u00e9");
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=caf\xE9\r\nTimeBAK=\r\n");
  h.setAlarm(u"\u20ac 5 alarm");
  EXPECT_EQ(h.readIni(), "\xEF\xBB\xBF[ALARM]\r\nTime=\xE2\x82\xAC 5 alarm\r\nTimeBAK=\r\n");
}

TEST(PosixFiles, ASaveThroughLinksReplacesTheLastTargetAndKeepsLinksAndMode) {
  Harness h;
  // alarm.ini -> a/one.ini -> b/two.ini (relative to a/) -> /abs/.../b/real.ini, mode 0600.
  const fs::path a = h.folder / "a", b = a / "b";
  fs::create_directories(b);
  fs::create_symlink("a/one.ini", h.iniPath());
  fs::create_symlink("b/two.ini", a / "one.ini");
  fs::create_symlink(b / "real.ini", b / "two.ini");
  put(b / "real.ini", "[ALARM]\r\nTime=old\r\nTimeBAK=note\r\n");
  ::chmod((b / "real.ini").c_str(), 0600);
  h.start();
  EXPECT_EQ(h.main().txtTime(0).text(), u"old");
  h.setAlarm(u"12/24/2026 7:30:00 AM");
  EXPECT_EQ(h.message(), u"");
  EXPECT_EQ(slurp(b / "real.ini"), "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=note\r\n");
  EXPECT_EQ(fs::status(b / "real.ini").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(fs::is_symlink(h.iniPath()) && fs::is_symlink(a / "one.ini") && fs::is_symlink(b / "two.ini"));
  EXPECT_EQ(namesIn(h.folder), (std::vector<std::string>{"a", "alarm.ini"})) << "no temporary left";
  EXPECT_EQ(namesIn(b), (std::vector<std::string>{"real.ini", "two.ini"}));
  // A link that loops fails with a reason and creates nothing.
  fs::create_symlink("loop.ini", h.folder / "other.ini");
  fs::create_symlink("other.ini", h.folder / "loop.ini");
  EXPECT_NE(ui::PosixFileSystem().replace(u16(h.folder / "loop.ini"), "x").reason, u"");
  EXPECT_EQ(namesIn(h.folder), (std::vector<std::string>{"a", "alarm.ini", "loop.ini", "other.ini"}));
}

TEST(PosixFiles, WhatIsNoRegularFileIsNeitherReadNorReplacedAndNothingWaits) {
  Harness h;
  const fs::path pipe = h.iniPath(), folder = h.folder / "folder.ini", socket = h.folder / "socket.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  fs::create_directory(folder);
  // A socket stands in for a device, which only root may make (and a failing run must not
  // harm a real one).
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socket.string().copy(address.sun_path, sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ui::PosixFileSystem files;
  for (const fs::path& p : {pipe, folder, socket}) {
    const auto type = fs::status(p).type();
    const auto r = files.read(u16(p), 100);
    EXPECT_EQ(r.status, ui::ReadResult::Status::Unreadable) << p;
    EXPECT_NE(r.reason.find(u"not a file"), std::u16string::npos) << p;
    EXPECT_FALSE(files.replace(u16(p), "new").ok) << p;
    EXPECT_EQ(fs::status(p).type(), type) << p;
  }
  ::close(fd);
  EXPECT_EQ(namesIn(h.folder), (std::vector<std::string>{"alarm.ini", "folder.ini", "socket.ini"}));
  // The program says that the saved alarm could not be read, and why, and leaves it.
  h.start();
  EXPECT_NE(h.message().find(u"saved alarm could not be read from\r\n" + u16(pipe) + u"\r\n\r\nIt is a named pipe"),
            std::u16string::npos);
  EXPECT_EQ(h.main().txtTime(0).text(), u"");
  EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST(PosixFiles, AsAnOrdinaryUserOthersLinksReadOnlyFilesAndFoldersAreRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "making other users' files needs root, as in CI";
  Harness h;
  // The user's own folder, holding a read-only alarm.ini and a file of theirs that another
  // user's link in a folder everyone may write to (as /tmp) points at.
  const fs::path own = h.folder / "own", shared = h.folder / "shared";
  fs::create_directory(own);
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  put(own / "alarm.ini", kSaved);
  put(own / "mine.ini", "mine");
  fs::permissions(own / "alarm.ini", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  put(h.folder / "secret.ini", "root's");
  ::chmod((h.folder / "secret.ini").c_str(), 0600);
  put(h.folder / "open.ini", "old");  // anyone's to write, in a folder that is not
  ::chmod((h.folder / "open.ini").c_str(), 0666);
  for (const fs::path& p : {own, own / "alarm.ini", own / "mine.ini"}) ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
  fs::create_symlink(own / "mine.ini", shared / "planted.ini");
  fs::create_symlink(own / "mine.ini", shared / "link.ini");
  ASSERT_EQ(::lchown((shared / "planted.ini").c_str(), 65533, 65533), 0);  // a third user's
  ASSERT_EQ(::lchown((shared / "link.ini").c_str(), 65534, 65534), 0);
  h.backend.folder = u16(own);

  const int failed = asNobody([&] {
    int bad = 0;
    // The program: a read-only alarm.ini stays where it is, and its save is reported.
    if (!h.startProgram() || h.main().AlarmFilePath != u16(own / "alarm.ini")) bad |= 1;
    h.setAlarm(u"01/11/2022 1:11:01 PM");
    if (h.message().empty() || slurp(own / "alarm.ini") != kSaved) bad |= 2;
    ui::PosixFileSystem files;
    const std::u16string planted = u16(shared / "planted.ini");
    const auto r = files.read(planted, 100);
    if (r.status != ui::ReadResult::Status::Unreadable || r.reason.find(planted) == std::u16string::npos) bad |= 4;
    const auto w = files.replace(planted, "evil");
    if (w.ok || w.reason.find(planted) == std::u16string::npos) bad |= 8;
    if (!files.replace(u16(shared / "link.ini"), "new").ok) bad |= 16;  // a link of the user's own
    // A file there that may not be read is no missing file.
    const auto secret = files.read(u16(h.folder / "secret.ini"), 100);
    if (secret.status != ui::ReadResult::Status::Unreadable || secret.reason != u"Permission denied") bad |= 32;
    if (files.replace(u16(h.folder / "open.ini"), "new").reason.empty()) bad |= 64;
    return bad;
  });
  EXPECT_EQ(failed, 0) << "1: not beside, 2: read-only replaced, 4: read through, 8: written through, "
                          "16: own link refused, 32: unreadable, 64: unwritable folder";
  EXPECT_EQ(slurp(own / "mine.ini"), "new");
  EXPECT_EQ(slurp(h.folder / "open.ini"), "old");
  EXPECT_EQ(namesIn(shared), (std::vector<std::string>{"link.ini", "planted.ini"}));
}

TEST(PosixFiles, ASaveClearsOnlyItsOwnLeftoversOfEndedProcesses) {
  Harness h;
  const std::string ended = "999999999", running = std::to_string(::getpid());
  const std::pair<std::string, bool> planted[] = {
      {"alarm.ini.tmp-" + ended + "-123456", false},  // a killed save's
      {"alarm.ini.tmp-" + ended + "-probe", false},   // a killed start's
      {"alarm.ini.tmp-" + running + "-7", true},       // a save still running
      {"alarm.ini.tmp-notes.txt", true},               // the user's own
      {"alarm.ini.tmp-" + ended + "-1.bak", true},
      {"alarm.ini.tmp-" + ended + "-", true},
      {"other.ini.tmp-" + ended + "-1", true},
  };
  std::vector<std::string> kept = {"alarm.ini"};
  for (const auto& [name, stays] : planted) {
    put(h.folder / name, "x");
    if (stays) kept.push_back(name);
  }
  h.start();
  h.setAlarm(u"x");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(namesIn(h.folder), kept);
}

// The real file system with a folder that refuses writes, as /usr/bin does a user's (which root
// cannot play by permissions).
struct Disk : ui::PosixFileSystem {
  std::optional<fs::path> readOnlyFolder;
  bool readOnly(const std::u16string& path) const {
    return readOnlyFolder && fs::path(ui::toUtf8(path)).parent_path() == *readOnlyFolder;
  }
  ui::IoResult replace(const std::u16string& path, const std::string& bytes) override {
    return readOnly(path) ? ui::IoResult{false, u"Permission denied"} : PosixFileSystem::replace(path, bytes);
  }
  bool canCreate(const std::u16string& path) override { return !readOnly(path) && PosixFileSystem::canCreate(path); }
};

TEST(AlarmHome, BesideTheProgramWhereItCanWriteElseInTheUsersOwnFolder) {
  // own: the alarm is in the user's settings folder, not beside the program.
  const struct { const char* what; bool readOnly, systemFolder, userFolderKnown, own; } cases[] = {
      {"a portable copy", false, false, true, false},
      {"installed where the user cannot write", true, false, true, true},
      {"in a system folder, even where it could write", false, true, true, true},
      {"no user folder known", true, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    Disk disk;
    if (c.readOnly) disk.readOnlyFolder = h.folder;
    h.backend.fileSystem = &disk;
    h.backend.programInSystemFolder = c.systemFolder;
    if (!c.userFolderKnown) h.backend.settingsFolder.clear();
    h.writeIni("[ALARM]\r\nTime=beside\r\nTimeBAK=\r\n");  // beside a system-wide program, no one user's
    ASSERT_TRUE(h.startProgram());
    const fs::path file = c.own ? h.settingsFolder() / "alarm.ini" : h.iniPath();
    EXPECT_EQ(h.main().AlarmFilePath, u16(file));
    EXPECT_EQ(h.main().txtTime(0).text(), c.own ? u"" : u"beside");
    EXPECT_EQ(namesIn(h.folder), std::vector<std::string>{"alarm.ini"}) << "the try leaves nothing behind";
    h.setAlarm(u"12/24/2026 7:30:00 AM");
    EXPECT_EQ(h.message().empty(), !c.readOnly || c.own);
    if (h.message().empty()) { EXPECT_EQ(slurp(file), kSaved); }
    // The first save makes the user's folder, private to them.
    EXPECT_EQ(fs::exists(h.settingsFolder()), c.own);
    if (c.own) { EXPECT_EQ(fs::status(h.settingsFolder()).permissions(), fs::perms::owner_all); }
    if (c.own) { EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=beside\r\nTimeBAK=\r\n"); }
  }
}

TEST(PosixFiles, TheFoldersOfTheSystemAndOfTheUserAndOneKeyPerFile) {
  const char* home = std::getenv("HOME");
  const std::string kept = home ? home : "";
  ::setenv("HOME", "/home/ann/", 1);
  // The system's folders, and the one this build installs into unless that is in the home.
  for (const char* f : {"/usr/bin", "/usr/local/bin", "/bin", "/sbin", "/lib64/x", "/opt/t", "/etc", "/var", "/srv/b"})
    EXPECT_TRUE(ui::posixSystemFolder(f, "/srv/b")) << f;
  for (const char* f : {"/home/ann/.local/bin", "/tmp/x", "/usrx", "/srv"})
    EXPECT_FALSE(ui::posixSystemFolder(f, "/srv/b")) << f;
  EXPECT_FALSE(ui::posixSystemFolder("/home/ann/.local/bin", "/home/ann/.local/bin"));
  // The base directory rules: a relative $XDG_CONFIG_HOME is to be ignored.
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(ui::posixUserFolder(), u"/cfg/tollora");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  EXPECT_EQ(ui::posixUserFolder(), u"/home/ann/.config/tollora");
  ::unsetenv("XDG_CONFIG_HOME");
  home ? ::setenv("HOME", kept.c_str(), 1) : ::unsetenv("HOME");

  // The one-copy key: the settings folder does not exist before the first save, and the key
  // must not change when it appears.
  Harness h;
  fs::create_directories(h.folder / "real");
  fs::create_directory_symlink(h.folder / "real", h.folder / "link");
  const std::string before = ui::posixCanonicalPath((h.folder / "link" / "tollora" / "alarm.ini").string());
  EXPECT_EQ(before, fs::canonical(h.folder / "real").string() + "/tollora/alarm.ini");
  fs::create_directories(h.folder / "real" / "tollora");
  EXPECT_EQ(ui::posixCanonicalPath((h.folder / "link" / "." / "tollora" / "alarm.ini").string()), before);
  EXPECT_EQ(ui::posixCanonicalPath("/no-such-folder/alarm.ini"), "/no-such-folder/alarm.ini");
  // Whether a new file can be made is tried for real, and leaves nothing.
  ui::PosixFileSystem files;
  EXPECT_FALSE(files.canCreate(u16(h.folder / "missing" / "alarm.ini")));
  EXPECT_FALSE(files.canCreate(u"/proc/self/alarm.ini")) << "not even root makes files here";
}

}  // namespace
}  // namespace tollora::testing
