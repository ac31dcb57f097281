// Loading and saving alarm.ini.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
  // Without a mark, well-formed UTF-8 beyond ASCII is UTF-8 (Notepad's default), anything
  // else the code page's: a lone lead byte, an encoded surrogate.
  const auto latin1 = [](const std::string& b) {
    std::u16string s;
    for (unsigned char c : b) s += c;
    return s;
  };
  const auto time = [&](const std::string& value) { return ini::ReadValue("[ALARM]\nTime=" + value, u"ALARM", u"Time", latin1); };
  EXPECT_EQ(time("caf\xC3\xA9 \xF0\x9F\x94\x94"), u"caf\u00e9 \U0001F514");
  EXPECT_EQ(time("caf\xE9 \xC3"), u"caf\u00e9 \u00c3");
  EXPECT_EQ(time("\xED\xA0\x80"), u"\u00ed\u00a0\u0080");
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

  // A megabyte of junk before the section: the key is still found (how fast is the benchmarks'
  // business, not a test's).
  std::mt19937 rng(7);
  std::string junk(1u << 20, '\0');
  for (auto& c : junk) c = static_cast<char>(rng());
  EXPECT_EQ(read(junk + "\n[ALARM]\nTime=found\n"), u"found");
}

// The bytes of a text as UTF-16 behind its byte-order mark, as Notepad saves "Unicode".
std::string utf16File(const std::u16string& text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

TEST(IniReader, Utf16WithAByteOrderMarkInEitherOrder) {
  const std::u16string text = u"; saved by Notepad\r\n[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=caf\u00e9 \U0001F514\r\n";
  for (bool bigEndian : {false, true}) {
    const std::string bytes = utf16File(text, bigEndian);
    EXPECT_EQ(read(bytes), u"12/24/2026 7:30:00 AM") << bigEndian;
    EXPECT_EQ(read(bytes, u"TimeBAK"), u"caf\u00e9 \U0001F514") << bigEndian;
    // A last byte without its pair is no character; what comes before it still counts.
    EXPECT_EQ(read(utf16File(u"[ALARM]\nTime=x", bigEndian) + "\x41"), u"x") << bigEndian;
  }
  // Without a mark, UTF-16 is no text the profile reader knows: nothing is found, nothing breaks.
  EXPECT_EQ(read(utf16File(text, false).substr(2)), u"");
}

TEST(AlarmFile, AUnicodeFileFromNotepadIsLoadedAndKeptByTheNextSave) {
  for (bool bigEndian : {false, true}) {
    std::string saved;
    {
      Harness h;
      h.writeIni(utf16File(u"[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=caf\u00e9 \U0001F514\r\n", bigEndian));
      h.start();
      EXPECT_EQ(h.main().txtTime(0).text(), u"12/24/2026 7:30:00 AM");
      EXPECT_EQ(h.main().txtTimeBAK(1).text(), u"caf\u00e9 \U0001F514");
      h.click(h.main().cmdSetAlarm);
      EXPECT_EQ(h.message(), u"");
      saved = h.readIni();
    }

    Harness again;
    again.writeIni(saved);
    again.start();
    EXPECT_EQ(again.main().txtTime(0).text(), u"12/24/2026 7:30:00 AM");
    EXPECT_EQ(again.main().txtTimeBAK(1).text(), u"caf\u00e9 \U0001F514") << "nothing lost on the way";
  }
}

TEST(AlarmFile, ASaveNeverWritesALineBreakInsideAValue) {
  const std::u16string breaks[] = {u"\r\n", u"\n", u"\r", u"\v", u"\f", u"\u0085", u"\u2028", u"\u2029"};
  for (const auto& br : breaks) {
    const std::u16string text = ini::AlarmFileText(u"12/24/2026 7:30:00 AM" + br + u"[EVIL]" + br + u"Time=x",
                                                   u"call" + br + u"Time=y");
    EXPECT_EQ(text, u"[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=call\r\n") << ui::toUtf8(br);
  }
  // Whatever put the line break into the box: a program that sets it, a paste.
  Harness h;
  h.start();
  h.main().txtTime(0).setText(u"12/24/2026 7:30:00 AM\r\n[ALARM]\r\nTime=01/01/2020 1:00:00 AM");
  h.main().txtTimeBAK(1).setText(u"first\nsecond");
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=12/24/2026 7:30:00 AM\r\nTimeBAK=first\r\n");
  // "Set Alarm" reads the line that is saved, and the box then shows just that.
  h.type(u"12/24/2026 7:30 pm\r\nTime=01/01/2020 1:00:00 AM");
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.main().txtTime(0).text(), u"12/24/2026 7:30:00 PM");
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=12/24/2026 7:30:00 PM\r\nTimeBAK=first\r\n");
  h.type(u"\n7:30 PM");
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=\r\nTimeBAK=first\r\n");
  // Nor a NUL or another control character, pasted or not; a TAB stays.
  h.type({u'a', 0, u'b', 1, u'c', u'\t', u'd', 0x1f, 0x7f});
  h.click(h.main().cmdSetAlarm);
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=abc\td\x7f\r\nTimeBAK=first\r\n");
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
  EXPECT_EQ(h.message(), u"");
}

TEST(AlarmFile, SavedTextsComeBackAtTheNextStart) {
  std::string saved;
  const std::u16string texts[] = {u"12/24/2026 7:30:00 AM", u"caf\u00e9 \U0001F514 at noon", u"x", std::u16string(10000, u'y')};
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
  const std::u16string message = h.message();
  EXPECT_NE(message.find(h.main().AlarmFilePath), std::u16string::npos) << "names the file";
  EXPECT_NE(message.find(u"No space left on device"), std::u16string::npos) << "and the system's reason";
  EXPECT_EQ(h.readIni(), "[ALARM]\r\nTime=old\r\nTimeBAK=\r\n");
  EXPECT_EQ(h.main().txtTime(0).text(), u"12/24/2026 7:30:00 AM") << "kept for a retry";
  h.advance(1100);
  EXPECT_FALSE(h.main().ProgressBar.visible()) << "the animation runs as ever";
}

TEST(AlarmFile, AnAlarmFileThatIsThereButCannotBeReadIsReportedAndLeftAsItIs) {
  {
    Harness missing;
    missing.start();
    EXPECT_EQ(missing.message(), u"") << "no file is no alarm, and no news";
  }
  Harness h;
  ASSERT_EQ(::mkfifo(h.iniPath().c_str(), 0600), 0);  // nothing will ever write to it
  h.start();
  const std::u16string message = h.message();
  EXPECT_NE(message.find(u"saved alarm could not be read"), std::u16string::npos);
  EXPECT_NE(message.find(h.main().AlarmFilePath), std::u16string::npos) << "names the file";
  EXPECT_NE(message.find(u"named pipe"), std::u16string::npos) << "and why";
  EXPECT_EQ(h.main().txtTime(0).text(), u"");
  EXPECT_TRUE(std::filesystem::is_fifo(h.iniPath()));
}

}  // namespace
}  // namespace tollora::testing
