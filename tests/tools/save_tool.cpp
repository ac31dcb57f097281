// Drives "Set Alarm" on the headless backend against a real folder, for tests/faults.sh.
//   save_tool once <folder> <text>   one save; exit 0 when saved, 3 when the failure was reported
//   save_tool loop <folder>          saves "A..." and "B..." alternately until killed
#include <cstdio>
#include <string>

#include "app/alarm_form.h"
#include "dialogs/message.h"
#include "ui/headless/headless.h"

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode != "once" && mode != "loop") {
    std::fprintf(stderr, "usage: %s once <folder> <text> | loop <folder>\n", argv[0]);
    return 2;
  }
  ui::HeadlessBackend backend;
  backend.folder = ui::fromUtf8(argv[2]);
  ui::App app(backend);
  auto& main = ui::form<tollora::Alarm>();
  main.Show();
  const auto save = [&](const std::string& text) {
    main.txtTime(0).nativeEdited(ui::fromUtf8(text));
    main.cmdSetAlarm.raiseClick();
  };
  if (mode == "once") {
    save(argc > 3 ? argv[3] : "");
    const auto* message = app.loadedInstance<tollora::Message>();
    if (message) std::printf("reported: %s\n", ui::toUtf8(message->txtText.text()).c_str());
    return message ? 3 : 0;
  }
  // Long texts make each write take a while, so kills land inside writes too.
  const std::string a = "A" + std::string(200, 'a'), b = "B" + std::string(200, 'b');
  for (unsigned long i = 0;; ++i) save(i % 2 ? b : a);
}
