#include "tests/qt/state_dump.h"

#include <QAbstractButton>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QSaveFile>
#include <QTimer>
#include <QSocketNotifier>
#include <QWidget>
#include <fcntl.h>
#include <unistd.h>

namespace ui::qt {

void StateDump::schedule() {
  if (pending_) return;
  pending_ = true;
  QTimer::singleShot(0, &context_, [this] { write(); });
}

void StateDump::write() {
  pending_ = false;
  // Built by concatenation, not QString::arg: a caption may itself hold "%1".
  const auto flag = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
  QString text;
  for (QWidget* window : windows_) {
    const QString title = window->windowTitle();
    text += "window " + title + ": visible=" + flag(window->isVisible()) + " minimized=" + flag(window->isMinimized()) + '\n';
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      QString caption;
      if (auto* label = qobject_cast<QLabel*>(child)) caption = label->text();
      else if (auto* button = qobject_cast<QAbstractButton*>(child)) caption = button->text();
      // A box's line breaks shown as \n and \r, so one that got in can be seen.
      else if (auto* edit = qobject_cast<QLineEdit*>(child))
        caption = edit->text().replace('\\', QStringLiteral("\\\\")).replace('\n', QStringLiteral("\\n")).replace('\r', QStringLiteral("\\r"));
      else continue;
      text += title + '/' + child->objectName() + ": visible=" + flag(!child->isHidden()) + " text=" +
              caption.replace('\n', ' ') + '\n';
    }
  }
  const QByteArray bytes = text.toUtf8();
  if (bytes == last_) return;
  // QSaveFile writes a temporary file and renames it, so a reader never sees half a state.
  QSaveFile file(file_);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(bytes);
  if (file.commit()) last_ = bytes;
}

TestInput::TestInput(const QString& pipe, const std::vector<QWidget*>& windows) : windows_(windows) {
  // Open for writing too, so that a writer closing its end is no end of input.
  const int fd = ::open(QFile::encodeName(pipe).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &context_);
  QObject::connect(notifier, &QSocketNotifier::activated, &context_, [this, fd] {
    char buffer[512];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) pending_.append(buffer, n);
    for (qsizetype end; (end = pending_.indexOf('\n')) >= 0; pending_.remove(0, end + 1))
      run(QString::fromUtf8(pending_.left(end)));
  });
}

void TestInput::run(const QString& line) {
  // "<verb> <window title>/<control>[ <text>]": titles hold blanks, never a slash.
  const QString verb = line.section(' ', 0, 0), target = line.section(' ', 1);
  const QString title = target.section('/', 0, 0), rest = target.section('/', 1);
  const QString name = rest.section(' ', 0, 0), text = rest.section(' ', 1);
  QWidget* child = nullptr;
  for (QWidget* window : windows_)
    if (window->windowTitle() == title) child = window->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
  // A click may unload the window, and so change windows_: after the search.
  if (auto* button = qobject_cast<QAbstractButton*>(child); button && verb == QLatin1String("click")) button->click();
  if (auto* edit = qobject_cast<QLineEdit*>(child); edit && verb == QLatin1String("type")) edit->setText(text);
}

}  // namespace ui::qt
