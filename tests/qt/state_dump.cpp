#include "tests/qt/state_dump.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

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

}  // namespace ui::qt
