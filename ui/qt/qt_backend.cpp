#include "ui/qt/qt_backend.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#ifdef __linux__
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>
#endif

#include "ui/instance_name.h"
#include "ui/qt/qt_look.h"
#include "ui/qt/qt_peers.h"
#include "ui/qt/qt_state_dump.h"

// rcc's initialiser lives in a static library: nothing would pull it in without this call.
static void initResources() { Q_INIT_RESOURCE(tollora); }

namespace ui::qt {

void beforeApplication() {
  // X11: no shared-memory images. Each repaint through shared memory is answered by a
  // completion event, which wakes Qt's X event thread and then the main thread: two extra
  // wake-ups for every second the clock shows. The clock's few changed pixels cost nothing
  // worth saving through the socket. (A user's own setting of the variable wins.)
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
}

QtBackend::QtBackend(std::u16string programFolder) : folder_(std::move(programFolder)) {
  initResources();
  installFontSubstitutes();
  installAccessibleRoles();
  if (folder_.empty()) folder_ = posixProgramFolder();
  icon_ = clockIcon();
  QGuiApplication::setWindowIcon(icon_);
  monotonic_.start();
  if (watchClock()) {
    auto* notifier = new QSocketNotifier(clockWatch_, QSocketNotifier::Read, &context_);
    QObject::connect(notifier, &QSocketNotifier::activated, &context_, [this] {
      // ECANCELED: the clock was set, or the machine resumed. Watch again, then tell.
      std::uint64_t expirations = 0;
      if (::read(clockWatch_, &expirations, sizeof expirations) < 0 && errno != ECANCELED) return;
      watchClock();
      clockChanged();
    });
  }
  if (const char* file = std::getenv("TOLLORA_TEST_STATE"); file && *file)
    dump_ = std::make_unique<StateDump>(QString::fromLocal8Bit(file), windows_);
}

QtBackend::~QtBackend() {
  delete message_;
  delete tray_;
  if (clockWatch_ >= 0) ::close(clockWatch_);
}

// With no ticks while the window is hidden nothing would compare the clocks: on Linux the kernel
// says when the wall clock is set or the machine resumes, through a wall-clock timerfd armed far
// ahead with TFD_TIMER_CANCEL_ON_SET, which costs no wake-up until then. Elsewhere the layer's
// comparison on the clock's ticks and the aimed timers' ten-minute re-aim remain.
bool QtBackend::watchClock() {
#ifdef __linux__
  if (clockWatch_ < 0) clockWatch_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  if (clockWatch_ < 0) return false;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  itimerspec far{};
  far.it_value.tv_sec = now.tv_sec + 100LL * 366 * 86400;
  if (::timerfd_settime(clockWatch_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr) == 0) return true;
  ::close(clockWatch_);
  clockWatch_ = -1;
#endif
  return false;
}

void QtBackend::clockChanged() { app().timeChanged(); }

std::int64_t QtBackend::utcMs() { return QDateTime::currentMSecsSinceEpoch(); }

std::int64_t QtBackend::monotonicMs() { return monotonic_.elapsed(); }

std::int64_t QtBackend::utcFromLocal(std::int64_t localMs) {
  const LocalTime t = fromLocalMs(localMs);
  return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second, t.millisecond)).toMSecsSinceEpoch();
}

std::unique_ptr<FormPeer> QtBackend::createPeers(Form& form) { return createFormPeers(form, *this); }

void QtBackend::quit() {
  // Queued: the last window may unload before the event loop has even started.
  QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

LocalTime QtBackend::now() {
  const QDateTime t = QDateTime::currentDateTime();
  const QDate d = t.date();
  const QTime c = t.time();
  return {d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second(), c.msec()};
}

RegionalSettings QtBackend::regional() {
  RegionalSettings rs;
  const QLocale locale = QLocale::system();
  const QString am = locale.amText(), pm = locale.pmText();
  // A locale without designators, or with the same word for both, cannot tell a typed
  // morning from an afternoon: keep the English ones.
  if (!am.isEmpty() && !pm.isEmpty() && am != pm) {
    rs.am = fromQString(am);
    rs.pm = fromQString(pm);
  }
  return rs;
}

Backend::InstanceLock QtBackend::tryLockInstance(const std::u16string& key) {
  return instance_.tryLock(instanceTag(posixCanonicalPath(toUtf8(key))), [] { app().anotherStart(); });
}

bool QtBackend::knockInstance(const std::u16string& key, int timeoutMs) {
  return instance_.knock(instanceTag(posixCanonicalPath(toUtf8(key))), timeoutMs);
}

void QtBackend::pauseMs(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

QString QtBackend::soundFile(const std::u16string& path) const {
  const QFileInfo asked(toQString(path));
  if (asked.isFile()) return asked.filePath();
  // Installed the Debian way the program is in <prefix>/bin and its sound in
  // <prefix>/share/tollora: a sound asked for beside the program is looked for there too.
  if (!asked.exists() && asked.absolutePath() == toQString(folder_)) {
    const QFileInfo shared(QDir::cleanPath(toQString(folder_) + QStringLiteral("/../share/tollora/") + asked.fileName()));
    if (shared.isFile()) return shared.filePath();
  }
  return {};
}

void QtBackend::playSound(const std::u16string& path) {
  // A folder or a missing file names no sound: canberra plays the desktop's alert instead.
  sound_.play(QFile::encodeName(soundFile(path)).toStdString());
}

void QtBackend::playDefaultSound() {
  // Naming no file, canberra plays the desktop's alert.
  sound_.play({});
}

bool QtBackend::trayShow(const TrayIcon& icon) {
  trayWindow_ = icon.hWnd;
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  if (!tray_) {
    tray_ = new QSystemTrayIcon(icon_);
    QObject::connect(tray_, &QSystemTrayIcon::activated, &context_, [this](QSystemTrayIcon::ActivationReason r) { trayActivated(r); });
    // A click on the icon's notification brings the window back as a click on the icon does.
    QObject::connect(tray_, &QSystemTrayIcon::messageClicked, &context_, [this] { trayActivated(QSystemTrayIcon::Trigger); });
  }
  tray_->setToolTip(toQString(icon.tip));
  // Made on the event loop's first turn, once the main window's own requests are on their
  // way to the display: docking the icon takes a few round trips the window need not wait
  // for. Nothing can click it before then.
  QTimer::singleShot(0, &context_, [this] {
    if (tray_) tray_->show();
  });
  return true;
}

void QtBackend::trayHide(const TrayIcon&) {
  if (!tray_) return;
  // Maybe from inside the icon's own activated signal: let Qt finish with it first.
  tray_->hide();
  tray_->disconnect();
  tray_->deleteLater();
  tray_ = nullptr;
}

void QtBackend::trayNotify(const std::u16string& title, const std::u16string& text) {
  if (tray_) tray_->showMessage(toQString(title), toQString(text), icon_);
}

void QtBackend::trayActivated(QSystemTrayIcon::ActivationReason reason) {
  TrayClick click;
  switch (reason) {
    case QSystemTrayIcon::Trigger: click = TrayClick::LeftUp; break;
    case QSystemTrayIcon::DoubleClick: click = TrayClick::LeftDoubleClick; break;
    case QSystemTrayIcon::Context: click = TrayClick::RightDown; break;
    default: return;
  }
  for (Form* form : app().forms()) {
    if (form->hWnd() == trayWindow_) {
      form->nativeTrayClick(click);
      return;
    }
  }
}

void QtBackend::setForegroundWindow(Handle window) {
  QWidget* widget = windowOf(window);
  if (!widget) return;
  widget->raise();
  widget->activateWindow();
}

void QtBackend::openUrl(const std::u16string& address) {
  // Web addresses only: the desktop would open a file or run a handler for other schemes.
  const QUrl url(toQString(address), QUrl::StrictMode);
  if (url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")))
    QDesktopServices::openUrl(url);
}

void QtBackend::reportError(const std::u16string& title, const std::u16string& message) {
  // Modeless, so the clock keeps ticking, an alarm still fires and "Stop/Reset" still works
  // while the box is open. One box at a time: a second report while it is open takes its
  // place in the same box, brought to the front.
  if (!message_) {
    message_ = new QMessageBox(QMessageBox::Warning, toQString(title), toQString(message), QMessageBox::Ok);
    message_->setAttribute(Qt::WA_DeleteOnClose);
    message_->setWindowModality(Qt::NonModal);
  } else {
    message_->setWindowTitle(toQString(title));
    message_->setText(toQString(message));
  }
  message_->show();
  message_->raise();
  message_->activateWindow();
}

void QtBackend::windowCreated(QWidget* window) {
  windows_.push_back(window);
  stateChanged();
}

void QtBackend::windowDestroyed(QWidget* window) {
  std::erase(windows_, window);
  stateChanged();
}

void QtBackend::stateChanged() {
  if (dump_) dump_->schedule();
}

}  // namespace ui::qt
