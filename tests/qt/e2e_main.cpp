// Tollora as the end-to-end tests run it: the program itself, plus the state file.
#include <cstdlib>
#include <memory>

#include "tests/qt/state_dump.h"
#include "ui/qt/qt_main.h"

int main(int argc, char** argv) {
  std::unique_ptr<ui::qt::StateDump> dump;
  std::unique_ptr<ui::qt::TestInput> input;
  return ui::qt::runProgram(argc, argv, [&](ui::qt::QtBackend& backend) {
    if (const char* pipe = std::getenv("TOLLORA_TEST_INPUT"); pipe && *pipe)
      input = std::make_unique<ui::qt::TestInput>(QString::fromLocal8Bit(pipe), backend.windows());
    const char* file = std::getenv("TOLLORA_TEST_STATE");
    if (!file || !*file) return;
    dump = std::make_unique<ui::qt::StateDump>(QString::fromLocal8Bit(file), backend.windows());
    backend.onStateChanged = [&] { dump->schedule(); };
  });
}
