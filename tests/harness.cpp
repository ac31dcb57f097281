#include "tests/harness.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "alarm/clock_text.h"
#include "dialogs/message.h"

namespace tollora::testing {

Harness::Harness() {
  folder = fs::temp_directory_path() / ("tollora-test-" + std::to_string(std::random_device()()));
  fs::create_directories(folder);
  backend.folder = u16(folder);
  backend.settingsFolder = u16(settingsFolder());
  backend.stateHome = u16(stateFolder());
}

Harness::~Harness() {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::remove_all(stateFolder(), ec);
}

std::u16string Harness::message() {
  const Message* m = app.loadedInstance<Message>();
  return m ? m->txtText.text() : std::u16string();
}

Harness::State Harness::state() {
  const Alarm& m = main();
  const auto is = [&](const char16_t* caption, ui::Color color) {
    return m.cmdSetAlarm.caption() == caption && m.cmdSetAlarm.backColor() == color && m.lblTime.foreColor() == color;
  };
  return is(u"Alarm Set", kGreen) ? Armed : is(u"Set Alarm", kOrange) ? Pending : Neither;
}

std::u16string Harness::clockTextIn(int seconds) {
  const auto t = ui::fromLocalMs(backend.wallMs() + seconds * 1000LL);
  return FormatClockText(t, t, backend.settings);
}

std::int64_t Harness::dueMs() { return ClockMoment(main().txtTime(0).text(), backend.settings).value() * 1000; }

int Harness::beepsSince(std::int64_t ms) const {
  return static_cast<int>(std::count_if(backend.sounds.begin(), backend.sounds.end(), [&](auto& s) {
    return s.atMs >= ms && s.path == backend.folder + u"/beep.wav";
  }));
}

std::u16string u16(const std::string& s) { return ui::fromUtf8(s); }

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string utf16(const std::u16string& text, bool bigEndian, bool mark) {
  std::string out = !mark ? "" : bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

void put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

int inChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

int asNobody(const std::function<int()>& body) {
  return inChild([&] {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
      return 100;
    return body();
  });
}

}  // namespace tollora::testing
