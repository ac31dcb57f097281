#include "ui/qt/qt_peers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

#include "ui/qt/qt_access.h"
#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_look.h"

namespace ui::qt {

namespace {

// Qt's logical pixels already follow the screen's scale, so a twip is always 1/15 of one.
int px(int twips) { return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel)); }
int twips(int pixels) { return pixels * kTwipsPerPixel; }

QColor color(Color c) { return toQColor(c, QApplication::palette()); }
QString css(Color c) { return cssColor(c, QApplication::palette()); }

// The program writes Windows line ends; Qt's widgets want bare ones.
QString toLines(const std::u16string& s) { return toQString(s).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }
std::u16string fromLines(QString s) { return fromQString(s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"))); }

// --- forms --------------------------------------------------------------------------------

class FormWindow : public QWidget {
 public:
  FormWindow(Form& form, QtBackend& backend)
      : form_(&form), backend_(backend), image_(form.picture), background_(color(form.backColor)) {}
  // The form is unloading: no more events go to it.
  void detach() { form_ = nullptr; }

  // Back on the screen if the compositor holds it minimised. Wayland: there is no request that
  // undoes a minimise, and Qt sends none for showNormal(), raise() or activateWindow(); the
  // window goes and comes again instead, a new window that the compositor maps in front.
  void comeBack() {
    if (!minimisedUnseen_) return;
    hide();
    show();
  }
  // From now on shown without taking the focus. Qt hands the widget's attribute to the native
  // window only when it makes one, so the window's own property is set as well.
  void showQuietlyFromNowOn() {
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (QWindow* native = windowHandle()) native->setProperty("_q_showWithoutActivating", true);
  }
  void bringForward() {
    comeBack();
    raise();
    activateWindow();
  }
  // Marked until the user turns to it (ActivationChange below): the desktop's own mark, and on
  // X the ICCCM urgency hint as well, which window managers and taskbars read whatever else
  // they support.
  void askAttention() {
    if (isActiveWindow()) return;  // the user works in it already
    QApplication::alert(this);
    setUrgent(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    // At its natural size from the top-left corner, never stretched, as a form picture is.
    // Decoded for the first paint, which comes once the window is on the screen, rather
    // than on the way there.
    if (!decoded_) {
      picture_ = picture(image_);
      decoded_ = true;
    }
    if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
  }
  void moveEvent(QMoveEvent* e) override {
    QWidget::moveEvent(e);
    if (form_) form_->nativeMoved(twips(x()), twips(y()));  // x(), y(): the frame's corner
  }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    if (form_) form_->nativeResized(twips(width()), twips(height()));
  }
  void changeEvent(QEvent* e) override {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
      setUrgent(false);
      // Wayland: the user brought the minimised window back through the desktop.
      if (minimisedUnseen_) {
        minimisedUnseen_ = false;
        if (form_) form_->nativeStateChanged(vbNormal);
      }
      return;
    }
    if (e->type() != QEvent::WindowStateChange) return;
    backend_.stateChanged();
    if (!backend_.platform().reportsMinimised) {
      // Wayland has no minimised state to report: Qt asks the compositor to minimise, then says
      // at once that the window is normal again. That is not the user restoring it.
      if (isMinimized()) minimisedUnseen_ = true;
      else if (minimisedUnseen_) return;
    }
    if (form_) form_->nativeStateChanged(isMinimized() ? vbMinimized : vbNormal);
  }
  // Enter and Escape that no control took: the form's default and cancel buttons.
  void keyPressEvent(QKeyEvent* e) override {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    Button* button = !form_ ? nullptr : enter ? form_->defaultButton : e->key() == Qt::Key_Escape ? form_->cancelButton : nullptr;
    if (button && button->visible() && button->enabled()) return button->raiseClick();  // may unload the form
    QWidget::keyPressEvent(e);
  }
  void closeEvent(QCloseEvent* e) override {
    // The program decides: it unloads the form, and the peer then takes the window away.
    e->ignore();
    if (form_) form_->nativeCloseRequested();
  }
  void showEvent(QShowEvent* e) override {
    QWidget::showEvent(e);
    minimisedUnseen_ = false;  // shown anew: a new window on Wayland, never minimised
    backend_.stateChanged();
  }
  void hideEvent(QHideEvent* e) override {
    QWidget::hideEvent(e);
    backend_.stateChanged();
  }

 private:
  // X11 only: sets or clears the urgency flag in the window's WM_HINTS, keeping the rest.
  void setUrgent(bool on) {
    if (urgent_ == on) return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return;
    urgent_ = on;
    xcb_connection_t* c = x11->connection();
    const auto w = static_cast<xcb_window_t>(winId());
    std::uint32_t hints[9] = {};  // flags, input, initial state, icon, ..., window group
    if (auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9), nullptr)) {
      const int length = xcb_get_property_value_length(reply);
      std::memcpy(hints, xcb_get_property_value(reply), std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), sizeof hints));
      std::free(reply);
    }
    constexpr std::uint32_t kUrgencyHint = 1u << 8;
    hints[0] = on ? hints[0] | kUrgencyHint : hints[0] & ~kUrgencyHint;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, hints);
    xcb_flush(c);
  }

  Form* form_;
  QtBackend& backend_;
  bool minimisedUnseen_ = false;  // Wayland: minimised, and not seen since
  bool urgent_ = false;
  Image image_;
  bool decoded_ = false;
  QPixmap picture_;
  QColor background_;
};

class QtFormPeer : public FormPeer {
 public:
  QtFormPeer(Form& form, QtBackend& backend) : form_(form), backend_(backend), window_(new FormWindow(form, backend)) {
    if (form.border == Border::None) window_->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAccessibleRole(window_, form.border == Border::None);
    window_->setWindowTitle(toQString(form.caption));
    if (form.icon == Image::ClockIcon) window_->setWindowIcon(backend.icon());
    window_->setFont(toQFont(form.font));
    window_->resize(px(form.ScaleWidth()), px(form.ScaleHeight()));
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!backend.platform().placesWindows) {
      // The compositor places windows. The program's other windows are transient for its main
      // one, which compositors keep in front of it (and most put over it), not just anywhere.
      const Form* main = app().mainForm();
      if (QWidget* parent = main && main != &form ? windowOf(main->hWnd()) : nullptr) {
        parent->winId();
        window_->winId();
        window_->windowHandle()->setTransientParent(parent->windowHandle());
      }
    } else if (form.centerOnScreen && screen) {
      // The frame is not known before the window manager has framed the window; centring
      // the client area is within a few pixels.
      const QRect area = screen->availableGeometry();
      window_->move(area.x() + (area.width() - window_->width()) / 2, area.y() + (area.height() - window_->height()) / 2);
      form.nativeMoved(twips(window_->x()), twips(window_->y()));
    } else {
      window_->move(px(form.Left()), px(form.Top()));
    }
    backend.windowCreated(window_);
  }

  ~QtFormPeer() override {
    // Maybe inside an event of this very window (a click that unloads it): take it off the
    // screen now and let Qt free it once that event is over.
    window_->detach();
    backend_.windowDestroyed(window_);
    window_->hide();
    window_->deleteLater();
  }

  void changed(Prop what) override {
    switch (what) {
      case Prop::Shown:
        if (!form_.visible()) {
          window_->hide();
          break;
        }
        // In front, but the keyboard focus stays where the user works: a window that comes
        // up again by itself (the alarm, a panel that ended) would take keys typed for
        // another. The program asks for the focus where the user asked for the window. Its
        // first showing is the user's own doing (a start, a click) and is activated as usual.
        window_->show();
        window_->showQuietlyFromNowOn();
        window_->comeBack();
        window_->raise();
        if (!focused_) focusFirst();
        break;
      case Prop::State:
        if (!window_->isVisible()) {
          // A hidden window only takes the state along for when it is shown again.
          const auto state = window_->windowState();
          window_->setWindowState(form_.WindowState() == vbMinimized ? state | Qt::WindowMinimized : state & ~Qt::WindowMinimized);
        } else if (form_.WindowState() == vbMinimized) {
          window_->showMinimized();
        } else {
          window_->showQuietlyFromNowOn();
          window_->showNormal();
          window_->comeBack();
        }
        break;
      case Prop::Geometry:
        if (backend_.platform().placesWindows) window_->move(px(form_.Left()), px(form_.Top()));
        window_->resize(px(form_.ScaleWidth()), px(form_.ScaleHeight()));
        break;
      case Prop::Repaint:
        window_->repaint();
        break;
      default:
        break;
    }
  }

  Handle handle() const override { return reinterpret_cast<Handle>(window_); }
  Handle iconHandle() const override { return reinterpret_cast<Handle>(&backend_.icon()); }
  QWidget* window() const { return window_; }

  // Tab order by tabIndex, among the controls that can take the focus.
  void setTabOrder(std::vector<std::pair<Control*, QWidget*>> stops) {
    std::stable_sort(stops.begin(), stops.end(), [](auto& a, auto& b) { return a.first->tabIndex < b.first->tabIndex; });
    for (std::size_t i = 1; i < stops.size(); ++i) QWidget::setTabOrder(stops[i - 1].second, stops[i].second);
    stops_ = std::move(stops);
  }

 private:
  // The control the program asked for (the ringing alarm's "Stop/Reset"), else the first in
  // tab order that can take the focus.
  void focusFirst() {
    focused_ = true;
    for (auto& [control, widget] : stops_) {
      if (control == form_.focusRequest() && control->visible() && control->enabled()) {
        widget->setFocus(Qt::OtherFocusReason);
        return;
      }
    }
    for (auto& [control, widget] : stops_) {
      if (control->visible() && control->enabled()) {
        widget->setFocus();
        return;
      }
    }
  }

  Form& form_;
  QtBackend& backend_;
  FormWindow* window_;
  std::vector<std::pair<Control*, QWidget*>> stops_;
  bool focused_ = false;
};

// --- controls -----------------------------------------------------------------------------

class WidgetPeer : public Peer {
 public:
  WidgetPeer(Control& control, QWidget* widget, QtBackend& backend) : control_(control), widget_(widget), backend_(backend) {
    widget->setObjectName(QString::fromStdString(control.name()));
    widget->setGeometry(px(control.rect.left), px(control.rect.top), px(control.rect.width), px(control.rect.height));
    widget->setFont(toQFont(control.font));
    if (!control.toolTip.empty()) widget->setToolTip(toQString(control.toolTip));
    if (control.cursor != Cursor::Default) widget->setCursor(cursorFor(control.cursor));
    widget->setVisible(control.visible());
    widget->setEnabled(control.enabled());
  }
  ~WidgetPeer() override {
    // The control may be gone by the time Qt frees the widget: cut every signal first.
    widget_->disconnect();
    widget_->hide();
    widget_->deleteLater();
  }
  void changed(Prop what) override {
    if (what == Prop::Visible) widget_->setVisible(control_.visible());
    else if (what == Prop::Enabled) widget_->setEnabled(control_.enabled());
    else if (what == Prop::ToolTip) setToolTip();
    // In the active window the keys go there now; in another, Qt keeps it as the widget that
    // takes the focus when the window is next activated, and activates nothing.
    else if (what == Prop::Focus) widget_->setFocus(Qt::OtherFocusReason);
    else update(what);
    backend_.stateChanged();
  }
  QWidget* widget() const { return widget_; }

 protected:
  // The tooltip, and the same text as what a screen reader gives as the description.
  void setToolTip() {
    widget_->setToolTip(toQString(control_.toolTip));
    widget_->setAccessibleDescription(toQString(control_.toolTip));
  }

  virtual void update(Prop what) = 0;

  Control& control_;
  QWidget* widget_;
  QtBackend& backend_;
};

class LabelPeer : public WidgetPeer {
 public:
  LabelPeer(Label& label, QWidget* parent, QtBackend& backend)
      : WidgetPeer(label, new QLabel(parent), backend), label_(label), qlabel_(static_cast<QLabel*>(widget_)) {
    qlabel_->setTextFormat(Qt::PlainText);
    qlabel_->setAlignment((label.align == Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    // Without a background of its own a QLabel lets the form's picture show through.
    qlabel_->setAutoFillBackground(!label.transparent);
    update(Prop::ForeColor);
    update(Prop::Caption);
  }

 protected:
  void update(Prop what) override {
    if (what == Prop::Caption) {
      qlabel_->setText(toLines(label_.caption()));
      if (label_.autoSize) fit();
      else fitFont();
    } else if (what == Prop::ForeColor || what == Prop::BackColor) {
      QPalette palette = qlabel_->palette();
      palette.setColor(QPalette::WindowText, color(label_.foreColor()));
      palette.setColor(QPalette::Window, color(label_.backColor()));
      qlabel_->setPalette(palette);
    }
  }

 private:
  // Grows or shrinks to the caption, keeping the left edge or the centre where it was drawn.
  void fit() {
    const QSize size = qlabel_->sizeHint();
    const QRect design(px(label_.rect.left), px(label_.rect.top), px(label_.rect.width), px(label_.rect.height));
    const int left = label_.align == Align::Center ? design.center().x() - size.width() / 2 : design.left();
    qlabel_->setGeometry(left, design.top(), size.width(), size.height());
  }

  // A label of fixed size shows its whole caption in whatever font the platform fell back to
  // (a wider family than the one named, for another user or a missing font): where the text
  // is wider than the label, the font steps down until it fits, and stays there, so that the
  // clock's size does not change from one second to the next.
  void fitFont() {
    QFont font = qlabel_->font();
    while (qlabel_->sizeHint().width() > qlabel_->width() && font.pointSizeF() > 5) {
      font.setPointSizeF(font.pointSizeF() - 0.25);
      qlabel_->setFont(font);
    }
  }

  Label& label_;
  QLabel* qlabel_;
};

// A text box's text and field colours, for either kind of edit widget.
void setBoxColors(QWidget* edit, const TextBox& box) {
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Text, color(box.foreColor()));
  palette.setColor(QPalette::Base, color(box.backColor()));
  edit->setPalette(palette);
}

class LineEditPeer : public WidgetPeer {
 public:
  LineEditPeer(TextBox& box, QWidget* parent, QtBackend& backend)
      : WidgetPeer(box, new QLineEdit(parent), backend), box_(box), edit_(static_cast<QLineEdit*>(widget_)) {
    // Every change, the user's and the widget's own setText and insert calls alike (which an
    // accessibility tool's "set value" makes): any of them may bring line breaks. The program's
    // own text comes back equal to the box's and is no edit.
    QObject::connect(edit_, &QLineEdit::textChanged, [this](const QString& text) {
      if (text != toQString(box_.text())) edited(text);
    });
    update(Prop::ForeColor);
    update(Prop::Caption);
  }

  // QLineEdit takes a pasted or dropped text whole, line breaks and all; the box keeps one line.
  void edited(const QString& text) {
    const std::size_t caret = box_.nativeEdited(fromQString(text), static_cast<std::size_t>(edit_->cursorPosition()));
    const QString kept = toQString(box_.text());
    if (kept == text) return;
    edit_->setText(kept);
    edit_->setCursorPosition(static_cast<int>(caret));
  }

 protected:
  void update(Prop what) override {
    if (what == Prop::Caption) {
      const QString text = toQString(box_.text());
      if (edit_->text() != text) edit_->setText(text);
    } else if (what == Prop::ForeColor || what == Prop::BackColor) {
      setBoxColors(edit_, box_);
    }
  }

 private:
  TextBox& box_;
  QLineEdit* edit_;
};

class TextEditPeer : public WidgetPeer {
 public:
  TextEditPeer(TextBox& box, QWidget* parent, QtBackend& backend)
      : WidgetPeer(box, new QPlainTextEdit(parent), backend), box_(box), edit_(static_cast<QPlainTextEdit*>(widget_)) {
    edit_->setVerticalScrollBarPolicy(box.verticalScrollBar ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (box.locked) {
      edit_->setReadOnly(true);
      edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes on to the next control, as in a Windows dialog, instead of trapping the
    // keyboard in the box.
    edit_->setTabChangesFocus(true);
    QObject::connect(edit_, &QPlainTextEdit::textChanged, [this] { box_.nativeEdited(fromLines(edit_->toPlainText())); });
    update(Prop::ForeColor);
    update(Prop::Caption);
  }

 protected:
  void update(Prop what) override {
    if (what == Prop::Caption) {
      const QString text = toLines(box_.text());
      if (edit_->toPlainText() == text) return;
      // textChanged fires for the program's own text too; it must not come back as an edit.
      const QSignalBlocker quiet(edit_);
      edit_->setPlainText(text);
    } else if (what == Prop::ForeColor || what == Prop::BackColor) {
      setBoxColors(edit_, box_);
    }
  }

 private:
  TextBox& box_;
  QPlainTextEdit* edit_;
};

class ButtonPeer : public WidgetPeer {
 public:
  ButtonPeer(Button& button, QWidget* parent, QtBackend& backend)
      : WidgetPeer(button, new QPushButton(parent), backend), button_(button), push_(static_cast<QPushButton*>(widget_)) {
    // Enter presses the button that has the focus, as Space does.
    push_->setAutoDefault(true);
    // raiseClick may unload the form and so destroy this peer; the widget itself lives on
    // until the event is over (deleteLater), and nothing here is touched afterwards.
    QObject::connect(push_, &QPushButton::clicked, [this] { button_.raiseClick(); });
    update(Prop::Caption);
    update(Prop::BackColor);
  }

 protected:
  void update(Prop what) override {
    if (what == Prop::Caption) {
      push_->setText(toLines(button_.caption()));
    } else if (what == Prop::BackColor && button_.graphical) {
      // A graphical button is a flat face in its own colour inside the classic raised edge,
      // not the theme's button. With the keyboard focus the edge turns to the text colour all
      // round, plain on every face colour the program gives it.
      push_->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; border: 2px solid;"
                                          " border-color: palette(light) palette(shadow) palette(shadow) palette(light); }"
                                          "QPushButton:focus { border-color: %2; }"
                                          "QPushButton:pressed { border-color: palette(shadow) palette(light) palette(light) palette(shadow); }")
                               .arg(css(button_.backColor()), css(SysButtonText)));
    }
  }

 private:
  Button& button_;
  QPushButton* push_;
};

class ProgressBarPeer : public WidgetPeer {
 public:
  ProgressBarPeer(ProgressBar& bar, QWidget* parent, QtBackend& backend)
      : WidgetPeer(bar, new QProgressBar(parent), backend), bar_(bar), qbar_(static_cast<QProgressBar*>(widget_)) {
    qbar_->setTextVisible(false);
    qbar_->setRange(static_cast<int>(std::lround(bar.min)), static_cast<int>(std::lround(bar.max)));
    qbar_->setFocusPolicy(Qt::NoFocus);
    update(Prop::BarColors);
    update(Prop::Value);
  }

 protected:
  void update(Prop what) override {
    if (what == Prop::Value) {
      qbar_->setValue(static_cast<int>(std::lround(bar_.value())));
    } else if (what == Prop::BarColors) {
      qbar_->setStyleSheet(QStringLiteral("QProgressBar { background-color: %1; border: none; }"
                                          "QProgressBar::chunk { background-color: %2; }")
                               .arg(css(bar_.backColor()), css(bar_.barColor())));
    }
  }

 private:
  ProgressBar& bar_;
  QProgressBar* qbar_;
};

// A timer's countdown: a single-shot QTimer, precise, since the clock's countdown ends just
// past a second boundary.
class Countdown : public TimerPeer {
 public:
  explicit Countdown(Timer& timer) : qtimer_(new QTimer) {
    qtimer_->setTimerType(Qt::PreciseTimer);
    qtimer_->setSingleShot(true);
    QObject::connect(qtimer_, &QTimer::timeout, [&timer] { timer.elapsed(); });
  }
  ~Countdown() override {
    // Maybe inside this timer's own timeout: stop it, cut it off, and let Qt free it.
    qtimer_->stop();
    qtimer_->disconnect();
    qtimer_->deleteLater();
  }
  void start(std::int64_t ms) override { qtimer_->start(std::chrono::milliseconds(ms)); }
  void stop() override { qtimer_->stop(); }

 private:
  QTimer* qtimer_;
};

}  // namespace

void bringForward(QWidget* window) {
  if (auto* form = dynamic_cast<FormWindow*>(window)) form->bringForward();
}

void requestAttention(QWidget* window) {
  if (auto* form = dynamic_cast<FormWindow*>(window)) form->askAttention();
}

std::unique_ptr<FormPeer> createFormPeers(Form& form, QtBackend& backend) {
  auto peer = std::make_unique<QtFormPeer>(form, backend);
  QWidget* window = peer->window();
  std::vector<std::pair<Control*, QWidget*>> stops, widgets;
  for (Control* c : form.controls()) {
    std::unique_ptr<WidgetPeer> widget;
    switch (c->kind()) {
      case Kind::Label: widget = std::make_unique<LabelPeer>(static_cast<Label&>(*c), window, backend); break;
      case Kind::TextBox: {
        auto& box = static_cast<TextBox&>(*c);
        if (box.multiLine) widget = std::make_unique<TextEditPeer>(box, window, backend);
        else widget = std::make_unique<LineEditPeer>(box, window, backend);
        break;
      }
      case Kind::Button: widget = std::make_unique<ButtonPeer>(static_cast<Button&>(*c), window, backend); break;
      case Kind::ProgressBar: widget = std::make_unique<ProgressBarPeer>(static_cast<ProgressBar&>(*c), window, backend); break;
      case Kind::Timer: c->attachPeer(std::make_unique<Countdown>(static_cast<Timer&>(*c))); continue;
    }
    if (c->tabIndex >= 0 && widget->widget()->focusPolicy() != Qt::NoFocus) stops.emplace_back(c, widget->widget());
    widgets.emplace_back(c, widget->widget());
    c->attachPeer(std::move(widget));
  }
  peer->setTabOrder(std::move(stops));
  nameControls(widgets);
  return peer;
}

}  // namespace ui::qt
