// The window layer: everything the program needs of windows, controls, timers and the
// platform, gathered once. Nothing here includes a platform header; a backend (headless,
// win32, qt) makes it real by creating peers and implementing ui::Backend.
//
// Controls are plain values that hold their properties, so the program reads back what it
// wrote. A backend attaches a peer to each control of a loaded form; a property change is
// mirrored onto the native widget through Peer::changed, and native events come back
// through the raise*/native* calls, which go through App::deliver.
//
// The contract, both ways. What the program asks of a backend is class Backend (services),
// Peer::changed (a property to mirror) and TimerPeer (a one-shot countdown: the layer itself
// aligns the clock to the second, aims at moments and notices a wall clock that jumped). What a
// backend reports into the program is this list and nothing else:
//   Button::raiseClick        the user clicked a button
//   TextBox::nativeEdited     the user edited a text box
//   Timer::elapsed            the countdown the layer started for a timer ran out
//   Form::nativeMoved         the user moved a window
//   Form::nativeResized       the user resized a window
//   Form::nativeStateChanged  the user minimised or restored a window
//   Form::nativeCloseRequested  the user asked to close a window
//   Form::nativeTrayClick     the user clicked the window's notification-area icon (TrayClick)
//   Form::nativeTrayChanged   a notification area came or went (its host started or ended)
//   App::timeChanged          the wall clock moved under the program (clock set, resume)
//   App::anotherStart         the program was started again with the key this copy holds
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

namespace ui {

// COLORREF, 0x00BBGGRR, or a system colour reference 0x800000nn (nn = COLOR_* index).
using Color = std::uint32_t;
constexpr Color kSystemColorFlag = 0x80000000u;
constexpr Color SysScrollBar = 0x80000000u;   // COLOR_SCROLLBAR
constexpr Color SysWindow = 0x80000005u;      // COLOR_WINDOW
constexpr Color SysWindowText = 0x80000008u;  // COLOR_WINDOWTEXT
constexpr Color SysButtonFace = 0x8000000Fu;  // COLOR_BTNFACE
constexpr Color SysButtonText = 0x80000012u;  // COLOR_BTNTEXT
constexpr bool isSystemColor(Color c) { return (c & kSystemColorFlag) != 0; }
constexpr int systemColorIndex(Color c) { return static_cast<int>(c & 0xFFu); }

// An opaque native handle (HWND, HICON, a QWidget pointer, a counter on the headless backend).
using Handle = std::uintptr_t;

struct Rect {  // twips, relative to the owner's client area
  int left = 0, top = 0, width = 0, height = 0;
};

struct Font {
  std::u16string name = u"Tahoma";
  float points = 8.25f;
  bool bold = false;
};

enum class Cursor { Default, Hand };
enum class Image { None, MainBackdrop, DialogBackdrop, ClockIcon };
enum class Align { Left, Center };
enum class Kind { Label, TextBox, Button, ProgressBar, Timer };

// What changed, for a peer to mirror.
enum class Prop {
  Caption,   // label/button caption, text box text
  ForeColor,
  BackColor,
  Visible,
  Enabled,
  Value,     // progress bar value
  BarColors, // progress bar background and fill
  Timer,     // timer enabled flag or interval: re-arm
  Geometry,  // form: Left/Top/size
  State,     // form: WindowState
  Shown,     // form: show (visible) or hide
  Repaint,   // form: draw completely now
  Focus,     // control: take the keyboard focus (see Control::setFocus)
  ToolTip,   // control: its tooltip, also its accessible description (see Control::setToolTip)
};

class Form;

class Peer {
 public:
  virtual ~Peer() = default;
  virtual void changed(Prop what) = 0;
};

class FormPeer : public Peer {
 public:
  virtual Handle handle() const = 0;
  virtual Handle iconHandle() const = 0;
};

// What a backend gives each timer: one countdown at a time. Periods, the second boundary and
// aimed moments are the layer's business (class Timer); a backend only counts down.
class TimerPeer : public Peer {
 public:
  // Counts down `ms` (0: as soon as the event loop is free), replacing a countdown still
  // running, then calls Timer::elapsed once. Runs out late rather than early, as far as the
  // platform allows (see Backend::timerSlackMs).
  virtual void start(std::int64_t ms) = 0;
  // Drops a running countdown; nothing is left to wake the process.
  virtual void stop() = 0;
  void changed(Prop) override {}  // a timer has nothing to show
};

// ---------------------------------------------------------------------------------------
// Controls

class Control {
 public:
  Control(Form& owner, Kind kind, std::string name);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Form& form() const { return form_; }
  Kind kind() const { return kind_; }
  const std::string& name() const { return name_; }

  // Design-time layout, set before the form loads (in its constructor, or by a window that
  // fits itself to the screen before it shows) and not changed afterwards.
  Rect rect;
  Font font;
  int tabIndex = -1;  // -1: takes no focus (labels, timers)
  // Shown when the pointer rests on the control, and what a screen reader gives as its
  // description. Set here at design time; setToolTip changes it while the form is loaded.
  std::u16string toolTip;
  void setToolTip(std::u16string text);
  Cursor cursor = Cursor::Default;
  // What a screen reader calls a text box, which has no caption of its own; its tooltip is the
  // description. Empty: the label just before it in tab order, if any, names it. Other
  // controls are read by their captions.
  std::u16string accessibleName;

  bool visible() const { return visible_; }
  void setVisible(bool v);
  bool enabled() const { return enabled_; }
  void setEnabled(bool v);
  // Puts the keyboard focus on this control when its window has it, so that keys typed there
  // reach this control; in a window that is not active, makes it the control that takes the
  // focus when the user next activates the window. Never activates the window itself.
  void setFocus();

  Peer* peer() const { return peer_.get(); }
  // A timer's peer is a TimerPeer.
  void attachPeer(std::unique_ptr<Peer> p) { peer_ = std::move(p); }
  void detachPeer() { peer_.reset(); }

 protected:
  void notify(Prop p);
  // Passes a change on to the peer; a timer arms its countdown instead.
  virtual void mirror(Prop p);

 private:
  Form& form_;
  Kind kind_;
  std::string name_;
  bool visible_ = true;
  bool enabled_ = true;
  std::unique_ptr<Peer> peer_;
};

class Label : public Control {
 public:
  Label(Form& owner, std::string name) : Control(owner, Kind::Label, std::move(name)) {}
  const std::u16string& caption() const { return caption_; }
  void setCaption(std::u16string c);
  Color foreColor() const { return fore_; }
  void setForeColor(Color c);
  Color backColor() const { return back_; }
  void setBackColor(Color c);

  bool transparent = false;  // draw no background: the form's picture shows through
  bool autoSize = false;     // grows to its caption, keeping its alignment anchor
  Align align = Align::Left;

 private:
  std::u16string caption_;
  Color fore_ = SysButtonText;
  Color back_ = SysButtonFace;
};

class TextBox : public Control {
 public:
  TextBox(Form& owner, std::string name) : Control(owner, Kind::TextBox, std::move(name)) {}
  const std::u16string& text() const { return text_; }
  void setText(std::u16string t);
  Color foreColor() const { return fore_; }
  void setForeColor(Color c);
  Color backColor() const { return back_; }
  void setBackColor(Color c);

  bool multiLine = false;
  bool verticalScrollBar = false;  // shown while the text is longer than the box
  bool locked = false;             // read and copied, not edited: keys go to the window

  // Raised after every change of the text, the user's or the program's own.
  std::function<void()> onChange;

  // Backend: the user edited the native box. Updates the value without echoing it back.
  // In a single-line box, an edit that brought line breaks (a paste of several lines) keeps
  // what it put in up to the first break, with the rest of the line around it, as a
  // single-line edit control takes a paste. `caret`, where the native box put its caret
  // after the edit, marks the end of what was put in; without it, the difference from the
  // previous text does. A peer whose native text then differs from text() puts text() back,
  // with the caret at the returned position: just after what the edit kept.
  std::size_t nativeEdited(std::u16string t, std::optional<std::size_t> caret = std::nullopt);

  // A box that is not multiLine holds one line, whatever sets it (a paste, a file, the
  // program): a text keeps only what comes before its first line break.
  static std::u16string firstLine(std::u16string t);
  // The one list of line breaks, for the box and the alarm file alike.
  static bool isLineBreak(char16_t c);

 private:
  void raiseChange();
  std::u16string text_;
  Color fore_ = SysWindowText;
  Color back_ = SysWindow;
};

class Button : public Control {
 public:
  Button(Form& owner, std::string name) : Control(owner, Kind::Button, std::move(name)) {}
  const std::u16string& caption() const { return caption_; }
  void setCaption(std::u16string c);
  Color backColor() const { return back_; }
  void setBackColor(Color c);

  bool graphical = false;  // drawn flat in backColor instead of the themed button look
  std::function<void()> onClick;

  // A form's constructor sets up each of its buttons in one call: where it sits, its font, its
  // place in the tab order, the pointer over it and what a click does.
  void design(Rect where, const Font& face, int tab, Cursor pointer, std::function<void()> click) {
    rect = where;
    font = face;
    tabIndex = tab;
    cursor = pointer;
    onClick = std::move(click);
  }

  // Backend: the user clicked the button.
  void raiseClick();

 private:
  std::u16string caption_;
  Color back_ = SysButtonFace;
};

class ProgressBar : public Control {
 public:
  ProgressBar(Form& owner, std::string name) : Control(owner, Kind::ProgressBar, std::move(name)) {}
  float value() const { return value_; }
  void setValue(float v);
  float min = 0.0f, max = 100.0f;

  // The background behind the bar and the bar's fill.
  Color backColor() const { return back_; }
  void setBackColor(Color c);
  Color barColor() const { return bar_; }
  void setBarColor(Color c);

 private:
  float value_ = 0.0f;
  Color back_ = SysButtonFace;
  Color bar_ = 0x00D77800;  // the platform's usual highlight blue until recoloured
};

class Timer : public Control {
 public:
  Timer(Form& owner, std::string name) : Control(owner, Kind::Timer, std::move(name)) {}
  int interval() const { return interval_; }
  // A changed interval restarts the period; setting the same one changes nothing. Likewise
  // setEnabled(true) on a running timer changes nothing; on a stopped one it starts a period.
  void setInterval(int ms);

  // Aims the timer at a moment of the wall clock, in milliseconds of local civil time since
  // 1970-01-01 (see localMs): enabled and aimed, it ticks once, just after the wall clock
  // reaches that moment, instead of every interval. It is then spent (aim() empty again) and
  // ticks no more until aimed anew. A clock set past the moment ticks it at once; a machine
  // that slept through it ticks it on resume. Aiming at the same moment again changes nothing.
  void aimAt(std::optional<std::int64_t> localMs);
  const std::optional<std::int64_t>& aim() const { return aim_; }
  // The longest an aimed timer counts down before it wakes to aim again: a change of the time
  // zone or a clock set that the platform does not announce is caught within it, at one
  // wake-up a minute for a hidden window with an alarm ahead.
  static constexpr std::int64_t kReaimMs = 60 * 1000;

  // Enabled and set to tick: aimed, or with an interval above 0.
  bool running() const { return enabled() && (aim_ || interval_ > 0); }
  // Running, and not held back by a hidden form (see setOnlyWhileShown): only then does a
  // countdown run.
  bool ticking() const;

  // Tick only while the form is shown: hidden, the timer stays enabled but no tick is
  // delivered, so a clock nobody can see costs no wake-ups. Shown again, it ticks at once when
  // a tick fell due while it was held (for the second-aligned kind: when the wall-clock second
  // changed), then goes on as before.
  bool onlyWhileShown() const { return onlyWhileShown_; }
  void setOnlyWhileShown(bool v);

  // Tick just after each wall-clock second boundary instead of every `interval` ms from
  // when it started, so a 1000 ms clock never drifts across a second and skips it.
  bool alignToSecond = false;

  std::function<void()> onTick;

  // Backend: the countdown ran out. Ticks when the period ran out, the second began or the
  // aimed moment came, and counts down again as the timer's kind says; a wake only to aim
  // again, or one early for its second, ticks nothing. Returns whether it ticked. Nothing of
  // the timer is touched after the tick, whose handler may unload the form.
  bool elapsed();

 private:
  friend class Form;
  friend class App;
  void mirror(Prop p) override;
  // Starts the countdown the timer's kind and state call for, or stops it.
  void arm();
  bool wallClock() const { return aim_ || alignToSecond; }
  void tick();
  void formShownOrHidden(bool shown);

  int interval_ = 0;
  std::optional<std::int64_t> aim_;
  bool onlyWhileShown_ = false;
  std::optional<std::int64_t> heldAt_;  // local ms when the hidden form held it back
  std::int64_t boundary_ = 0;           // the second the aligned kind counts down to, UTC ms
};

// A one-element control array, addressed by its index like txtTime(0).
template <class T>
class ControlArray {
 public:
  ControlArray(Form& owner, const std::string& name, int index)
      : index_(index), item_(owner, name + "(" + std::to_string(index) + ")") {}
  T& operator()(int index);
  const T& operator()(int index) const { return const_cast<ControlArray*>(this)->operator()(index); }

 private:
  int index_;
  T item_;
};

void controlArrayIndexError(int asked, int held);
template <class T>
T& ControlArray<T>::operator()(int index) {
  if (index != index_) controlArrayIndexError(index, index_);
  return item_;
}

// ---------------------------------------------------------------------------------------
// Forms

enum class Border { Sizable, None };
// A click on a window's notification-area icon, as the program tells them apart. Other mouse
// actions on the icon are not reported.
enum class TrayClick { LeftUp, LeftDoubleClick, RightDown };
constexpr int vbNormal = 0;
constexpr int vbMinimized = 1;

class Form {
 public:
  explicit Form(std::u16string caption);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Design-time properties, set in the constructor.
  std::u16string caption;
  Border border = Border::Sizable;
  bool centerOnScreen = false;
  Image picture = Image::None;
  Image icon = Image::None;
  Color backColor = SysButtonFace;
  Font font;
  // Enter presses the default button, wherever the focus is but on another button (which it
  // presses instead); Escape presses the cancel button. None: the keys mean nothing to the window.
  Button* defaultButton = nullptr;
  Button* cancelButton = nullptr;

  // Outer frame position on the screen, twips.
  int Left() const { return left_; }
  int Top() const { return top_; }
  void setLeft(int twips);
  void setTop(int twips);
  // Client size in twips, the forms' only scale.
  int ScaleWidth() const { return scaleWidth_; }
  int ScaleHeight() const { return scaleHeight_; }
  void setClientSize(int widthTwips, int heightTwips);  // design time, before loading
  int WindowState() const { return windowState_; }
  void setWindowState(int state);  // raises Form_Resize when it changes

  bool loaded() const { return loaded_; }
  bool visible() const { return visible_; }

  void Load();     // loads without showing; Form_Load decides what to show
  void Show();     // loads first when not loaded; modeless, no owner
  void Hide();
  void Refresh();  // draw completely, now
  void Unload();

  Handle hWnd() const;
  Handle iconHandle() const;

  const std::vector<Control*>& controls() const { return controls_; }
  FormPeer* peer() const { return peer_.get(); }
  // The control the program last asked to take the keyboard focus (Control::setFocus), if any.
  Control* focusRequest() const { return focusRequest_; }

  // Events.
  virtual void Form_Load() {}
  virtual void Form_Unload(int& cancel) { (void)cancel; }
  virtual void Form_Resize() {}
  // A click on the window's notification-area icon (its own path, never a real mouse move).
  virtual void Form_TrayMessage(TrayClick click) { (void)click; }
  // The wall clock changed under the program (clock set, resume from sleep).
  virtual void Form_TimeChanged() {}
  // A notification area came (a panel started late, or again after it ended) or went.
  virtual void Form_TrayChanged(bool available) { (void)available; }

  // Backend: the user moved, resized or minimised/restored the native window, or asked to
  // close it. These update the properties and raise the events.
  void nativeMoved(int leftTwips, int topTwips);
  void nativeResized(int clientWidthTwips, int clientHeightTwips);
  void nativeStateChanged(int state);
  void nativeCloseRequested();
  void nativeTrayClick(TrayClick click);
  // The notification area where the window's icon goes came or went.
  void nativeTrayChanged(bool available);

 private:
  friend class Control;
  friend class App;
  void add(Control* c) { controls_.push_back(c); }
  void releasePeers();
  // Tells the timers that tick only while the form is shown that it was shown or hidden.
  void timersFollowVisibility();
  void notify(Prop p) {
    if (peer_) peer_->changed(p);
  }

  std::vector<Control*> controls_;
  Control* focusRequest_ = nullptr;
  std::unique_ptr<FormPeer> peer_;
  int left_ = 0, top_ = 0;
  int scaleWidth_ = 0, scaleHeight_ = 0;
  int windowState_ = vbNormal;
  bool loaded_ = false;
  bool visible_ = false;
  bool unloading_ = false;
  bool dead_ = false;  // unloaded: the next use of the window makes a fresh one
};

// ---------------------------------------------------------------------------------------
// Services

struct LocalTime {
  int year = 2000, month = 1, day = 1;  // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Milliseconds of local civil time since 1970-01-01 00:00, as if every day had 86,400 s: the
// unit of Timer::aimAt, and what the clock texts name (seconds times 1000).
std::int64_t localMs(const LocalTime& t);
LocalTime fromLocalMs(std::int64_t ms);

struct RegionalSettings {
  std::u16string dateSeparator = u"/";
  std::u16string timeSeparator = u":";
  std::u16string am = u"AM";
  std::u16string pm = u"PM";
};

// A notification-area icon: the window its clicks go to (Form::nativeTrayClick), its number
// among that window's icons, its picture and its tip.
struct TrayIcon {
  Handle hWnd = 0;
  int uID = 0;
  Handle hIcon = 0;
  std::u16string tip;
};

struct IoResult {
  bool ok = true;
  std::u16string reason;  // the system's own words when !ok
};

// What reading a file found. A missing file is no error (nothing saved yet); a file that is
// there but could not be read (no permission, held by another program, not a regular file)
// is, with the system's words or ours for why.
struct ReadResult {
  enum class Status { Read, Missing, Unreadable };
  Status status = Status::Missing;
  std::string bytes;      // when Read
  std::u16string reason;  // when Unreadable
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The whole file, at most maxBytes of it. Never blocks on something that is not a regular
  // file (a named pipe, a device): that is Unreadable.
  virtual ReadResult read(const std::u16string& path, std::size_t maxBytes) = 0;
  // Replaces the file in one step: a temporary file in the same folder, flushed, then renamed
  // over the old one. A failure leaves the old file as it was and no temporary file behind.
  // A missing folder is created first (private to the user where the system has the notion).
  virtual IoResult replace(const std::u16string& path, const std::string& bytes) = 0;
  // Whether a new file could be made in the folder of `path` (the file itself need not exist).
  // Tried for real, since permissions, ACLs and read-only mounts all have their say, and
  // nothing is left behind, not even after a crash half-way.
  virtual bool canCreate(const std::u16string& path) = 0;
  // Makes a folder and the missing ones above it (private to the user where the system has
  // the notion); true when it is there.
  virtual bool makeFolder(const std::u16string& folder) = 0;
  // Which file `path` names, as the system knows it rather than as the path is spelt: the
  // same text for every way of reaching one file (a linked or bind-mounted folder, another
  // drive letter, a share of a local folder, a hard link), and it stays the same when the file
  // is made or replaced by a save. Built from the folder's identity (device and inode; volume
  // serial and file index) and the file's name. Where the folder is still to be made, the
  // nearest one there is and the rest of the path, which its making changes: so a folder is
  // made before its file's identity counts (ChooseAlarmFilePath).
  virtual std::u16string identity(const std::u16string& path) = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Creates the native window for a form being loaded and a peer for each of its controls.
  virtual std::unique_ptr<FormPeer> createPeers(Form& form) = 0;
  // Called once the last form is gone: leave the message loop.
  virtual void quit() = 0;

  virtual LocalTime now() = 0;
  virtual RegionalSettings regional() = 0;
  // A date and a time of day in the user's own formats, for people to read: the long date
  // ("Saturday, 2 January 2027") and the short time, without seconds ("08:00", "8:00 AM").
  virtual std::u16string longDate(const LocalTime& t) = 0;
  virtual std::u16string shortTime(const LocalTime& t) = 0;

  // The clocks the timers run on. utcMs: the wall clock, milliseconds since 1970 UTC, read
  // precisely and cheaply (the clock reads it every second). monotonicMs: a count that only
  // goes forward, whatever the wall clock does; it need not count a sleep.
  virtual std::int64_t utcMs() = 0;
  virtual std::int64_t monotonicMs() = 0;
  // How far local civil time is ahead of UTC at the instant `utcMs`, by the time-zone rules
  // for that instant (daylight-saving time included).
  virtual std::int64_t utcOffsetMs(std::int64_t utcMs) = 0;
  // The first instant, as utcMs counts it and not before `fromUtcMs`, at which local civil time
  // stands at `localMs` or later: `fromUtcMs` itself when it already does. In the hour repeated
  // when daylight-saving time ends that is the first pass (the second only when `fromUtcMs`
  // lies in the second pass, still before the moment); in the hour skipped when it begins,
  // the jump. Worked out here, once, from utcOffsetMs.
  std::int64_t utcReaching(std::int64_t localMs, std::int64_t fromUtcMs);
  // How far past a wall-clock moment a countdown is aimed, for platforms whose timers may run
  // out a little early by the wall clock: a tick just before its second would show the old one.
  virtual int timerSlackMs() = 0;

  // Starts playing a WAV file and returns at once, replacing a sound still playing. A path
  // that names no playable file (missing, damaged), or a sound that cannot play, gives the
  // platform's alert sound, or at least the display's bell: an alarm is never silent.
  virtual void playSound(const std::u16string& path) = 0;
  // Starts the platform's default sound (the one for a message box) the same way.
  virtual void playDefaultSound() = 0;

  // The notification-area icon. trayShow reports whether the icon is really there; asked again
  // for an icon that is there, it changes nothing and reports true. Its clicks reach the
  // icon's window through Form::nativeTrayClick; a notification area that comes or goes later,
  // through Form::nativeTrayChanged of the window of the icon last asked for.
  virtual bool trayShow(const TrayIcon& icon) = 0;
  virtual void trayHide(const TrayIcon& icon) = 0;
  // A short notification from the icon (a balloon, the desktop's notification), for news the
  // user should see while the window is hidden. Clicking it reaches the icon's window as a
  // left click on the icon. Reports whether it could be shown: false without an icon, or when
  // the notification area that held it has gone.
  virtual bool trayNotify(const std::u16string& title, const std::u16string& text) = 0;

  virtual void setForegroundWindow(Handle window) = 0;
  // Asks the user to look at a window that cannot take the focus by itself, the platform's way
  // (a flashing taskbar button, the window marked urgent); the mark goes when the user turns to
  // it. Shows nothing by itself.
  virtual void requestAttention(Handle window) = 0;
  // The part of the screen that windows may use (less task bars and panels), in twips, on the
  // monitor that shows `window` (the primary monitor for 0).
  virtual Rect workArea(Handle window) = 0;
  // Opens a web address in the user's browser, not waiting for it.
  virtual void openUrl(const std::u16string& address) = 0;

  // The folder of the executable: no trailing separator except at a root.
  virtual std::u16string programFolder() = 0;
  // Tollora's folder among the user's own settings (not created here), or empty when the
  // system names none: $XDG_CONFIG_HOME/tollora, %LOCALAPPDATA%\Tollora.
  virtual std::u16string userFolder() = 0;
  // Tollora's folder for what it keeps of its own between runs, beside no alarm file (not
  // created here), or empty when the system names none: $XDG_STATE_HOME/tollora or
  // ~/.local/state/tollora, %LOCALAPPDATA%\Tollora.
  virtual std::u16string stateFolder() = 0;
  // Whether a folder belongs to the system rather than to any one user (/usr/bin,
  // C:\Program Files): a program installed there keeps no alarm beside itself, even when run
  // by an administrator who could write there, since the file would outlive its removal.
  virtual bool systemFolder(const std::u16string& folder) = 0;

  // One running copy per key (the alarm file's FileSystem::identity): the means only.
  // App::claimInstance decides, with these, whether this process may run. tryLockInstance
  // takes the key when no live copy holds it (a copy that died holds nothing) and, when Held, makes this process
  // reachable: a later start's knock arrives as App::anotherStart. Busy: a live copy holds it.
  // Unavailable: the key can be neither taken nor tested here (no private place for the lock,
  // a name taken by something else). Unsupported: the backend keeps no such lock.
  enum class InstanceLock { Held, Busy, Unavailable, Unsupported };
  virtual InstanceLock tryLockInstance(const std::u16string& key) = 0;
  // Asks the copy that holds `key` to come forward; true once it has said it will. Gives up
  // after `timeoutMs`, however the holder behaves (stopped, hung, gone).
  virtual bool knockInstance(const std::u16string& key, int timeoutMs) = 0;
  // Waits, doing nothing, before the next try (before any window is loaded).
  virtual void pauseMs(int ms) = 0;
  virtual char16_t pathSeparator() = 0;

  // Has a screen reader speak `text` once, whether or not the program's window is in front.
  // Nothing happens without a screen reader.
  virtual void announce(const std::u16string& text) = 0;

  virtual FileSystem& files() = 0;
  // The platform's 8-bit text code page (the ANSI code page on Windows, UTF-8 elsewhere).
  // nullopt when the text holds a character the code page cannot represent.
  virtual std::optional<std::string> toCodePage(const std::u16string& text) = 0;
  virtual std::u16string fromCodePage(const std::string& bytes) = 0;
};

// The one application object: the forms collection, the single instance of each form, and
// the backend's services.
class App {
 public:
  explicit App(Backend& backend);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  Backend& backend() { return backend_; }

  // The forms collection: loaded forms in load order.
  int formsCount() const { return static_cast<int>(forms_.size()); }
  Form& formAt(int index) const { return *forms_.at(static_cast<std::size_t>(index)); }
  const std::vector<Form*>& forms() const { return forms_; }
  // The window that stands for the program: the first form loaded, which the program keeps
  // loaded until it ends (none before). For a backend that must pick one window, as for a
  // broadcast every window receives or a place to speak from.
  Form* mainForm() const { return forms_.empty() ? nullptr : forms_.front(); }
  // The loaded form whose native window is `window` (a tray icon's, say), if any.
  Form* formOf(Handle window) const;

  // The single instance of a form class; a fresh, unloaded one after the last was unloaded.
  template <class T>
  T& instance() {
    auto& slot = slots_[std::type_index(typeid(T))];
    if (!slot || slot->dead_) {
      if (slot) graveyard_.push_back(std::move(slot));
      slot = std::make_unique<T>();
    }
    return static_cast<T&>(*slot);
  }
  // The loaded instance, if any (no new one is made).
  template <class T>
  T* loadedInstance() {
    auto it = slots_.find(std::type_index(typeid(T)));
    if (it == slots_.end() || !it->second || !it->second->loaded_) return nullptr;
    return static_cast<T*>(it->second.get());
  }

  // Runs one native event through to its end. Forms unloaded during the event are freed
  // once the outermost event has returned, never under a handler that is still running.
  void deliver(const std::function<void()>& event);

  // Backend: the wall clock moved under the program (a clock change, resume from sleep). The
  // timers aimed at the wall clock count down again from the new time, then each form hears.
  // The layer also calls it itself when a timer finds the wall clock jumped unannounced.
  void timeChanged();
  static constexpr std::int64_t kClockJumpMs = 2000;  // see wallClockJumped
  // One running copy per alarm file (`path`), decided before any window loads, by the file's
  // identity (FileSystem::identity), not by its path's text. Claimed: this process holds
  // the key. Forwarded: the copy that holds it has come forward; end without touching
  // anything. NoAnswer: a copy holds it but did not answer in time (stopped, hung, or a
  // squatter). NoLock: the key could not be taken or tested. Settles within kClaimWithinMs
  // plus one knock's wait.
  enum class Claim { Claimed, Forwarded, NoAnswer, NoLock };
  Claim claimInstance(const std::u16string& path);
  static constexpr int kClaimWithinMs = 4000;
  static constexpr int kKnockMs = 1000;  // one knock's wait for the answer
  static constexpr int kRetryMs = 50;

  // Backend: the program was started again with the key this copy holds (claimInstance).
  void anotherStart();
  std::function<void()> onAnotherStart;

  bool running() const { return !forms_.empty(); }

  // Sees every property change of every control, after its peer did: benchmarks time the
  // clock label with it.
  std::function<void(const Control&, Prop)> observer;

 private:
  friend class Form;
  friend class Timer;
  void load(Form& f);
  void unloaded(Form& f);
  // Whether the wall clock moved against the monotonic one by more than kClockJumpMs since the
  // last look: set, or the machine slept. A tick delayed by a busy machine moves both alike.
  bool wallClockJumped();

  Backend& backend_;
  std::vector<Form*> forms_;
  std::unordered_map<std::type_index, std::unique_ptr<Form>> slots_;
  std::vector<std::unique_ptr<Form>> graveyard_;
  int depth_ = 0;
  std::optional<std::int64_t> wallAhead_;  // utcMs minus monotonicMs at the last look
};

App& app();  // the one App; asserts that it exists

template <class T>
T& form() {
  return app().instance<T>();
}

// UTF-8 <-> UTF-16 at the edges (paths on POSIX, logs).
std::string toUtf8(const std::u16string& s);
std::u16string fromUtf8(const std::string& s);
// UTF-8 as a code page: nullopt for a text with a lone surrogate, which has no UTF-8 form.
std::optional<std::string> toUtf8CodePage(const std::u16string& s);

}  // namespace ui
