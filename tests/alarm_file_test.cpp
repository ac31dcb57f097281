// Loading and saving alarm.ini.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "alarmfile/ini.h"
#include "tests/harness.h"

namespace tollora::testing {
namespace {

std::u16string read(const std::string& bytes, const std::u16string& key = u"Time") {
  return ini::ReadValue(bytes, u"ALARM", key, [](const std::string& b) { return ui::fromUtf8(b); });
}

TEST(IniReader, FindsTheKeyTheWayAHandEditedFileIsMeant) {
  EXPECT_EQ(read("[ALARM]\r\nTime=01/11/2022 1:11:01 PM\r\nTimeBAK=x\r\n"), u"01/11/2022 1:11:01 PM");
  EXPECT_EQ(read("[ALARM]\r\nTime=a\r\nTimeBAK=call the dentist\r\n", u"TimeBAK"), u"call the dentist");
  // Names in any case, blanks around "=" and the value, comments, other sections and keys.
  EXPECT_EQ(read("; mine\n[other]\nTime=no\n\n[alarm]\n  other = 1\n\tTIME =  12/01/2023 9:00:00 AM \t\n"),
            u"12/01/2023 9:00:00 AM");
  // One pair of matching quotes goes; unmatched ones stay.
  EXPECT_EQ(read("[ALARM]\nTime=\"  spaced  \"\n"), u"  spaced  ");
  EXPECT_EQ(read("[ALARM]\nTime='it'\n"), u"it");
  EXPECT_EQ(read("[ALARM]\nTime=\"half\n"), u"\"half");
  EXPECT_EQ(read("[ALARM]\nTime=\"\"x\"\"\n"), u"\"x\"");
  // The first section and the first key win; later ones are ignored.
  EXPECT_EQ(read("[ALARM]\nTime=first\nTime=second\n[ALARM]\nTime=third\n"), u"first");
  EXPECT_EQ(read("[ALARM]\nTimeBAK=b\n[ALARM]\nTime=late\n"), u"");
  // A byte-order mark means UTF-8 whatever the code page.
  EXPECT_EQ(ini::ReadValue("\xEF\xBB\xBF[ALARM]\r\nTime=caf\xC3\xA9\r\n", u"ALARM", u"Time",
                           [](const std::string&) { return std::u16string(u"wrong"); }),
            u"caf\u00e9");
}

TEST(IniReader, MissingOrDamagedGivesEmptyOrWhatCanBeFound) {
  EXPECT_EQ(read(""), u"");
  EXPECT_EQ(read("[ALARM]\r\nTime=\r\n"), u"");
  EXPECT_EQ(read("[ALARM]\r\nTimeBAK=only\r\n"), u"");
  EXPECT_EQ(read("[ALARMS]\nTime=x\n"), u"");
  EXPECT_EQ(read("[ALARM\nTime=open bracket\n"), u"open bracket");
  EXPECT_EQ(read("[ALARM]\nno equals here\nTime=ok\n"), u"ok");
  EXPECT_EQ(read(std::string("[ALARM]\nTime=before\0after\n", 26)), u"before");
  EXPECT_EQ(read("[ALARM]\nTime=bad \xFF\xC3 bytes\n"), u"bad \uFFFD\uFFFD bytes");
  // A value with a line break in it comes back up to the break.
  EXPECT_EQ(read(ui::toUtf8(ini::AlarmFileText(u"first\r\nsecond", u""))), u"first");

  std::string longValue(300, 'x');
  EXPECT_EQ(read("[ALARM]\nTime=" + longValue + "\n").size(), ini::kMaxValue);

  // 10 MB of junk with the key at its end: read in well under a second, no crash.
  std::mt19937 rng(7);
  std::string junk(10u << 20, '\0');
  for (auto& c : junk) c = static_cast<char>(rng());
  const auto t0 = std::chrono::steady_clock::now();
  read(junk + "\n[ALARM]\nTime=found\n");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

TEST(AlarmFile, SaveWritesTheThreeLinesByteForByte) {
  Harness h;
  h.writeIni("[ALARM]\r\nTime=old\r\nTimeBAK=call the dentist\r\n; note\r\n[extra]\r\nk=v\r\n");
  h.start();
  EXPECT_EQ(h.main().txtTime(0).text(), u"old");
  EXPECT_EQ(h.main().txtTimeBAK(1).text(), u"call the dentist");

  h.type(u"01/11/2022 1:11:01 PM");
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=01/11/2022 1:11:01 PM\r\nTimeBAK=call the dentist\r\n");
  EXPECT_EQ(h.readIni().size(), 63u);

  h.type(u"");
  h.main().txtTimeBAK(1).setText(u"");
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=\r\nTimeBAK=\r\n");
  EXPECT_TRUE(h.backend.errors.empty());
}

TEST(AlarmFile, SavedTextsComeBackAtTheNextStart) {
  std::string saved;
  const std::u16string texts[] = {u"12/24/2026 7:30:00 AM", u"caf\u00e9 \U0001F514 at noon", u"x"};
  for (const auto& text : texts) {
    {
      Harness h;
      h.start();
      h.type(text);
      h.click(h.main().cmdSetAlarm);
      saved = h.readIni();
    }
    Harness h;
    h.writeIni(saved);
    h.start();
    EXPECT_EQ(h.main().txtTime(0).text(), text);
  }
}

TEST(AlarmFile, ANarrowCodePageIsUsedWhenItHoldsTheTextElseUtf8WithAMark) {
  Harness h;
  h.backend.latin1CodePage = true;
  h.start();
  h.type(u"caf\u00e9");
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=caf\xE9\r\nTimeBAK=\r\n");

  h.type(u"\u20ac 5 alarm");
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.readIni(), "\xEF\xBB\xBF[ALARM]\r\nTime=\xE2\x82\xAC 5 alarm\r\nTimeBAK=\r\n");
  EXPECT_EQ(h.main().GetIni(u"ALARM", u"Time"), u"\u20ac 5 alarm");
}

TEST(AlarmFile, SavesToTheLoadedFileWhateverTheCurrentFolder) {
  Harness h;
  const auto elsewhere = h.folder / "elsewhere";  // the current directory, not the program's
  std::filesystem::create_directory(elsewhere);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(elsewhere);
  h.start();  // no alarm.ini anywhere: the save creates it
  h.type(u"01/11/2022 1:11:01 PM");
  h.click(h.main().cmdSetAlarm);
  std::filesystem::current_path(cwd);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=01/11/2022 1:11:01 PM\r\nTimeBAK=\r\n");
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
  // Nothing but the file itself is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(h.folder), {}), 2);
}

// A disk that fails every write, as a full or read-only one does.
class FailingFiles : public ui::PosixFileSystem {
 public:
  ui::IoResult replace(const std::u16string&, const std::string&) override {
    ++attempts;
    return {false, u"No space left on device"};
  }
  int attempts = 0;
};

TEST(AlarmFile, AFailedSaveIsReportedAndLosesNothing) {
  Harness h;
  FailingFiles disk;
  h.backend.fileSystem = &disk;
  h.writeIni("[ALARM]\r\nTime=old\r\nTimeBAK=\r\n");
  h.start();
  h.advance(3000);
  h.type(u"12/24/2026 7:30:00 AM");
  h.click(h.main().cmdSetAlarm);

  EXPECT_EQ(disk.attempts, 1);
  ASSERT_EQ(h.backend.errors.size(), 1u);
  const auto& message = h.backend.errors[0].second;
  EXPECT_NE(message.find(h.main().AlarmFilePath), std::u16string::npos) << "names the file";
  EXPECT_NE(message.find(u"No space left on device"), std::u16string::npos) << "and the system's reason";
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=old\r\nTimeBAK=\r\n");
  EXPECT_EQ(h.main().txtTime(0).text(), u"12/24/2026 7:30:00 AM") << "kept for a retry";
  h.advance(1100);
  EXPECT_FALSE(h.main().ProgressBar.visible()) << "the animation runs as ever";
}

TEST(PosixFiles, ReplaceFailsCleanlyWhereTheFolderCannotBeWritten) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  Harness h;
  h.writeIni("old");
  std::filesystem::permissions(h.folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  ui::PosixFileSystem files;
  const auto r = files.replace(ui::fromUtf8(h.iniPath().string()), "new");
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.reason.empty());
  EXPECT_EQ(h.readIni(), "old");
}

}  // namespace
}  // namespace tollora::testing
