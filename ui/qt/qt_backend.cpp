#include "ui/qt/qt_backend.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#ifdef __linux__
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>
#endif

#include "ui/instance_name.h"
#include "ui/posix/posix_signals.h"
#include "ui/qt/qt_look.h"
#include "ui/qt/qt_peers.h"

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
  const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  platform_ = {.placesWindows = !wayland, .reportsMinimised = !wayland};
  monotonic_.start();
  watchZone("/etc/localtime");
  watchEndSignals();
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
  watchTray();
}

QtBackend::~QtBackend() {
  delete tray_;
  if (clockWatch_ >= 0) ::close(clockWatch_);
  zoneNotifier_.reset();
  if (zoneWatch_ >= 0) ::close(zoneWatch_);
}

// A new time zone is a new file in place of the old: timedatectl renames a fresh link onto
// /etc/localtime, `ln -sf` removes and makes one, a copy rewrites it. The folder is watched
// (a watch on the file itself would follow the old one away) and only that name heard. libc
// reads the zone again at tzset(), which Qt's local-time calls make as well.
void QtBackend::watchZone(const std::string& path) {
#ifdef __linux__
  zoneNotifier_.reset();
  if (zoneWatch_ >= 0) ::close(zoneWatch_);
  const std::size_t slash = path.rfind('/');
  zoneName_ = path.substr(slash + 1);
  const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  zoneWatch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (zoneWatch_ < 0) return;
  if (::inotify_add_watch(zoneWatch_, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
    ::close(zoneWatch_);
    zoneWatch_ = -1;
    return;
  }
  zoneNotifier_ = std::make_unique<QSocketNotifier>(zoneWatch_, QSocketNotifier::Read);
  QObject::connect(zoneNotifier_.get(), &QSocketNotifier::activated, &context_, [this] {
    alignas(inotify_event) char buffer[4096];
    bool zone = false;
    for (ssize_t n; (n = ::read(zoneWatch_, buffer, sizeof buffer)) > 0;) {
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len && zoneName_ == event->name) zone = true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    if (!zone) return;
    ::tzset();
    clockChanged();
  });
#else
  (void)path;
#endif
}

// Asked from outside to end: the program closes its first window, as the user would (the main
// window's unload takes every other with it), and ends by its own road.
void QtBackend::watchEndSignals() {
  const int fd = posixEndSignals();
  if (fd < 0) return;
  QObject::connect(new QSocketNotifier(fd, QSocketNotifier::Read, &context_), &QSocketNotifier::activated, &context_, [this, fd] {
    posixEndSignalTaken(fd);
    if (Form* first = app().mainForm()) first->nativeCloseRequested();
    else quit();
  });
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

// X11: Qt follows the host of the notification area (the owner of the system-tray selection)
// and says when it changes through a signal of its platform's native interface, the same one
// its own icon re-docks on. A look at the area after each, on the next turn of the event loop
// so that Qt has settled first; nothing polls. Other platforms have no such signal: there the
// program's checks when it minimises and when the alarm rings remain.
void QtBackend::watchTray() {
  // Only a declared QPlatformNativeInterface, whose one base is QObject; its header is private.
  auto* native = reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface());
  if (!native || native->metaObject()->indexOfSignal("systemTrayWindowChanged(QScreen*)") < 0) return;
  trayWatch_ = new QTimer(&context_);
  trayWatch_->setSingleShot(true);
  trayWatch_->setInterval(0);
  QObject::connect(trayWatch_, &QTimer::timeout, &context_, [this] { trayChanged(); });
  QObject::connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), trayWatch_, SLOT(start()));
}

void QtBackend::trayChanged() {
  if (Form* form = app().formOf(trayWindow_)) form->nativeTrayChanged(QSystemTrayIcon::isSystemTrayAvailable());
}

std::int64_t QtBackend::utcMs() { return QDateTime::currentMSecsSinceEpoch(); }

std::int64_t QtBackend::monotonicMs() { return monotonic_.elapsed(); }

std::int64_t QtBackend::utcOffsetMs(std::int64_t utcMs) {
  // The zone now() reads local time by, so the two agree.
  return QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc() * 1000LL;
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

namespace {
// The separator a short date or time format puts between its first two numbers ("dd.MM.yy":
// "."; "AP h:mm": ":"; "d. M. yyyy": "."), or nothing when that is no plain punctuation (a
// quoted word, as in "HH 'h' mm"). Marks of writing direction around it are left out.
std::u16string separatorOf(const QString& format) {
  const auto number = [](QChar c) { return QStringLiteral("dMyhHms").contains(c); };
  qsizetype i = 0;
  while (i < format.size() && !number(format[i])) ++i;
  const QChar field = i < format.size() ? format[i] : QChar();
  while (i < format.size() && format[i] == field) ++i;
  QString separator;
  for (; i < format.size() && !format[i].isLetter(); ++i)
    if (format[i].category() != QChar::Other_Format) separator += format[i];
  separator = separator.trimmed();
  for (const QChar c : separator)
    if (c.isLetterOrNumber() || c.isSpace() || c == QLatin1Char('\'')) return {};
  return fromQString(separator);
}
}  // namespace

RegionalSettings QtBackend::regional() {
  RegionalSettings rs;
  const QLocale locale = QLocale::system();
  // As the Windows program takes them from the regional settings; a format that names none
  // keeps the US ones.
  if (auto date = separatorOf(locale.dateFormat(QLocale::ShortFormat)); !date.empty()) rs.dateSeparator = date;
  if (auto time = separatorOf(locale.timeFormat(QLocale::ShortFormat)); !time.empty()) rs.timeSeparator = time;
  const QString am = locale.amText(), pm = locale.pmText();
  // A locale without designators, or with the same word for both, cannot tell a typed
  // morning from an afternoon: keep the English ones.
  if (!am.isEmpty() && !pm.isEmpty() && am != pm) {
    rs.am = fromQString(am);
    rs.pm = fromQString(pm);
  }
  return rs;
}

std::u16string QtBackend::longDate(const LocalTime& t) {
  return fromQString(QLocale::system().toString(QDate(t.year, t.month, t.day), QLocale::LongFormat));
}

std::u16string QtBackend::shortTime(const LocalTime& t) {
  return fromQString(QLocale::system().toString(QTime(t.hour, t.minute), QLocale::ShortFormat));
}

Backend::InstanceLock QtBackend::tryLockInstance(const std::u16string& key) {
  const InstanceLock lock = instance_.tryLock(instanceTag(toUtf8(key)));
  if (lock == InstanceLock::Held && instance_.listenFd() >= 0 && !knocks_) {
    knocks_ = std::make_unique<QSocketNotifier>(instance_.listenFd(), QSocketNotifier::Read);
    QObject::connect(knocks_.get(), &QSocketNotifier::activated, [this] {
      if (instance_.answer()) app().anotherStart();
    });
  }
  return lock;
}

bool QtBackend::knockInstance(const std::u16string& key, int timeoutMs) {
  return instance_.knock(instanceTag(toUtf8(key)), timeoutMs);
}

void QtBackend::pauseMs(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

QString QtBackend::soundFile(const std::u16string& path) const {
  const QFileInfo asked(toQString(path));
  if (asked.isFile()) return asked.filePath();
  // Installed, the program is in <prefix>/bin and its sound in <prefix>/share/tollora (or
  // wherever the build's install layout put them): a sound asked for beside the program is
  // looked for there too.
  if (!asked.exists() && asked.absolutePath() == toQString(folder_)) {
    const QFileInfo shared(QDir::cleanPath(toQString(folder_) + QStringLiteral("/" TOLLORA_DATA_FROM_BIN "/") + asked.fileName()));
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

bool QtBackend::trayNotify(const std::u16string& title, const std::u16string& text) {
  if (!tray_ || !QSystemTrayIcon::isSystemTrayAvailable()) return false;
  if (tray_->isVisible()) {
    tray_->showMessage(toQString(title), toQString(text), icon_);
    return true;
  }
  // At start the icon is shown on the event loop's first turn (trayShow): the message follows it.
  QTimer::singleShot(0, &context_, [this, t = toQString(title), m = toQString(text)] {
    if (tray_) tray_->showMessage(t, m, icon_);
  });
  return true;
}

void QtBackend::trayActivated(QSystemTrayIcon::ActivationReason reason) {
  TrayClick click;
  switch (reason) {
    case QSystemTrayIcon::Trigger: click = TrayClick::LeftUp; break;
    case QSystemTrayIcon::DoubleClick: click = TrayClick::LeftDoubleClick; break;
    case QSystemTrayIcon::Context: click = TrayClick::RightDown; break;
    default: return;
  }
  if (Form* form = app().formOf(trayWindow_)) form->nativeTrayClick(click);
}

void QtBackend::setForegroundWindow(Handle window) {
  if (QWidget* widget = windowOf(window)) bringForward(widget);
}

void QtBackend::requestAttention(Handle window) {
  if (QWidget* widget = windowOf(window)) qt::requestAttention(widget);
}

Rect QtBackend::workArea(Handle window) {
  const QWidget* widget = windowOf(window);
  const QScreen* screen = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
  if (!screen) return {0, 0, 1024 * kTwipsPerPixel, 768 * kTwipsPerPixel};
  const QRect area = screen->availableGeometry();
  return {area.x() * kTwipsPerPixel, area.y() * kTwipsPerPixel, area.width() * kTwipsPerPixel, area.height() * kTwipsPerPixel};
}

void QtBackend::openUrl(const std::u16string& address) {
  // Web addresses only: the desktop would open a file or run a handler for other schemes.
  const QUrl url(toQString(address), QUrl::StrictMode);
  if (url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")))
    QDesktopServices::openUrl(url);
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
  if (onStateChanged) onStateChanged();
}

}  // namespace ui::qt
