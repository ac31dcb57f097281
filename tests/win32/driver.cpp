// Works tollora.exe from outside under Wine, as a user, a screen reader or Windows reaches it,
// for what only the Windows program shows. Prints one PASS/FAIL line per check.
//   driver.exe <program folder> <screenshot folder> <linked folder> [<read-only folder>]
#include <windows.h>

#include <commctrl.h>
// The accessibility GUIDs defined here: Wine's import library gives IID_IAccessible as a thunk.
#include <initguid.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::wstring>;
constexpr UINT kTrayCallback = WM_APP + 1;  // what the program asks the shell to send
constexpr DWORD kLimitMs = 20000;
constexpr COLORREF kRed = RGB(230, 35, 35), kOrange = RGB(255, 128, 0), kGreen = RGB(0, 192, 0);
int passed = 0, failed = 0;

bool check(bool ok, const std::string& what, const std::function<std::string()>& detail = {}) {
  (ok ? passed : failed)++;
  std::string why = ok || !detail ? "" : ": " + detail();
  for (std::size_t i = 0; (i = why.find_first_of("\r\n", i)) != std::string::npos;) why.replace(i, 1, why[i] == '\r' ? "\\r" : "\\n");
  std::printf("%s %s%s\n", ok ? "PASS" : "FAIL", what.c_str(), why.c_str());
  std::fflush(stdout);
  return ok;
}

// Polls until `done` holds or the limit passes, dispatching messages (accessibility events).
bool waitFor(const std::function<bool()>& done, DWORD limitMs = kLimitMs) {
  for (const ULONGLONG end = GetTickCount64() + limitMs; !done(); MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT)) {
    if (GetTickCount64() > end) return false;
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
  }
  return true;
}

std::string narrow(const std::wstring& s) {
  std::string out(s.size() * 3, '\0');
  out.resize(WideCharToMultiByte(CP_UTF8, 0, s.c_str(), int(s.size()), out.data(), int(out.size()), nullptr, nullptr));
  return out;
}

std::wstring textOf(HWND w) {
  wchar_t text[512] = {};
  return std::wstring(text, SendMessageW(w, WM_GETTEXT, std::size(text), LPARAM(text)));
}

std::wstring classOf(HWND w) {
  wchar_t name[64] = {};
  GetClassNameW(w, name, 64);
  return name;
}

// The child of a class whose text is `text` (any when null) or holds it (`part`); hidden ones with `hidden`.
HWND child(HWND parent, const wchar_t* windowClass, const wchar_t* text = nullptr, bool part = false, bool hidden = false) {
  for (HWND w = parent ? GetWindow(parent, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (!(hidden || IsWindowVisible(w)) || classOf(w) != windowClass) continue;
    const std::wstring t = textOf(w);
    if ((!text || (part ? t.find(text) != std::wstring::npos : t == text))) return w;
  }
  return nullptr;
}

bool shown(HWND w) { return w && IsWindowVisible(w) && !IsIconic(w); }

// The program's forms with a caption, found without a message to the program.
std::vector<HWND> forms(DWORD pid, const wchar_t* caption) {
  std::vector<HWND> found;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"TolloraForm", caption));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (!pid || owner == pid) found.push_back(w);
  }
  return found;
}

struct Program {
  PROCESS_INFORMATION process{};
  bool start(const std::wstring& folder, const std::wstring& args = {}) {
    std::wstring command = L"\"" + folder + L"\\tollora.exe\" " + args;
    STARTUPINFOW startup{sizeof(startup)};
    return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process);
  }
  HWND form(const wchar_t* caption = L"Tollora v1.1") const {
    const auto found = forms(process.dwProcessId, caption);
    return found.empty() ? nullptr : found.front();
  }
  HWND message() const { return shown(form(L"Tollora")) ? form(L"Tollora") : nullptr; }
  // The message window once its text holds `part`.
  HWND says(const std::wstring& part, DWORD limitMs = kLimitMs) const {
    HWND m = nullptr;
    return waitFor([&] { return (m = message()) && child(m, L"Edit", part.c_str(), true); }, limitMs) ? m : nullptr;
  }
  // Shown and through Form_Load, so that the tray icon exists.
  HWND shownMain() const {
    HWND main = nullptr;
    return waitFor([&] { return shown(main = form()); }) && !WaitForInputIdle(process.hProcess, kLimitMs) ? main : nullptr;
  }
  bool ended(DWORD code, DWORD limitMs = kLimitMs) const {
    DWORD got = STILL_ACTIVE;
    return WaitForSingleObject(process.hProcess, limitMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &got) && got == code;
  }
  bool close() const { return PostMessageW(form(), WM_CLOSE, 0, 0) && ended(0); }
  ~Program() {
    if (process.hProcess && WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
};

void press(WORD key) {
  INPUT input[2] = {{INPUT_KEYBOARD}, {INPUT_KEYBOARD}};
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

bool realClick(HWND w, bool right = false) {
  RECT r;
  INPUT input[2] = {{INPUT_MOUSE}, {INPUT_MOUSE}};
  input[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  return w && GetWindowRect(w, &r) && SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2) &&
         SendInput(2, input, sizeof(INPUT)) == 2;
}

// A click whose handler returns within 5 s: one that opened a modal window would not.
bool click(HWND button) {
  DWORD_PTR result = 0;
  return button && SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result);
}
bool click(HWND parent, const wchar_t* caption) { return click(child(parent, L"Button", caption)); }
bool toTray(HWND main) { return click(main, L"Minimize To Tray") && waitFor([&] { return !IsWindowVisible(main); }); }

// The save button under either caption, once the first look at the alarm, 2.5 s in, gave it one.
HWND saveButton(HWND main) {
  HWND b = nullptr;
  waitFor([&] { return (b = child(main, L"Button", L"Set Alarm")) || (b = child(main, L"Button", L"Alarm Set")); });
  return b;
}

void type(HWND box, const std::wstring& text) { SendMessageW(box, WM_SETTEXT, 0, LPARAM(text.c_str())); }

// Whether the focus comes to the control of `window` that shows `text` (its text box when null).
bool focusOn(HWND window, const wchar_t* text) {
  GUITHREADINFO info{sizeof(info)};
  return waitFor([&] {
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
           (text ? textOf(info.hwndFocus) == text : classOf(info.hwndFocus) == L"Edit");
  });
}

bool toFront(HWND window) {
  SetForegroundWindow(window);
  return waitFor([&] { return GetForegroundWindow() == window; }, 5000);
}

// The texts of the controls Tab visits, from the first.
Names tabOrder(HWND window) {
  Names order;
  HWND first = GetNextDlgTabItem(window, nullptr, FALSE), w = first;
  do order.push_back(classOf(w) == L"Edit" ? L"<edit>" : textOf(w));
  while ((w = GetNextDlgTabItem(window, w, FALSE)) != first && order.size() < 10);
  return order;
}

// What a screen reader gets from a window's client object (its window object is blank in Wine).
std::wstring reader(HWND w, long* state = nullptr) {
  std::wstring out;
  IAccessible* a = nullptr;
  if (!w || FAILED(AccessibleObjectFromWindow(w, DWORD(OBJID_CLIENT), IID_IAccessible, reinterpret_cast<void**>(&a)))) return out;
  VARIANT self{}, v{};
  self.vt = VT_I4;
  BSTR name = nullptr;
  if (a->get_accName(self, &name) == S_OK && name) out.assign(name, SysStringLen(name));
  SysFreeString(name);
  if (state && SUCCEEDED(a->get_accState(self, &v)) && v.vt == VT_I4) *state = v.lVal;
  a->Release();
  return out;
}

Names alerts;  // what the program raised EVENT_SYSTEM_ALERT for, as a reader hears it
void CALLBACK onAlert(HWINEVENTHOOK, DWORD, HWND w, LONG, LONG, DWORD, DWORD) { alerts.push_back(reader(w)); }

// A window's pixels (or its client area's) as the screen shows them, top row first, each 0x00RRGGBB.
std::vector<DWORD> pixels(HWND w, BITMAPINFOHEADER& head, bool client = false) {
  RECT r{};
  std::vector<DWORD> out;
  if (!w || !(client ? GetClientRect(w, &r) : GetWindowRect(w, &r)) || r.right <= r.left || r.bottom <= r.top) return out;
  if (client) MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&r), 2);
  head = {sizeof(head), r.right - r.left, r.top - r.bottom, 1, 32};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&head), DIB_RGB_COLORS, &bits, nullptr, 0);
  SelectObject(memory, picture);
  if (BitBlt(memory, 0, 0, head.biWidth, -head.biHeight, screen, r.left, r.top, SRCCOPY))
    out.assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + head.biWidth * -head.biHeight);
  DeleteDC(memory);
  DeleteObject(picture);
  ReleaseDC(nullptr, screen);
  return out;
}

// The share of a window's pixels that are of colour `c`.
double share(HWND w, COLORREF c) {
  BITMAPINFOHEADER head;
  const std::vector<DWORD> all = pixels(w, head);
  const DWORD want = RGB(GetBValue(c), GetGValue(c), GetRValue(c));  // a COLORREF is 0x00BBGGRR
  return all.empty() ? 0 : double(std::count_if(all.begin(), all.end(), [&](DWORD p) { return (p & 0xFFFFFF) == want; })) / all.size();
}

// Wine's own tray window, moved into the corner, out of the way of clicks and screenshots.
HWND trayIcon() {
  HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  RECT r;
  if (!tray || !GetWindowRect(tray, &r)) return nullptr;
  SetWindowPos(tray, HWND_BOTTOM, GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left), GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top), 0,
               0, SWP_NOSIZE | SWP_NOACTIVATE);
  return FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr);
}

// Whether `where` comes to hold for 1.5 s on end: a window manager may move a new window once.
bool settles(const std::function<bool()>& where) {
  for (const ULONGLONG end = GetTickCount64() + kLimitMs; GetTickCount64() < end;)
    if (waitFor(where, DWORD(end - GetTickCount64())) && !waitFor([&] { return !where(); }, 1500)) return true;
  return false;
}

std::string at(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

// Where it rests: still for 1.5 s, and with its corner at `corner` if given.
bool restsAt(HWND w, const RECT* corner = nullptr) {
  RECT last{}, now{};
  return settles([&] {
    const bool still = GetWindowRect(w, &now) && EqualRect(&now, &last) &&
                       (!corner || (std::abs(now.left - corner->left) <= 1 && std::abs(now.top - corner->top) <= 1));
    last = now;
    return still;
  });
}

// Whether a message rests on the screen clear of the main window, so never over its buttons.
bool besideMain(HWND message, HWND main) {
  RECT m{}, frame{}, both{}, screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return settles([&] {
    return GetWindowRect(message, &m) && GetWindowRect(main, &frame) && !IntersectRect(&both, &m, &frame) &&
           IntersectRect(&both, &m, &screen) && EqualRect(&both, &m);
  });
}

// The first and last column left of `width` in a window's client area with a colour but its corner's.
std::pair<int, int> inkSpan(HWND w, int width = 10000) {
  BITMAPINFOHEADER head{};
  const std::vector<DWORD> all = pixels(w, head, true);
  int first = -1, last = -1;
  for (int x = 0; x < std::min<int>(width, head.biWidth); ++x)
    for (int y = 0; y < -head.biHeight; ++y)
      if (all[y * head.biWidth + x] != all[0]) {
        first = first < 0 ? x : first;
        last = x;
      }
  return {first, last};
}

// Whether the clock shows its whole text up to the button over its end, clear of the edge: as wide as the
// same text a year on (never due) in the alarm box, in the same font. A text wrapped or cut is narrower.
std::string inkDetail;
bool wholeText(HWND label, HWND box, HWND button) {
  std::wstring yearOn = textOf(label);
  if (yearOn.size() > 9) yearOn[9] = yearOn[9] == L'9' ? L'0' : yearOn[9] + 1;
  if (textOf(box) != yearOn) type(box, yearOn);
  RECT r{}, b{};
  const int width = GetWindowRect(label, &r) && GetWindowRect(button, &b) ? std::min(r.right, b.left) - r.left : 0;
  const auto [left, right] = inkSpan(label, width);
  const auto [boxLeft, boxRight] = inkSpan(box);
  inkDetail = "ink " + std::to_string(left) + " to " + std::to_string(right) + " of " + std::to_string(width) + ", " +
              std::to_string(boxRight - boxLeft + 1) + " wide in the box";
  return left >= 0 && std::abs((right - left) - (boxRight - boxLeft)) <= 3 && right < width - 1;
}

// Whether a tooltip shows, or with `balloon`, a balloon from a notification-area icon.
bool tipShown(bool balloon) {
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr));)
    if (IsWindowVisible(w) && (!balloon || (GetWindowLongPtrW(w, GWL_STYLE) & TTS_BALLOON))) return true;
  return false;
}

// A picture of a window for the documentation, as a BMP file, with no tooltip showing.
bool screenshot(const std::wstring& path, HWND window) {
  SetCursorPos(0, 0);
  waitFor([] { return !tipShown(false); }, 5000);
  trayIcon();
  toFront(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  BITMAPINFOHEADER head;
  const std::vector<DWORD> all = pixels(window, head);
  const BITMAPFILEHEADER file{0x4D42, DWORD(sizeof file + sizeof head + all.size() * 4), 0, 0, sizeof file + sizeof head};
  std::ofstream out(path.c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file).write(reinterpret_cast<const char*>(&head), sizeof head);
  return !all.empty() && out.write(reinterpret_cast<const char*>(all.data()), all.size() * 4).good();
}

std::string readFile(const std::wstring& path) {
  std::ostringstream out;
  out << std::ifstream(path.c_str(), std::ios::binary).rdbuf();
  return out.str();
}

std::string ini(const std::wstring& time, const char* backup = "") {
  return "[ALARM]\r\nTime=" + narrow(time) + "\r\nTimeBAK=" + backup + "\r\n";
}

bool temporariesLeft(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\alarm.ini.tmp-*").c_str(), &found);
  return search != INVALID_HANDLE_VALUE && FindClose(search);
}

// Held open by another program that shares it with no one, as an editor or a scanner may.
HANDLE hold(const std::wstring& path) { return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); }

// The clock's own format, MM/dd/yyyy h:mm:ss AM, `seconds` from now.
std::wstring clockText(std::time_t seconds) {
  const std::time_t t = std::time(nullptr) + seconds;
  const std::tm s = *std::localtime(&t);
  wchar_t text[64];
  swprintf(text, 64, L"%02d/%02d/%04d %d:%02d:%02d %ls", s.tm_mon + 1, s.tm_mday, s.tm_year + 1900, (s.tm_hour + 11) % 12 + 1, s.tm_min,
           s.tm_sec, s.tm_hour < 12 ? L"AM" : L"PM");
  return text;
}

// One copy through all it shows, from a start over a held alarm.ini to the exit question's "Yes".
void oneCopy(const std::wstring& folder, const std::wstring& shots) {
  const std::wstring iniPath = folder + L"\\alarm.ini";
  // A hand-edited, hidden alarm.ini, and what a save killed half-way left beside it.
  std::ofstream(iniPath.c_str(), std::ios::binary) << "[alarm]\r\ntime=\r\n";
  std::ofstream((iniPath + L".tmp-4000000-0").c_str()) << "half a save";
  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
  Program program;
  HANDLE held = hold(iniPath);
  SetCursorPos(5, 5);  // a window manager that places windows by the pointer shows itself
  HWND message = nullptr, main = nullptr;
  const bool reported = held != INVALID_HANDLE_VALUE && program.start(folder) && (message = program.says(L"could not be read"));
  CloseHandle(held);
  check(reported && readFile(iniPath) == "[alarm]\r\ntime=\r\n",
        "alarm.ini held open all through the start is reported as unreadable, and left as it was");
  check((main = program.shownMain()) != nullptr, "the main window \"Tollora v1.1\" shows, from a folder named in Japanese");
  check(besideMain(message, main) && !(GetWindowLongW(child(message, L"Edit"), GWL_STYLE) & WS_VSCROLL) && toFront(message) &&
            focusOn(message, L"OK") && (press(VK_TAB), focusOn(message, nullptr)) && (press(VK_RETURN), waitFor([&] { return !program.message(); })),
        "the message at start rests beside the main window, no scroll bar by its short text; Enter in its text closes it",
        [&] { return at(message) + " by " + at(main); });
  HWINEVENTHOOK hook =
      SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, onAlert, program.process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
  HWND clock = child(main, L"Static"), box = child(main, L"Edit");
  const std::wstring before = textOf(clock);
  check(waitFor([&] { return textOf(clock) != before; }, 1500) && textOf(clock) == clockText(0) && saveButton(main) &&
            waitFor([&] { return share(child(main, L"Button", L"Set Alarm"), kOrange) > 0.3; }) && toFront(main) &&
            waitFor([&] { return wholeText(clock, box, child(main, L"Button")); }),
        "the clock label ticks with the time, its whole text in sight; with no alarm, an orange \"Set Alarm\"",
        [&] { return narrow(textOf(clock)) + ": " + inkDetail; });

  long state = 0;
  check(reader(main) == L"Tollora v1.1" && reader(box) == L"Alarm time" &&
            (reader(child(main, L"Button", L"Stop/Reset", false, true), &state), state & STATE_SYSTEM_INVISIBLE),
        "a reader finds the window \"Tollora v1.1\" and the box \"Alarm time\", not the hidden \"Stop/Reset\"");
  check(tabOrder(main) == Names{L"Set Alarm", L"<edit>", L"Minimize To Tray", L"About"},
        "Tab walks Set Alarm, the alarm box, Minimize To Tray, About");

  // The edit control's own paste stops at a line feed, not at a lone carriage return.
  const std::wstring tomorrow = clockText(24 * 3600), pasted = tomorrow + L"\rTimeBAK=x";
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (pasted.size() + 1) * sizeof(wchar_t));
  wcscpy(static_cast<wchar_t*>(GlobalLock(memory)), pasted.c_str());
  GlobalUnlock(memory);
  const bool copied = OpenClipboard(nullptr) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) && CloseClipboard();
  type(box, L"");
  SendMessageW(box, WM_PASTE, 0, 0);
  check(copied && waitFor([&] { return textOf(box) == tomorrow; }), "a paste keeps the first of two lines",
        [&] { return narrow(textOf(box)); });
  check(click(main, L"Set Alarm") && waitFor([&] { return readFile(iniPath) == ini(tomorrow); }) &&
            (GetFileAttributesW(iniPath.c_str()) & FILE_ATTRIBUTE_HIDDEN) && !temporariesLeft(folder) &&
            waitFor([&] { return share(child(main, L"Button", L"Alarm Set"), kGreen) > 0.3; }),
        "\"Set Alarm\" saves alarm.ini in CRLF lines, a green \"Alarm Set\"; it stays hidden, no temporary left, a killed save's neither",
        [&] { return readFile(iniPath); });

  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  type(box, clockText(2 * 24 * 3600));
  check(click(saveButton(main)) && (message = program.says(L"could not be saved to\r\n" + iniPath + L"\r\n\r\n")),
        "a read-only alarm.ini is refused in a modeless message naming the file");
  const std::wstring soon = clockText(4);
  type(box, soon + L"\r\nM");  // as an automation tool sets a whole value
  const bool typing = waitFor([&] { return textOf(box) == soon; }) && toFront(main) && realClick(box) && focusOn(main, nullptr);
  check(typing && waitFor([&] { return child(main, L"Static", L"Time's Up!"); }) && !child(main, L"Button", L"Set Alarm") &&
            focusOn(main, L"Stop/Reset") && waitFor([&] {
              return share(child(main, L"Static", L"Time's Up!"), kRed) > 0.02 && share(child(main, L"Button", L"Stop/Reset"), kRed) > 0.3;
            }),
        "a value of two lines keeps the first; it rings with the message open, red, the focus on \"Stop/Reset\"", [&] { return narrow(textOf(box)); });
  check(screenshot(shots + L"\\windows-fired.bmp", main), "screenshot of the fired alarm");
  waitFor([] { return alerts.size() > 1; }, 1500);
  check(alerts == Names{L"Time's Up!"}, "a reader hears \"Time's Up!\" once, as a system alert",
        [&] { return std::to_string(alerts.size()) + " alerts"; });
  trayIcon();
  press(VK_SPACE);
  check(waitFor([&] { return child(main, L"Button", L"Set Alarm") && !child(main, L"Button", L"Stop/Reset"); }) && textOf(box) == soon,
        "Space silences it; the alarm text stays as it was", [&] { return narrow(textOf(box)); });
  check(toFront(message) && focusOn(message, L"OK") && (press(VK_TAB), focusOn(message, nullptr)) && (press(VK_TAB), focusOn(message, L"OK")) &&
            (press(VK_ESCAPE), waitFor([&] { return !program.message(); })) && readFile(iniPath) == ini(tomorrow) && !temporariesLeft(folder),
        "Tab in the message goes from \"OK\" into its text and out again, Escape closes it; alarm.ini is as it was, no temporary left");
  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
  check(waitFor([&] { return !child(main, PROGRESS_CLASSW); }) && screenshot(shots + L"\\windows-main.bmp", main),
        "screenshot of the main window");

  type(box, clockText(3));
  check(toTray(main) && waitFor([&] { return child(main, L"Static", L"Time's Up!", false, true); }) && !IsWindowVisible(main) &&
            waitFor([] { return tipShown(true); }),
        "\"Minimize To Tray\" hides the window; the alarm rings in the tray, and the icon shows a balloon");
  PostMessageW(main, kTrayCallback, 1, NIN_BALLOONUSERCLICK);
  check(waitFor([&] { return shown(main); }) && click(main, L"Stop/Reset"), "a click on the balloon brings the window back");

  check(toTray(main) && realClick(trayIcon()) && waitFor([&] { return shown(main); }),
        "a real left click on the tray icon brings the window back");
  RECT frame{};
  GetWindowRect(main, &frame);
  HWND alert = nullptr;
  check(toTray(main) && realClick(trayIcon(), true) &&
            waitFor([&] { return (alert = program.form(L"Alert")) && child(alert, L"Button", L"Yes"); }) && restsAt(main, &frame),
        "a real right click on it brings the window back where it was, and asks before leaving", [&] { return at(main); });
  check(child(alert, L"Static", L"Are Your Sure You Want To Exit?.") && child(alert, L"Button", L"No") && focusOn(alert, L"No"),
        "the question \"Are Your Sure You Want To Exit?.\" comes with the focus on \"No\"");
  RECT a{};
  check(restsAt(alert) && GetWindowRect(alert, &a) && PtInRect(&frame, POINT{(a.left + a.right) / 2, (a.top + a.bottom) / 2}),
        "the question rests over the main window", [&] { return at(alert) + " over " + at(main); });
  check(realClick(child(alert, L"Button", L"Yes")) && program.ended(0), "a real click on \"Yes\" ends the program");
  UnhookWinEvent(hook);
}

// Starting more than once: handed over, beside another folder's copy, after a kill, beside a hung copy.
void startingAgain(const std::wstring& folder, const std::wstring& linked) {
  const std::wstring iniPath = folder + L"\\alarm.ini";
  const std::string saved = readFile(iniPath);
  Program first, second, beside, third, fifth;
  HWND main = first.start(folder) ? first.shownMain() : nullptr, other = nullptr, message = nullptr;
  check(toTray(main), "a copy starts and hides in the tray");
  // Through another drive letter (T: is drive C: again, as run.sh maps it): the same file.
  check(second.start(L"T" + folder.substr(1)) && second.ended(0, 10000) && waitFor([&] { return shown(main); }) &&
            forms(0, L"Tollora v1.1").size() == 1 && readFile(iniPath) == saved,
        "a second start through another drive letter ends, bringing the copy out of the tray, alarm.ini untouched");
  check(beside.start(linked, L"--tray") &&
            waitFor([&] { return (other = beside.form()) && child(other, L"Edit", L"linked", false, true); }) && !IsWindowVisible(other) &&
            PostMessageW(other, kTrayCallback, 1, WM_LBUTTONUP) && waitFor([&] { return shown(other); }) && shown(main),
        "a copy in another folder starts in the tray, its alarm read through a link, and its icon brings it beside the first");
  const std::wstring alarm = clockText(24 * 3600);
  type(child(other, L"Edit"), alarm);
  check(click(saveButton(other)) && waitFor([&] { return readFile(linked + L"\\alarm.ini") == ini(alarm, "note"); }) && !beside.message() &&
            beside.close(),
        "its save reaches the file through the link", [&] { return readFile(linked + L"\\alarm.ini"); });
  const bool killed = TerminateProcess(first.process.hProcess, 9) && first.ended(9);
  HANDLE held = hold(iniPath);
  check(killed && held != INVALID_HANDLE_VALUE && third.start(folder) && waitFor([&] { return third.form(nullptr); }),
        "the first copy is killed; a start while alarm.ini is held");
  Sleep(300);  // how long the hold lasts: the read is under way once the window is made
  CloseHandle(held);
  check((main = third.shownMain()) && ini(textOf(child(main, L"Edit"))) == saved && !third.message(),
        "the brief hold is waited out: the saved alarm loads, and the killed copy was in nobody's way");
  SuspendThread(third.process.hThread);
  check(fifth.start(folder) && (message = fifth.says(L"does not respond", 10000)) && !fifth.form() && click(message, L"OK") && fifth.ended(1) &&
            ResumeThread(third.process.hThread) == 1 && third.close(),
        "a start beside a hung copy says it does not respond, with no window of its own, and fails; the hung copy recovers");
}

// At 192 dpi; started from a folder it cannot write (Program Files) when there is one.
void highDpi(const std::wstring& folder, const std::wstring& readOnly) {
  const auto setDpi = [](DWORD dpi) { RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi); };
  setDpi(192);
  const std::wstring iniPath = readOnly.empty() ? folder + L"\\alarm.ini" : _wgetenv(L"LOCALAPPDATA") + std::wstring(L"\\Tollora\\alarm.ini");
  const std::wstring alarm = clockText(3 * 24 * 3600);
  Program program;
  HWND main = program.start(readOnly.empty() ? folder : readOnly) ? program.shownMain() : nullptr, message = nullptr;
  RECT client{};
  HWND clock = child(main, L"Static"), box = child(main, L"Edit");
  SetCursorPos(0, 0);  // no tooltip over the clock
  check(GetClientRect(main, &client) && client.right == 576 && client.bottom == 308 &&
            waitFor([&] { return wholeText(clock, box, child(main, L"Button")); }),
        "at 192 dpi the window is twice the size, the clock's whole text in sight", [&] { return at(main) + " " + narrow(textOf(clock)) + ": " + inkDetail; });
  type(box, alarm);
  if (!readOnly.empty())
    check(click(saveButton(main)) && waitFor([&] { return readFile(iniPath) == ini(alarm); }) && !program.message(),
          "from a read-only folder the alarm is saved in %LOCALAPPDATA%\\Tollora", [&] { return readFile(iniPath); });
  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_READONLY);
  check(click(saveButton(main)) && waitFor([&] { return (message = program.message()) != nullptr; }) && besideMain(message, main) &&
            GetWindowRect(message, &client) && client.right - client.left < 800 && click(message, L"OK") && program.close(),
        "on a screen of 1024x768 at 192 dpi, a failed save's message rests clear of the window, narrower and taller; they close",
        [&] { return at(message) + " by " + at(main); });
  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_NORMAL);
  setDpi(96);
}

// An alarm set, then missed while the program was closed, is told at the next start.
void missedWhileClosed(const std::wstring& folder) {
  Program first, next;
  HWND main = first.start(folder) ? first.shownMain() : nullptr, message = nullptr;
  const ULONGLONG due = GetTickCount64() + 6000;
  const std::wstring alarm = clockText(6);
  type(child(main, L"Edit"), alarm);
  check(click(saveButton(main)) && waitFor([&] { return !child(main, PROGRESS_CLASSW) && child(main, L"Button", L"Alarm Set"); }) &&
            first.close() && waitFor([&] { return GetTickCount64() > due + 1000; }) && next.start(folder) &&
            (message = next.says(L"The alarm of " + alarm + L" came due at ")) &&
            child(message, L"Edit", L" while Tollora was not running.", true) && click(message, L"OK") && next.close(),
        "an alarm set, then missed while the program was closed, is told at the next start");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return std::fprintf(stderr, "usage: driver <program folder> <screenshot folder> <linked folder> [<read-only folder>]\n"), 2;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // A folder named in Japanese: every file name of the program's goes through the wide path.
  const std::wstring folder = argv[1] + std::wstring(L" \u6642\u8a08");
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const wchar_t* file : {L"\\tollora.exe", L"\\beep.wav"})
    CopyFileW((argv[1] + std::wstring(file)).c_str(), (folder + file).c_str(), FALSE);
  oneCopy(folder, argv[2]);
  startingAgain(folder, argv[3]);
  highDpi(folder, argc > 4 ? argv[4] : L"");
  missedWhileClosed(folder);
  std::printf("driver: %d passed, %d failed\n", passed, failed);
  return failed != 0;
}
