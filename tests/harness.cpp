#include "tests/harness.h"

#include <fstream>
#include <random>
#include <sstream>

#include "alarm/clock_text.h"
#include "dialogs/message.h"

namespace tollora::testing {

Harness::Harness() {
  std::random_device rd;
  folder = std::filesystem::temp_directory_path() / ("tollora-test-" + std::to_string(rd()));
  std::filesystem::create_directories(folder);
  backend.folder = ui::fromUtf8(folder.string());
  backend.settingsFolder = ui::fromUtf8(settingsFolder().string());
}

Harness::~Harness() {
  std::error_code ec;
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
  std::filesystem::remove_all(folder, ec);
}

void Harness::start() { main().Show(); }

std::u16string Harness::message() {
  const Message* m = app.loadedInstance<Message>();
  return m ? m->txtText.text() : std::u16string();
}

std::u16string Harness::clockTextIn(int seconds) {
  const auto t = ui::HeadlessBackend::fromEpochMs(backend.wallMs() + seconds * 1000LL);
  return FormatClockText(t, t, backend.settings);
}

int Harness::beepsSince(std::int64_t ms) const {
  int n = 0;
  for (auto& s : backend.sounds)
    if (s.atMs >= ms && s.path.ends_with(u"/beep.wav")) ++n;
  return n;
}

void Harness::writeIni(const std::string& bytes) const {
  std::ofstream(iniPath(), std::ios::binary) << bytes;
}

std::string Harness::readIni() const {
  std::ifstream in(iniPath(), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::u16string u16(const std::string& s) { return ui::fromUtf8(s); }

}  // namespace tollora::testing
