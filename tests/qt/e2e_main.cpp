// The program as the end-to-end tests run it (never shipped), plus TOLLORA_TEST_STATE=<file>: what is on
// screen after each change ("window Tollora v1.1: visible=1 minimized=0", "Tollora v1.1/lblTime: visible=1 text=...");
// TOLLORA_TEST_INPUT=<named pipe>: "click <window>/<button>", "type <window>/<box> <text>", "close <window>/".
#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QSocketNotifier>
#include <algorithm>

#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_main.h"

namespace {

void writeState(const QString& path, const std::vector<QWidget*>& windows) {
  const auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
  QString text;  // by concatenation, not QString::arg: a caption may itself hold "%1"
  for (QWidget* window : windows) {
    const QString title = window->windowTitle();
    text += "window " + title + ": visible=" + flag(window->isVisible()) + " minimized=" + flag(window->isMinimized()) + '\n';
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      QString caption;
      if (auto* label = qobject_cast<QLabel*>(child)) caption = label->text();
      else if (auto* button = qobject_cast<QAbstractButton*>(child)) caption = button->text();
      else if (auto* edit = qobject_cast<QLineEdit*>(child)) caption = edit->text();
      else if (auto* text = qobject_cast<QPlainTextEdit*>(child)) caption = text->toPlainText();
      else continue;
      text += title + '/' + child->objectName() + ": visible=" + flag(!child->isHidden()) + " text=" + caption.replace('\n', ' ') + '\n';
    }
  }
  QSaveFile file(path);  // written beside and renamed: a reader never sees half a state
  if (file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0) file.commit();
}

// "<verb> <window title>/<control>[ <text>]": titles hold blanks, never a slash.
void work(const std::vector<QWidget*>& windows, const QString& line) {
  const QString verb = line.section(' ', 0, 0), target = line.section(' ', 1);
  const QString title = target.section('/', 0, 0), rest = target.section('/', 1);
  const auto found = std::find_if(windows.begin(), windows.end(), [&](QWidget* w) { return w->windowTitle() == title; });
  if (found == windows.end()) return;
  QWidget* control = (*found)->findChild<QWidget*>(rest.section(' ', 0, 0), Qt::FindDirectChildrenOnly);
  // Last: each may unload a window, and so change `windows`.
  if (verb == QLatin1String("close")) (*found)->close();
  if (auto* button = qobject_cast<QAbstractButton*>(control); button && verb == QLatin1String("click")) button->click();
  if (auto* box = qobject_cast<QLineEdit*>(control); box && verb == QLatin1String("type")) box->setText(rest.section(' ', 1));
}

}  // namespace

int main(int argc, char** argv) {
  QObject context;
  QByteArray received;
  return ui::qt::runProgram(argc, argv, [&](ui::qt::QtBackend& backend) {
    const auto& windows = backend.windows();
    const QByteArray state = qgetenv("TOLLORA_TEST_STATE"), pipe = qgetenv("TOLLORA_TEST_INPUT");
    if (!state.isEmpty()) backend.onStateChanged = [&, path = QString::fromLocal8Bit(state)] { writeState(path, windows); };
    // Opened for writing too: a writer closing its end is no end of input.
    const int fd = pipe.isEmpty() ? -1 : ::open(pipe.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    QObject::connect(new QSocketNotifier(fd, QSocketNotifier::Read, &context), &QSocketNotifier::activated, &context, [&, fd] {
      char buffer[512];
      for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
      for (qsizetype end; (end = received.indexOf('\n')) >= 0; received.remove(0, end + 1))
        work(windows, QString::fromUtf8(received.left(end)));
    });
  });
}
