// How screen readers on the Linux desktop read the program, through Qt's AT-SPI bridge.
#pragma once

#include <QAccessible>
#include <QObject>
#include <QString>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace ui {
class Control;
}

namespace ui::qt {

// Reads a form's window as a frame, or as a dialog for the borderless windows that open over
// the main one, instead of Qt's "filler" for a plain QWidget. Installed once, with the backend.
void installAccessibleRoles();
void setAccessibleRole(QWidget* window, bool dialog);

// A control's accessible name when the program gives one. A text box without one is named by
// the label just before it in tab order, as Windows names an edit by the static before it.
void nameControls(const std::vector<std::pair<Control*, QWidget*>>& controls);

// Speaks a text once: a notification object that shows itself on the accessibility bus.
// Screen readers present a notification as it appears, whichever window is in front; the
// object is in no window, so a hidden or minimised main window does not silence it.
class Announcer {
 public:
  ~Announcer();
  void announce(const std::u16string& text);

 private:
  QObject object_;
  QAccessible::Id id_ = 0;
};

}  // namespace ui::qt
