// Starting the program: where the alarm lives, one copy per alarm file, and --tray.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "dialogs/alert.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

namespace fs = std::filesystem;

std::u16string pathText(const fs::path& p) { return ui::fromUtf8(p.string()); }

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The real file system, except that one folder cannot be written, as /usr/bin or
// C:\Program Files are for a user (root writes anywhere, so permissions cannot stand in for
// this in a test run as root). Counts what the program does.
class Disk : public ui::PosixFileSystem {
 public:
  std::optional<fs::path> readOnlyFolder;
  int reads = 0, saves = 0;

  ui::ReadResult read(const std::u16string& path, std::size_t maxBytes) override {
    ++reads;
    return PosixFileSystem::read(path, maxBytes);
  }
  ui::IoResult replace(const std::u16string& path, const std::string& bytes) override {
    ++saves;
    if (inReadOnly(path)) return {false, u"Permission denied"};
    return PosixFileSystem::replace(path, bytes);
  }
  bool canCreate(const std::u16string& path) override { return !inReadOnly(path) && PosixFileSystem::canCreate(path); }

 private:
  bool inReadOnly(const std::u16string& path) const {
    return readOnlyFolder && fs::path(ui::toUtf8(path)).parent_path() == *readOnlyFolder;
  }
};

std::size_t entries(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

void setAlarm(Harness& h, const std::u16string& text) {
  h.type(text);
  h.click(h.main().cmdSetAlarm);
}

TEST(AlarmHome, AWritableProgramFolderKeepsTheAlarmBesideTheProgram) {
  Harness h;
  Disk disk;
  h.backend.fileSystem = &disk;
  h.writeIni("[ALARM]\r\nTime=mine\r\nTimeBAK=\r\n");
  ASSERT_TRUE(h.startProgram());
  EXPECT_EQ(h.main().AlarmFilePath, pathText(h.iniPath()));
  EXPECT_EQ(h.main().txtTime(0).text(), u"mine");
  EXPECT_EQ(entries(h.folder), 1u) << "the test for a writable folder leaves nothing behind";

  setAlarm(h, u"12/24/2026 7:30:00 AM");
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=\r\n");
  EXPECT_FALSE(fs::exists(h.settingsFolder())) << "the user's folder is not touched";
  EXPECT_EQ(h.message(), u"");
}

TEST(AlarmHome, AProgramFolderThatCannotBeWrittenGivesTheUserTheirOwnAlarm) {
  Harness h;
  Disk disk;
  disk.readOnlyFolder = h.folder;
  h.backend.fileSystem = &disk;
  // A file beside a system-wide program belongs to no one user: it is not the alarm.
  h.writeIni("[ALARM]\r\nTime=somebody else's\r\nTimeBAK=\r\n");
  ASSERT_TRUE(h.startProgram());
  const fs::path own = h.settingsFolder() / "alarm.ini";
  EXPECT_EQ(h.main().AlarmFilePath, pathText(own));
  EXPECT_EQ(h.main().txtTime(0).text(), u"");
  EXPECT_FALSE(fs::exists(h.settingsFolder())) << "made by the first save, not at start";

  // The first save makes the folder, private to the user, and the file in it.
  setAlarm(h, u"12/24/2026 7:30:00 AM");
  EXPECT_EQ(h.message(), u"");
  EXPECT_EQ(slurp(own), "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=\r\n");
  EXPECT_EQ(fs::status(h.settingsFolder()).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=somebody else's\r\nTimeBAK=\r\n");
  EXPECT_EQ(entries(h.settingsFolder()), 1u) << "no temporary file is left";
}

TEST(AlarmHome, TheUsersOwnAlarmIsTheOneLoadedAndSaved) {
  Harness h;
  Disk disk;
  disk.readOnlyFolder = h.folder;
  h.backend.fileSystem = &disk;
  const fs::path own = h.settingsFolder() / "alarm.ini";
  fs::create_directories(h.settingsFolder());
  std::ofstream(own, std::ios::binary) << "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=dentist\r\n";
  ASSERT_TRUE(h.startProgram());
  EXPECT_EQ(h.main().txtTime(0).text(), u"12/24/2026 7:30:00 AM");
  EXPECT_EQ(h.main().txtTimeBAK(1).text(), u"dentist");
  setAlarm(h, u"12/25/2026 8:00:00 AM");
  EXPECT_EQ(slurp(own), "[ALARM]\r\nTime=12/25/2026 8:00:00 AM\r\nTimeBAK=dentist\r\n");
}

TEST(AlarmHome, AReadOnlyAlarmFileInAWritableFolderStaysAndItsSaveIsReported) {
  Harness h;
  h.writeIni("[ALARM]\r\nTime=kept\r\nTimeBAK=\r\n");
  fs::permissions(h.iniPath(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ASSERT_TRUE(h.startProgram());
  EXPECT_EQ(h.main().AlarmFilePath, pathText(h.iniPath())) << "the user made it read-only to keep it";
  if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  setAlarm(h, u"12/24/2026 7:30:00 AM");
  EXPECT_NE(h.message(), u"");
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=kept\r\nTimeBAK=\r\n");
  EXPECT_FALSE(fs::exists(h.settingsFolder()));
}

TEST(AlarmHome, WithNoUserFolderKnownTheAlarmStaysBesideAndASaveIsReported) {
  Harness h;
  Disk disk;
  disk.readOnlyFolder = h.folder;
  h.backend.fileSystem = &disk;
  h.backend.settingsFolder.clear();
  ASSERT_TRUE(h.startProgram());
  EXPECT_EQ(h.main().AlarmFilePath, pathText(h.iniPath()));
  setAlarm(h, u"x");
  EXPECT_NE(h.message(), u"");
}

TEST(PosixFiles, CanCreateTriesForRealAndLeavesNothing) {
  Harness h;
  ui::PosixFileSystem files;
  EXPECT_TRUE(files.canCreate(pathText(h.iniPath())));
  EXPECT_EQ(entries(h.folder), 0u);
  h.writeIni("x");
  EXPECT_TRUE(files.canCreate(pathText(h.iniPath()))) << "an existing file does not matter";
  EXPECT_EQ(entries(h.folder), 1u);
  EXPECT_FALSE(files.canCreate(pathText(h.folder / "missing" / "alarm.ini")));
  EXPECT_FALSE(files.canCreate(pathText(h.iniPath() / "alarm.ini"))) << "a file is no folder";
  EXPECT_FALSE(files.canCreate(u"/proc/self/alarm.ini")) << "not even root makes files here";
}

TEST(PosixFiles, TheUsersFolderFollowsTheBaseDirectoryRules) {
  struct Env {
    const char* name;
    std::optional<std::string> old;
    explicit Env(const char* n) : name(n) {
      if (const char* v = std::getenv(n)) old = v;
    }
    ~Env() { old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name); }
  } config("XDG_CONFIG_HOME"), home("HOME");
  ::setenv("HOME", "/home/ann", 1);
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(ui::posixUserFolder(), u"/cfg/tollora");
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);  // to be ignored
  EXPECT_EQ(ui::posixUserFolder(), u"/home/ann/.config/tollora");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/ann/", 1);
  EXPECT_EQ(ui::posixUserFolder(), u"/home/ann/.config/tollora");
}

TEST(PosixFiles, OneFileGivesOneCanonicalPathHoweverItIsReached) {
  Harness h;
  fs::create_directories(h.folder / "real");
  fs::create_directory_symlink(h.folder / "real", h.folder / "link");
  const std::string real = fs::canonical(h.folder / "real").string();
  // The settings folder does not exist before the first save; the key must not change when
  // it appears.
  const std::string before = ui::posixCanonicalPath((h.folder / "link" / "tollora" / "alarm.ini").string());
  EXPECT_EQ(before, real + "/tollora/alarm.ini");
  fs::create_directories(h.folder / "real" / "tollora");
  EXPECT_EQ(ui::posixCanonicalPath((h.folder / "link" / "." / "tollora" / "alarm.ini").string()), before);
  EXPECT_EQ(ui::posixCanonicalPath("/no-such-folder/alarm.ini"), "/no-such-folder/alarm.ini");
}

// Whatever the copy that holds the alarm file does, a start settles within five seconds: it
// runs, it hands over to that copy, or it tells the user why it cannot run.
TEST(OneCopy, EveryStartSettlesWithinFiveSecondsWithAClearResult) {
  using Claim = ui::App::Claim;
  using Lock = ui::Backend::InstanceLock;
  constexpr auto never = ui::HeadlessBackend::kNever;
  struct Case {
    const char* what;
    std::optional<ui::HeadlessBackend::OtherCopy> holder;
    Lock freeLock;
    Claim result;
  } cases[] = {
      {"no other copy", std::nullopt, Lock::Held, Claim::Claimed},
      {"a holder that answers", {{0, never}}, Lock::Held, Claim::Forwarded},
      {"a holder that answers after a while", {{2500, never}}, Lock::Held, Claim::Forwarded},
      {"a stopped or hung holder", {{never, never}}, Lock::Held, Claim::NoAnswer},
      {"a holder that answers too late", {{6000, never}}, Lock::Held, Claim::NoAnswer},
      {"a holder on its way out", {{never, 1500}}, Lock::Held, Claim::Claimed},
      {"no private place for the lock", std::nullopt, Lock::Unavailable, Claim::NoLock},
      {"a platform without locks", std::nullopt, Lock::Unsupported, Claim::Claimed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ui::HeadlessBackend backend;
    ui::App app(backend);
    if (c.holder) backend.otherCopies[u"/a/alarm.ini"] = *c.holder;
    backend.freeLock = c.freeLock;
    EXPECT_EQ(app.claimInstance(u"/a/alarm.ini"), c.result);
    EXPECT_LE(backend.monotonicMs(), 5000) << "settled late";
    EXPECT_EQ(backend.claimedKeys.size(), c.result == Claim::Claimed && c.freeLock == Lock::Held ? 1u : 0u);
    EXPECT_EQ(backend.forwardedKeys.size(), c.result == Claim::Forwarded ? 1u : 0u);
  }
}

TEST(OneCopy, AStartWhileACopyRunsWithTheSameAlarmBringsItForwardAndTouchesNothing) {
  Harness h;
  Disk disk;
  h.backend.fileSystem = &disk;
  h.writeIni("[ALARM]\r\nTime=theirs\r\nTimeBAK=\r\n");
  h.backend.otherCopies[pathText(h.iniPath())] = {};
  EXPECT_EQ(tollora::start(), Started::Forwarded);
  EXPECT_EQ(h.backend.forwardedKeys, std::vector<std::u16string>{pathText(h.iniPath())});
  EXPECT_EQ(h.message(), u"");

  // A copy that does not answer, or no lock to be had: the user is told, naming the file.
  h.backend.otherCopies[pathText(h.iniPath())] = {ui::HeadlessBackend::kNever};
  EXPECT_EQ(tollora::start(), Started::Refused);
  EXPECT_NE(h.message().find(u"does not respond"), std::u16string::npos);
  EXPECT_NE(h.message().find(pathText(h.iniPath())), std::u16string::npos);
  h.backend.otherCopies.clear();
  h.backend.freeLock = ui::Backend::InstanceLock::Unavailable;
  EXPECT_EQ(tollora::start(), Started::Refused);
  EXPECT_NE(h.message().find(u"only copy"), std::u16string::npos);
  EXPECT_NE(h.message().find(pathText(h.iniPath())), std::u16string::npos);

  EXPECT_EQ(h.app.formsCount(), 1) << "the message is the only window";
  EXPECT_EQ(h.app.loadedInstance<Alarm>(), nullptr);
  EXPECT_TRUE(h.backend.trayCalls.empty()) << "no second icon";
  EXPECT_EQ(disk.reads, 0);
  EXPECT_EQ(disk.saves, 0);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=theirs\r\nTimeBAK=\r\n");
}

TEST(OneCopy, ACopyWithAnotherAlarmFileRunsSideBySide) {
  Harness h;
  h.backend.otherCopies[u"/some/other/portable/folder/alarm.ini"] = {};
  ASSERT_TRUE(h.startProgram());
  EXPECT_TRUE(h.main().visible());
  EXPECT_EQ(h.backend.claimedKeys, std::vector<std::u16string>{h.main().AlarmFilePath});
}

TEST(OneCopy, TheRunningCopyComesForwardOutOfTheTrayWhenStartedAgain) {
  Harness h;
  ASSERT_TRUE(h.startProgram());
  auto& m = h.main();
  h.click(m.cmdMin);
  ASSERT_FALSE(m.visible());
  const auto calls = h.backend.foregroundCalls.size();
  EXPECT_FALSE(h.backend.startAgain(u"/another/alarm.ini"));
  EXPECT_FALSE(m.visible());

  EXPECT_TRUE(h.backend.startAgain(m.AlarmFilePath));
  EXPECT_TRUE(m.visible());
  EXPECT_EQ(m.WindowState(), ui::vbNormal);
  ASSERT_EQ(h.backend.foregroundCalls.size(), calls + 1);
  EXPECT_EQ(h.backend.foregroundCalls.back(), m.hWnd());
  EXPECT_EQ(ui::app().loadedInstance<Alert>(), nullptr) << "no exit question";

  // Already shown: it only comes to the front.
  EXPECT_TRUE(h.backend.startAgain(m.AlarmFilePath));
  EXPECT_TRUE(m.visible());
  EXPECT_EQ(h.backend.foregroundCalls.size(), calls + 2);
}

TEST(StartInTray, TrayStartsHiddenBehindTheIconAndStillRings) {
  Harness h;
  ASSERT_TRUE(h.startProgram({.tray = true}));
  auto& m = h.main();
  EXPECT_FALSE(m.visible());
  EXPECT_TRUE(h.backend.trayIconShown());
  const std::u16string soon = h.clockTextIn(5);
  h.type(soon);
  h.advance(6000);
  EXPECT_TRUE(h.fired()) << "hidden, and still ringing";
  m.nativeTrayClick(ui::TrayClick::LeftUp);
  EXPECT_TRUE(m.visible());
}

TEST(StartInTray, WithNoNotificationAreaTheWindowIsShownAfterAll) {
  Harness h;
  h.backend.trayAvailable = false;
  ASSERT_TRUE(h.startProgram({.tray = true}));
  EXPECT_TRUE(h.main().visible());
}

TEST(StartInTray, TheCommandLine) {
  EXPECT_TRUE(ParseCommandLine({u"--tray"}).tray);
  EXPECT_TRUE(ParseCommandLine({u"-x", u"--tray"}).tray);
  EXPECT_FALSE(ParseCommandLine({}).tray);
  EXPECT_FALSE(ParseCommandLine({u"--TRAY", u"tray"}).tray);
}

}  // namespace
}  // namespace tollora::testing
