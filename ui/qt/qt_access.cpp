#include "ui/qt/qt_access.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <algorithm>

#include "ui/qt/qt_look.h"
#include "ui/ui.h"

// The clock label changes its text every second, and QLabel tells the bridge each time
// (a name change). That is left as it is: it keeps what a reader finds there current, and
// screen readers speak a name change only for the object with the keyboard focus, which a
// label never takes. The label is no live region either, so ticking is never spoken; the
// alarm is, once, through Announcer.

namespace ui::qt {

namespace {

constexpr char kRoleProperty[] = "tolloraAccessibleRole";

QAccessibleInterface* formWindowInterface(const QString& key, QObject* object) {
  // A form window is a plain QWidget of its own class without a meta-object: Qt asks for it
  // as "QWidget".
  if (key != QLatin1String("QWidget") || !object || !object->isWidgetType()) return nullptr;
  const QVariant role = object->property(kRoleProperty);
  if (!role.isValid()) return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(object), static_cast<QAccessible::Role>(role.toInt()));
}

class Notification : public QAccessibleObject {
 public:
  explicit Notification(QObject* object) : QAccessibleObject(object) {}
  void setText(const QString& text) { text_ = text; }

  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(qApp); }
  int childCount() const override { return 0; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? text_ : QString(); }
  QAccessible::Role role() const override { return QAccessible::Notification; }
  QAccessible::State state() const override { return {}; }

 private:
  QString text_;
};

}  // namespace

void installAccessibleRoles() { QAccessible::installFactory(formWindowInterface); }

void setAccessibleRole(QWidget* window, bool dialog) {
  // QAccessible::Window is AT-SPI's frame.
  window->setProperty(kRoleProperty, static_cast<int>(dialog ? QAccessible::Dialog : QAccessible::Window));
}

void nameControls(const std::vector<std::pair<Control*, QWidget*>>& controls) {
  for (auto& [control, widget] : controls)
    if (!control->accessibleName.empty()) widget->setAccessibleName(toQString(control->accessibleName));

  std::vector<std::pair<Control*, QWidget*>> byTab;
  for (auto& entry : controls)
    if (entry.first->tabIndex >= 0) byTab.push_back(entry);
  std::stable_sort(byTab.begin(), byTab.end(), [](auto& a, auto& b) { return a.first->tabIndex < b.first->tabIndex; });
  for (std::size_t i = 1; i < byTab.size(); ++i) {
    auto [control, widget] = byTab[i];
    auto* label = qobject_cast<QLabel*>(byTab[i - 1].second);
    // A buddy is Qt's own "labelled by": the box takes the label's text as its name.
    if (control->kind() == Kind::TextBox && control->accessibleName.empty() && label) label->setBuddy(widget);
  }
}

Announcer::~Announcer() {
  if (id_) QAccessible::deleteAccessibleInterface(id_);
}

void Announcer::announce(const std::u16string& text) {
  if (!QAccessible::isActive()) return;  // no screen reader listening
  auto* notification = id_ ? static_cast<Notification*>(QAccessible::accessibleInterface(id_)) : nullptr;
  if (!notification) {
    notification = new Notification(&object_);
    id_ = QAccessible::registerAccessibleInterface(notification);
  }
  notification->setText(toQString(text));
  QAccessibleEvent shown(notification, QAccessible::ObjectShow);
  QAccessible::updateAccessibility(&shown);
}

}  // namespace ui::qt
