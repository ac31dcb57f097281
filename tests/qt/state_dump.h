// The end-to-end tests' build of the program (tollora_e2e): with TOLLORA_TEST_STATE=<file>
// set, it keeps a line-based snapshot of what is on screen in that file, so a test driving it
// from outside can see its state. The shipped program has none of this.
//
//   window Tollora v1.1: visible=1 minimized=0
//   Tollora v1.1/lblTime: visible=1 text=01/11/2022 1:11:01 PM
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <vector>

class QWidget;

namespace ui::qt {

// With TOLLORA_TEST_INPUT=<named pipe>, lines written to the pipe work the program where no
// input device can (Wayland's headless compositor): "click <window>/<button>" and
// "type <window>/<box> <text>".
class TestInput {
 public:
  TestInput(const QString& pipe, const std::vector<QWidget*>& windows);

 private:
  void run(const QString& line);

  const std::vector<QWidget*>& windows_;
  QObject context_;
  QByteArray pending_;
};

class StateDump {
 public:
  StateDump(QString file, const std::vector<QWidget*>& windows) : file_(std::move(file)), windows_(windows) {}
  // Writes once the current event is done, so a burst of changes gives one write.
  void schedule();

 private:
  void write();

  QString file_;
  const std::vector<QWidget*>& windows_;
  QObject context_;
  QByteArray last_;
  bool pending_ = false;
};

}  // namespace ui::qt
