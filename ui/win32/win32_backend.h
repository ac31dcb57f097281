// The native Windows backend: raw Win32, one top-level window per form, real child windows
// for the controls. Only ui/win32 sees <windows.h>.
//
// What it gives: every service of the layer; countdowns on waitable timers, high-resolution
// where the system has them, with no timeBeginPeriod; a clock set, a resume and a new time zone
// reported at once (WM_TIMECHANGE, WM_POWERBROADCAST, WM_SETTINGCHANGE), nothing polled; the
// beep through PlaySound, falling back to the default sound and the speaker; the icon and its
// balloon through Shell_NotifyIcon, and a notification area that comes back (TaskbarCreated);
// screen readers through the system's own accessibility objects (win32_access.h).
// What it cannot: a notification area that goes away is not told (nothing broadcasts it: the
// program asks again when it minimises and when the alarm rings); a control's accessible
// description reaches screen readers only where the system's annotation service is real (Wine's
// is a stub: there a control has its name, not its description).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "ui/ui.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace ui {

// The notification icon calls back with this private message: a real mouse move over the
// window must never look like a tray click.
constexpr UINT kTrayCallbackMessage = WM_APP + 1;

// Where the windows are X windows (the program run on a Linux desktop), a window's position
// is only the program's wish (PPosition), and X window managers may place a new or re-shown
// window elsewhere, some by the pointer; that move is reported like the user's. So a move
// reported after a window appears is taken back until its kPlacementTimer fires: the window
// posts itself kPlaceMessage and goes where the program put it, which the manager honours
// once the window is mapped. A timer, not a clock, ends it: it comes only once the program is
// idle, after the window system's own events, however busy the program was right after
// showing the window.
constexpr UINT kPlaceMessage = WM_APP + 2;
constexpr UINT_PTR kPlacementTimer = 0x7100;  // clear of the forms' timer ids, 1 to the controls' count
constexpr UINT kPlacementMs = 1500;

// The click a tray callback stands for, if it is one the program tells apart. A click on the
// icon's balloon counts as a left click on the icon.
inline std::optional<TrayClick> trayClick(LPARAM lParam) {
  switch (LOWORD(lParam)) {
    case WM_LBUTTONUP:
    case NIN_BALLOONUSERCLICK: return TrayClick::LeftUp;
    case WM_LBUTTONDBLCLK: return TrayClick::LeftDoubleClick;
    case WM_RBUTTONDOWN: return TrayClick::RightDown;
    default: return std::nullopt;
  }
}

LRESULT CALLBACK formWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

inline const wchar_t* wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline std::u16string fromWide(const wchar_t* s, std::size_t n) { return {reinterpret_cast<const char16_t*>(s), n}; }

// The system's own words for an error code, without the trailing line break.
std::u16string systemMessage(DWORD error);

class Win32Files : public FileSystem {
 public:
  ReadResult read(const std::u16string& path, std::size_t maxBytes) override;
  IoResult replace(const std::u16string& path, const std::string& bytes) override;
  bool canCreate(const std::u16string& path) override;
  bool makeFolder(const std::u16string& folder) override;
  std::u16string identity(const std::u16string& path) override;
};

class Win32Backend : public Backend {
 public:
  explicit Win32Backend(HINSTANCE instance);
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  // Runs the message loop until quit(); returns the process exit code.
  int run();

  // --- Backend ---------------------------------------------------------------------------
  std::unique_ptr<FormPeer> createPeers(Form& form) override;
  void quit() override { PostQuitMessage(0); }
  LocalTime now() override;
  RegionalSettings regional() override;
  std::u16string longDate(const LocalTime& t) override;   // GetDateFormatEx, DATE_LONGDATE
  std::u16string shortTime(const LocalTime& t) override;  // GetTimeFormatEx, TIME_NOSECONDS
  std::int64_t utcMs() override;
  std::int64_t monotonicMs() override { return static_cast<std::int64_t>(GetTickCount64()); }
  std::int64_t utcOffsetMs(std::int64_t utcMs) override;
  // Timers run on the interrupt clock, which need not keep step with the precise wall clock.
  int timerSlackMs() override { return 2; }
  void playSound(const std::u16string& path) override;
  void playDefaultSound() override;
  bool trayShow(const TrayIcon& icon) override;
  void trayHide(const TrayIcon& icon) override;
  bool trayNotify(const std::u16string& title, const std::u16string& text) override;
  void setForegroundWindow(Handle window) override { SetForegroundWindow(reinterpret_cast<HWND>(window)); }
  void requestAttention(Handle window) override;
  Rect workArea(Handle window) override;
  void openUrl(const std::u16string& address) override;
  std::u16string programFolder() override;
  std::u16string userFolder() override;
  // The same folder as userFolder: %LOCALAPPDATA% is where Windows keeps a user's own state.
  std::u16string stateFolder() override { return userFolder(); }
  bool systemFolder(const std::u16string& folder) override;
  InstanceLock tryLockInstance(const std::u16string& key) override;
  bool knockInstance(const std::u16string& key, int timeoutMs) override;
  void pauseMs(int ms) override;
  char16_t pathSeparator() override { return u'\\'; }
  void announce(const std::u16string& text) override;
  FileSystem& files() override { return files_; }
  std::optional<std::string> toCodePage(const std::u16string& text) override;
  std::u16string fromCodePage(const std::string& bytes) override;

  // --- the message loop's own waits ------------------------------------------------------
  // A waitable timer of the finest resolution the system offers (high resolution from
  // Windows 10 1803; an ordinary one elsewhere), which the message loop waits on beside the
  // messages and calls `fired` for. Outside that loop (a message box, a window being dragged)
  // only messages flow, so its owner keeps a SetTimer behind it.
  HANDLE createPreciseTimer(std::function<void()> fired);
  void closePreciseTimer(HANDLE timer);

  // --- shared by the peers ---------------------------------------------------------------
  HINSTANCE instance() const { return instance_; }
  ATOM formClass() const { return formClass_; }
  HICON smallIcon() const { return smallIcon_; }
  HCURSOR handCursor() const { return handCursor_; }
  UINT taskbarCreatedMessage() const { return taskbarCreated_; }
  // Puts the icon back after Explorer restarted, if this window owns it: whether it is there
  // now, or nothing when the window owns no icon.
  std::optional<bool> readdTrayIcon(HWND window);
  // A form picture decoded at its natural size (meant for 96 dpi); nullptr when it cannot be.
  HBITMAP picture(Image image);
  HFONT font(const Font& font, UINT dpi);
  // A brush for a colour; system colours use the system's own brushes. Owned by the backend.
  HBRUSH brush(Color color);
  static COLORREF resolve(Color color);

 private:
  HINSTANCE instance_;
  ATOM formClass_ = 0;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HCURSOR handCursor_ = nullptr;
  UINT taskbarCreated_ = 0;
  bool comReady_ = false;
  std::optional<NOTIFYICONDATAW> tray_;
  std::map<Image, HBITMAP> pictures_;
  std::map<std::tuple<std::u16string, int, bool>, HFONT> fonts_;  // face, height, bold
  std::map<COLORREF, HBRUSH> brushes_;
  bool microsoftSansSerif_ = false;  // the scalable successor of MS Sans Serif is installed
  std::vector<HANDLE> waits_;
  std::vector<std::function<void()>> waitCalls_;
  Win32Files files_;
  HANDLE instanceMutex_ = nullptr;  // "a Tollora runs with this alarm file", while it lives
  HWND instanceWindow_ = nullptr;   // where a later start knocks
};

}  // namespace ui
