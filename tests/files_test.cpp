// alarm.ini on a real disk: loading, saving, its home, links, what is no file, others' files, leftovers.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <set>

#include "alarmfile/ini.h"
#include "dialogs/message.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

const std::string kSaved = "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=\r\n";

TEST(AlarmFile, LoadsTheTwoValuesAndSavesExactlyTheThreeLinesIntoTheLastTargetOfItsLinks) {
  Harness h;
  // alarm.ini -> a/one.ini -> b/two.ini (relative to a/) -> /abs/.../b/real.ini.
  const fs::path a = h.folder / "a", b = a / "b";
  fs::create_directories(b);
  fs::create_symlink("a/one.ini", h.iniPath());
  fs::create_symlink("b/two.ini", a / "one.ini");
  fs::create_symlink(b / "real.ini", b / "two.ini");
  put(b / "real.ini", "[ALARM]\r\nTime=old\r\nTimeBAK=call the dentist\r\n; note\r\n[extra]\r\nk=v\r\n");
  h.start();
  EXPECT_EQ(h.main().txtTime(0).text(), u"old");
  h.setAlarm(u"01/11/2022 1:11:01 PM");
  EXPECT_EQ(slurp(b / "real.ini"), "[ALARM]\r\nTime=01/11/2022 1:11:01 PM\r\nTimeBAK=call the dentist\r\n");
  h.setAlarm(u"");
  EXPECT_EQ(slurp(b / "real.ini"), "[ALARM]\r\nTime=\r\nTimeBAK=call the dentist\r\n");
  EXPECT_EQ(h.message(), u"");
  EXPECT_TRUE(fs::is_symlink(h.iniPath()) && fs::is_symlink(a / "one.ini") && fs::is_symlink(b / "two.ini"));
  EXPECT_EQ(namesIn(b), (std::vector<std::string>{"real.ini", "two.ini"})) << "and nothing beside it";
  EXPECT_EQ(namesIn(h.folder), (std::vector<std::string>{"a", "alarm.ini"}));
  // The longest text is saved and read back whole; a longer one is refused, nothing saved.
  const std::u16string longest(ini::kMaxValue, u'y');
  h.setAlarm(longest);
  h.main().Unload();  // the program ends; the window's next use is a fresh start
  h.start();
  EXPECT_EQ(h.main().txtTime(0).text(), longest);
  h.setAlarm(longest + u"y");
  EXPECT_NE(h.message().find(u"4097 characters long; Tollora keeps at most 4096. Nothing has been saved"), std::u16string::npos);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=" + ui::toUtf8(longest) + "\r\nTimeBAK=call the dentist\r\n");
}

TEST(AlarmFile, WhatIsNoAlarmFileIsReportedAtStartAndLeftAsItIs) {
  const struct { std::string bytes; const char16_t* said; } rows[] = {
      {"\x7F" "ELF\x02\x01\x01\0\0\0\x03\0>\0\x01\0\0\0", u"It is not an alarm file; the next \"Set Alarm\" replaces it. It holds bytes"},
      {"[ALARM]\r\nTime=7:30\r\n" + std::string(ini::kMaxFileBytes, ';'), u"It is larger than 1 MB."},
      {"[ALARM]\r\nTime=" + std::string(5000, 'y') + "\r\nTimeBAK=x\r\n", u"is 5000 characters long, more than the 4096 Tollora keeps"},
  };
  for (const auto& r : rows) {
    Harness h;
    h.writeIni(r.bytes);
    h.start();
    EXPECT_NE(h.message().find(r.said), std::u16string::npos) << ui::toUtf8(h.message());
    EXPECT_EQ(h.main().txtTime(0).text(), u"");
    EXPECT_EQ(h.readIni(), r.bytes);
  }
}

// Saved under one 8-bit code page, read back under another: beyond ASCII in UTF-8 behind a mark.
TEST(AlarmFile, TheProgramsOwnSaveReadsBackWhateverTheCodePage) {
  const auto codePage = [](std::map<char16_t, std::string> high) {
    return [high](const std::u16string& t) -> std::optional<std::string> {
      std::string out;
      for (char16_t c : t)
        if (c < 0x80) out += static_cast<char>(c);
        else if (high.contains(c)) out += high.at(c);
        else return std::nullopt;
      return out;
    };
  };
  const auto misread = [](const std::string& b) { return std::u16string(b.size(), u'?'); };  // no code-page byte reads back
  for (const auto& to : {codePage({{u'\u00DF', "\xDF"}, {u'\u00BB', "\xBB"}}), codePage({{u'\u5348', "\x8C\xDF"}, {u'\u524D', "\x91\x4F"}})})
    for (const std::u16string text : {u"Stra\u00DF\u00BB", u"12/08/2026 12:23:19 \u5348\u524D"}) {
      const std::string bytes = ini::EncodeAlarmFile(ini::AlarmFileText(text, u""), to);
      EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF")) << "UTF-8 behind its byte-order mark";
      EXPECT_EQ(ini::ReadValue(bytes, u"ALARM", u"Time", misread), text);
    }
  EXPECT_EQ(ini::EncodeAlarmFile(ini::AlarmFileText(u"01/11/2022 1:11:01 PM", u"call the dentist"), codePage({})).size(), 63u);
}

TEST(PosixFiles, WhatIsNoRegularFileIsNeitherReadNorReplacedAndNothingWaits) {
  Harness h;
  const fs::path pipe = h.iniPath(), folder = h.folder / "folder.ini", loop = h.folder / "loop.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  fs::create_directory(folder);
  fs::create_symlink("other.ini", loop);
  fs::create_symlink("loop.ini", h.folder / "other.ini");
  ui::PosixFileSystem files;
  for (const auto& [p, reason] : {std::pair{pipe, u"not a file"}, {folder, u"not a file"}, {loop, u"symbolic links"}}) {
    const auto type = fs::symlink_status(p).type();
    const auto r = files.read(u16(p), 100);
    EXPECT_EQ(r.status, ui::ReadResult::Status::Unreadable) << p;
    EXPECT_NE(r.reason.find(reason), std::u16string::npos) << p << ": " << ui::toUtf8(r.reason);
    EXPECT_FALSE(files.replace(u16(p), "new").ok) << p;
    EXPECT_EQ(fs::symlink_status(p).type(), type) << p;
  }
  EXPECT_EQ(namesIn(h.folder), (std::vector<std::string>{"alarm.ini", "folder.ini", "loop.ini", "other.ini"}));
  h.start();
  EXPECT_NE(h.message().find(u"saved alarm could not be read from\r\n" + u16(pipe) + u"\r\n\r\nIt is a named pipe"),
            std::u16string::npos);
}

TEST(PosixFiles, AsAnOrdinaryUserOthersLinksReadOnlyFilesAndFoldersAreRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "making other users' files needs root, as in CI";
  Harness h;
  // The user's folder with a read-only alarm.ini; a folder the user's group may write to, where
  // another user's link points at the user's file; a folder the user cannot search.
  const fs::path own = h.folder / "own", shared = h.folder / "shared", closed = h.folder / "closed";
  for (const fs::path& d : {own, shared, closed}) fs::create_directory(d);
  ::chmod(closed.c_str(), 0700);
  put(closed / "alarm.ini", kSaved);
  ::chmod(shared.c_str(), 0770);
  ASSERT_EQ(::chown(shared.c_str(), 0, 65534), 0);
  put(own / "alarm.ini", kSaved);
  ::chmod((own / "alarm.ini").c_str(), 0444);
  put(own / "mine.ini", "mine");
  ::chmod((own / "mine.ini").c_str(), 0640);
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
  // Root's save of the user's file keeps its owner, group and mode: the user's next save works.
  ASSERT_TRUE(ui::PosixFileSystem().replace(u16(own / "mine.ini"), "root's").ok);
  struct stat st {};
  ::stat((own / "mine.ini").c_str(), &st);
  EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode & 07777), std::tuple(65534u, 65534u, 0640u));

  const int failed = asNobody([&] {
    int bad = 0;
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
    for (const fs::path& p : {h.folder / "secret.ini", closed / "alarm.ini"}) {
      const auto secret = files.read(u16(p), 100);
      if (secret.status != ui::ReadResult::Status::Unreadable || secret.reason != u"Permission denied") bad |= 32;
    }
    if (files.replace(u16(h.folder / "open.ini"), "new").reason.empty()) bad |= 64;
    return bad;
  });
  EXPECT_EQ(failed, 0) << "1: not beside, 2: read-only replaced, 4: read through, 8: written through, "
                          "16: own link refused, 32: unreadable, 64: unwritable folder";
  EXPECT_EQ(slurp(own / "mine.ini"), "new");
  EXPECT_EQ(slurp(h.folder / "open.ini"), "old");
  EXPECT_EQ(namesIn(shared), (std::vector<std::string>{"link.ini", "planted.ini"}));
}

// The next save clears only the leftovers of ended processes; a full or read-only disk is reported, naming the file.
TEST(PosixFiles, KilledSavesLeaveNothingOfTheirOwnAndAFullDiskOrAReadOnlyDiskLoseNothing) {
  Harness h;
  const std::string a = "[ALARM]\r\nTime=A" + std::string(200, 'a') + "\r\nTimeBAK=\r\n", b = "[ALARM]\r\nTime=B\r\nTimeBAK=\r\n";
  h.writeIni(a);
  std::set<std::string> seen;
  for (int i = 0; i < 300; ++i) {
    const pid_t saver = ::fork();
    if (saver == 0)
      for (ui::PosixFileSystem files;;) files.replace(u16(h.iniPath()), h.readIni() == a ? b : a);
    ::usleep(1000 + i % 9 * 1000);
    ::kill(saver, SIGKILL);
    ::waitpid(saver, nullptr, 0);
    seen.insert(h.readIni());
  }
  EXPECT_EQ(seen, (std::set<std::string>{a, b}));
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
  h.setAlarm(u"after");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(namesIn(h.folder), kept);
  if (::geteuid() != 0) GTEST_SKIP() << "a disk of its own needs root, as in CI";
  const fs::path small = h.folder / "small", file = small / "alarm.ini";
  fs::create_directory(small);
  const int failed = inChild([&] {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=16k") != 0)
      return 100;
    put(file, b);
    put(small / "filler", std::string(64 * 1024, 'x'));  // as much as fits
    h.main().AlarmFilePath = u16(file);
    h.setAlarm(std::u16string(4000, u'x'));
    int bad = h.message().find(u"No space left") == std::u16string::npos ? 1 : 0;
    fs::remove(small / "filler");
    ::mount("tmpfs", small.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=16k");
    h.setAlarm(u"new alarm");
    bad |= h.message().find(u"Read-only") == std::u16string::npos ? 2 : 0;
    bad |= h.message().find(u16(file)) == std::u16string::npos || slurp(file) != b || namesIn(small).size() != 1 ? 4 : 0;
    return bad;
  });
  EXPECT_EQ(failed, 0) << "1: full, 2: read-only, 4: not kept, 100: no mount";
}

struct Disk : ui::PosixFileSystem {  // with a folder that refuses writes, as /usr/bin does a user's
  fs::path readOnlyFolder;
  bool readOnly(const std::u16string& path) const { return fs::path(ui::toUtf8(path)).parent_path() == readOnlyFolder; }
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
    EXPECT_EQ(h.main().txtTime(0).text(), u"beside");
    EXPECT_EQ(h.message().starts_with(u"Tollora now keeps your alarm in\r\n" + u16(file)), c.own);
    if (c.own) {
      EXPECT_EQ(fs::status(h.settingsFolder()).permissions(), fs::perms::owner_all);
      EXPECT_EQ(slurp(file), "[ALARM]\r\nTime=beside\r\nTimeBAK=\r\n") << "copied to its new home, so told once";
    }
    EXPECT_EQ(namesIn(h.folder), (c.own ? std::vector<std::string>{"alarm.ini", "home"} : std::vector<std::string>{"alarm.ini"}))
        << "the user's folder made only where used; the try leaves nothing behind";
    if (c.own) h.click(ui::form<Message>().cmdOk);
    h.setAlarm(u"12/24/2026 7:30:00 AM");
    EXPECT_EQ(h.message().empty(), !c.readOnly || c.own);
    if (h.message().empty()) { EXPECT_EQ(slurp(file), "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=\r\n"); }
    if (c.own) { EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=beside\r\nTimeBAK=\r\n"); }
  }
}

TEST(PosixFiles, TheFoldersOfTheSystemAndOfTheUser) {
  const char* home = std::getenv("HOME");
  const std::string kept = home ? home : "";
  ::setenv("HOME", "/home/ann/", 1);
  for (const char* f : {"/usr/bin", "/usr/local/bin", "/bin", "/sbin", "/lib64/x", "/opt/t", "/etc", "/var", "/srv/b"})
    EXPECT_TRUE(ui::posixSystemFolder(f, "/srv/b")) << f;
  for (const char* f : {"/home/ann/.local/bin", "/tmp/x", "/usrx", "/srv"})
    EXPECT_FALSE(ui::posixSystemFolder(f, "/srv/b")) << f;
  EXPECT_FALSE(ui::posixSystemFolder("/home/ann/.local/bin", "/home/ann/.local/bin"));
  // A relative $XDG_CONFIG_HOME is ignored.
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(ui::posixUserFolder(), u"/cfg/tollora");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  EXPECT_EQ(ui::posixUserFolder(), u"/home/ann/.config/tollora");
  ::unsetenv("XDG_STATE_HOME");
  EXPECT_EQ(ui::posixStateFolder(), u"/home/ann/.local/state/tollora");
  ::unsetenv("XDG_CONFIG_HOME");
  home ? ::setenv("HOME", kept.c_str(), 1) : ::unsetenv("HOME");
  EXPECT_FALSE(ui::PosixFileSystem().canCreate(u"/no-such-folder/alarm.ini"));
  EXPECT_FALSE(ui::PosixFileSystem().canCreate(u"/proc/self/alarm.ini")) << "not even root makes files here";
}

// One key per alarm file through a linked folder, a bind mount, a hard link, before and after a save.
TEST(PosixFiles, OneFileHasOneIdentityHoweverItIsReached) {
  if (::geteuid() != 0) GTEST_SKIP() << "a bind mount needs root, as in CI";
  Harness h;
  const fs::path real = h.folder / "real", bound = h.folder / "bound", linked = h.folder / "linked";
  fs::create_directories(real / "new");
  fs::create_directories(bound);
  fs::create_directory_symlink(real, linked);
  put(real / "alarm.ini", kSaved);
  put(h.folder / "other.ini", "x");
  fs::create_hard_link(h.folder / "other.ini", real / "hard.ini");
  ui::PosixFileSystem files;
  const auto id = [&](const fs::path& p) { return files.identity(u16(p)); };
  const auto sameAndApart = [&](const std::vector<std::vector<fs::path>>& sets) {  // each set one file, no two the same
    std::set<std::u16string> ids;
    for (const auto& set : sets)
      for (const fs::path& p : set) ids.insert(id(p));
    return ids.size() == sets.size() ? 0 : 1;
  };
  const int failed = inChild([&] {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(real.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) != 0)
      return 100;
    const std::vector<std::vector<fs::path>> sets = {
        {real / "alarm.ini", linked / "alarm.ini", bound / "alarm.ini", h.folder / "." / "real" / "alarm.ini"},
        {real / "new" / "alarm.ini", linked / "new" / "alarm.ini", bound / "new" / "alarm.ini"},
        {h.folder / "other.ini", real / "hard.ini", bound / "hard.ini"},
        {real / "other.ini"}, {h.folder / "alarm.ini"}};
    int bad = sameAndApart(sets);
    const std::u16string before = id(real / "new" / "alarm.ini"), file = id(real / "alarm.ini");
    bad |= files.replace(u16(linked / "new" / "alarm.ini"), "x").ok && files.replace(u16(bound / "alarm.ini"), "y").ok &&
                   files.replace(u16(real / "hard.ini"), "z").ok ? 0 : 4;
    bad |= id(bound / "new" / "alarm.ini") != before || id(real / "alarm.ini") != file ? 8 : 0;
    bad |= slurp(h.folder / "other.ini") != "z" ? 16 : 0;  // a save keeps the names of a hard-linked file together
    bad |= asNobody([&] { return sameAndApart(sets); }) ? 32 : 0;
    return bad;
  });
  EXPECT_EQ(failed, 0) << "1: apart or one, 4: not saved, 8: changed by a save, 16: link cut, 32: as a user, 100: no mount";
}

}  // namespace
}  // namespace tollora::testing
