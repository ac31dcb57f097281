// The end-to-end driver: starts tollora.exe and works it from outside, as a user, a screen
// reader or Windows itself reaches it (window messages, real mouse and keys, accessibility
// objects, pixels on the screen), for what only the Windows program shows: the logic behind it
// is the headless tests'. Runs under Wine; prints one PASS/FAIL line per check.
//
//   driver.exe <program folder> <request folder> <linked folder> [<read-only folder>]
//
// Screenshots are asked of the script outside Wine: <name>.req holds the window rectangle,
// and the script answers with <name>.done.
#include <windows.h>
#include <commctrl.h>
// The accessibility GUIDs defined here: the import library resolves IID_IAccessible to a
// thunk under Wine.
#include <initguid.h>
#include <oleacc.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr UINT kTrayCallback = WM_APP + 1;  // what the program asks the shell to send
constexpr DWORD kLimitMs = 20000;
constexpr COLORREF kRed = RGB(230, 35, 35), kOrange = RGB(255, 128, 0), kGreen = RGB(0, 192, 0);
int passed = 0, failed = 0;

bool check(bool ok, const std::string& what, const std::string& detail = {}) {
  (ok ? passed : failed)++;
  std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", what.c_str(), ok || detail.empty() ? "" : ": ", ok ? "" : detail.c_str());
  std::fflush(stdout);
  return ok;
}

// Polls until `done` holds or the limit passes, dispatching messages meanwhile (accessibility
// events arrive as messages); never a fixed sleep.
bool waitFor(const std::function<bool()>& done, DWORD limitMs = kLimitMs) {
  for (const ULONGLONG end = GetTickCount64() + limitMs;;) {
    if (done()) return true;
    if (GetTickCount64() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
  }
}

std::string narrow(const std::wstring& s) {
  std::string out(s.size() * 3, '\0');
  out.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(),
                                                          static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

std::wstring textOf(HWND w) {
  wchar_t buffer[512] = {};
  return std::wstring(buffer, static_cast<std::size_t>(SendMessageW(w, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer))));
}

std::wstring classOf(HWND w) {
  wchar_t buffer[64] = {};
  GetClassNameW(w, buffer, 64);
  return buffer;
}

// The child of a window class whose text is `text` (any when null) or, with `part`, holds
// it; a hidden one (or one of a hidden window) only with `hidden`.
HWND child(HWND parent, const wchar_t* windowClass, const wchar_t* text = nullptr, bool part = false, bool hidden = false) {
  for (HWND w = parent ? GetWindow(parent, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (!(hidden || IsWindowVisible(w)) || _wcsicmp(classOf(w).c_str(), windowClass) != 0) continue;
    const std::wstring t = textOf(w);
    if (!text || (part ? t.find(text) != std::wstring::npos : t == text)) return w;
  }
  return nullptr;
}

// The program's forms by caption (any when null), found without a message to the program,
// which may be busy in its start-up.
std::vector<HWND> formsOf(DWORD pid, const wchar_t* caption) {
  struct Query {
    DWORD pid;
    const wchar_t* caption;
    std::vector<HWND> found;
  } query{pid, caption, {}};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto& q = *reinterpret_cast<Query*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        wchar_t text[64] = {};
        GetWindowTextW(w, text, 64);
        if ((!q.pid || owner == q.pid) && classOf(w) == L"TolloraForm" && (!q.caption || q.caption == std::wstring(text)))
          q.found.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&query));
  return query.found;
}

bool shown(HWND w) { return w && IsWindowVisible(w) && !IsIconic(w); }

struct Program {
  PROCESS_INFORMATION process{};
  bool start(const std::wstring& folder, const std::wstring& args = {}) {
    std::wstring command = L"\"" + folder + L"\\tollora.exe\" " + args;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process);
  }
  HWND form(const wchar_t* caption = L"Tollora v1.1") const {
    const auto found = formsOf(process.dwProcessId, caption);
    return found.empty() ? nullptr : found.front();
  }
  HWND message() const { return shown(form(L"Tollora")) ? form(L"Tollora") : nullptr; }
  // Shown and through its start-up: a click sent while the program is still in Form_Load
  // would come before the tray icon exists.
  HWND shownMain() {
    HWND main = nullptr;
    if (!waitFor([&] { return shown(main = form()); })) return nullptr;
    WaitForInputIdle(process.hProcess, kLimitMs);
    return main;
  }
  bool exited(DWORD limitMs = kLimitMs) const { return WaitForSingleObject(process.hProcess, limitMs) == WAIT_OBJECT_0; }
  DWORD exitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
  }
  bool close() {
    PostMessageW(form(), WM_CLOSE, 0, 0);
    return exited() && exitCode() == 0;
  }
  ~Program() {
    if (!process.hProcess) return;
    if (!exited(0)) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
};

// --- input, as the user's: the system's queues, which a blocked window never reads ---------

void press(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

bool realClick(HWND w, bool right = false) {
  RECT r;
  if (!w || !GetWindowRect(w, &r) || !SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2)) return false;
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  return SendInput(2, input, sizeof(INPUT)) == 2;
}

bool click(HWND parent, const wchar_t* caption) {
  HWND button = child(parent, L"Button", caption);
  return button && SendMessageW(button, BM_CLICK, 0, 0) == 0;
}

// Whether the click's handler returns within 5 s: a modal window it opened would hold it.
bool clickReturns(HWND button) {
  DWORD_PTR result = 0;
  return button && SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
}

// The save button under whichever caption the alarm's state gives it, once the first look at
// the alarm has given it one, 2.5 s in.
HWND saveButton(HWND main) {
  HWND b = nullptr;
  waitFor([&] { return (b = child(main, L"Button", L"Set Alarm")) || (b = child(main, L"Button", L"Alarm Set")); });
  return b;
}

void type(HWND box, const std::wstring& text) { SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }

HWND focusIn(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

bool toFront(HWND window) {
  SetForegroundWindow(window);
  return waitFor([&] { return GetForegroundWindow() == window; }, 5000);
}

// The texts of the controls Tab visits, from the first.
std::vector<std::wstring> tabOrder(HWND window) {
  std::vector<std::wstring> order;
  HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
  for (HWND w = first; w && order.size() < 10; w = GetNextDlgTabItem(window, w, FALSE)) {
    order.push_back(classOf(w) == L"Edit" ? L"<edit>" : textOf(w));
    if (GetNextDlgTabItem(window, w, FALSE) == first) break;
  }
  return order;
}

// --- what a screen reader reads, through the system's accessibility objects ---------------

struct Accessible {
  std::wstring name;
  long role = -1, state = -1;
};

Accessible readAccessible(IAccessible* a, long childId = CHILDID_SELF) {
  Accessible r;
  VARIANT id, v;
  VariantInit(&id);
  VariantInit(&v);
  id.vt = VT_I4;
  id.lVal = childId;
  BSTR name = nullptr;
  if (a->get_accName(id, &name) == S_OK && name) r.name.assign(name, SysStringLen(name));
  SysFreeString(name);
  if (SUCCEEDED(a->get_accRole(id, &v)) && v.vt == VT_I4) r.role = v.lVal;
  VariantClear(&v);
  if (SUCCEEDED(a->get_accState(id, &v)) && v.vt == VT_I4) r.state = v.lVal;
  VariantClear(&v);
  return r;
}

// A window's client object, which carries its name under Wine (the window-level one is blank).
Accessible readWindow(HWND w) {
  IAccessible* a = nullptr;
  if (!w || FAILED(AccessibleObjectFromWindow(w, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, reinterpret_cast<void**>(&a))))
    return {};
  const Accessible r = readAccessible(a);
  a->Release();
  return r;
}

// The names a reader finds on show in a window: its child windows' and its own elements'.
std::vector<std::wstring> readableNames(HWND w) {
  std::vector<std::wstring> names;
  IAccessible* a = nullptr;
  long count = 0, got = 0;
  if (!w || FAILED(AccessibleObjectFromWindow(w, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, reinterpret_cast<void**>(&a))))
    return names;
  a->get_accChildCount(&count);
  std::vector<VARIANT> children(static_cast<std::size_t>(count));
  if (count > 0 && SUCCEEDED(AccessibleChildren(a, 0, count, children.data(), &got))) {
    for (long i = 0; i < got; ++i) {
      VARIANT& c = children[static_cast<std::size_t>(i)];
      IOleWindow* window = nullptr;
      HWND hwnd = nullptr;
      Accessible item;
      if (c.vt == VT_DISPATCH && c.pdispVal && SUCCEEDED(c.pdispVal->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)))) {
        window->GetWindow(&hwnd);
        window->Release();
        item = readWindow(hwnd);
      } else if (c.vt == VT_I4) {
        item = readAccessible(a, c.lVal);
      }
      if (item.state != -1 && !(item.state & STATE_SYSTEM_INVISIBLE)) names.push_back(item.name);
      VariantClear(&c);
    }
  }
  a->Release();
  return names;
}

bool has(const std::vector<std::wstring>& names, const std::wstring& name) {
  for (auto& n : names)
    if (n == name) return true;
  return false;
}

// The names of EVENT_SYSTEM_ALERT objects raised by the program, as a screen reader hears them.
std::vector<std::wstring> alerts;
void CALLBACK onAlert(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG childId, DWORD, DWORD) {
  IAccessible* a = nullptr;
  VARIANT c;
  VariantInit(&c);
  std::wstring name = L"<unreadable>";
  if (SUCCEEDED(AccessibleObjectFromEvent(window, static_cast<DWORD>(object), static_cast<DWORD>(childId), &a, &c)) && a) {
    name = readAccessible(a, c.vt == VT_I4 ? c.lVal : CHILDID_SELF).name;
    a->Release();
  }
  alerts.push_back(name);
}

// --- the screen ------------------------------------------------------------------------------

// The share of a window's pixels on the screen that have colour `c`.
double share(HWND w, COLORREF c) {
  RECT r{};
  GetWindowRect(w, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return 0;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  const DWORD want = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  int n = 0;
  for (int i = 0; i < width * height; ++i) n += (static_cast<DWORD*>(bits)[i] & 0xFFFFFF) == want;
  SelectObject(memory, old);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return static_cast<double>(n) / (width * height);
}

// Wine without a desktop tray shows the icons in a small window of its own, which lands over
// the program's window; it goes into the corner before any real click or screenshot.
HWND trayIcon() {
  HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  if (!tray) return nullptr;
  RECT r;
  GetWindowRect(tray, &r);
  SetWindowPos(tray, HWND_BOTTOM, GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left), GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top),
               0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  return FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr);
}

// Whether `where` comes to hold and then holds for 1.5 s on end: a window manager that places
// a new window itself moves it a moment after it appears, and the program moves it back.
bool settles(const std::function<bool()>& where) {
  const ULONGLONG end = GetTickCount64() + kLimitMs;
  while (GetTickCount64() < end)
    if (waitFor(where, static_cast<DWORD>(end - GetTickCount64())) && !waitFor([&] { return !where(); }, 1500)) return true;
  return false;
}

std::string rectText(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// Whether a window comes to rest.
bool settled(HWND w) {
  RECT last{}, now{};
  return settles([&] {
    GetWindowRect(w, &now);
    const bool same = EqualRect(&now, &last);
    last = now;
    return same;
  });
}

bool landsAt(HWND w, POINT expected, std::string& seen) {
  RECT r{};
  const bool ok = settles([&] { return GetWindowRect(w, &r) && std::abs(r.left - expected.x) <= 1 && std::abs(r.top - expected.y) <= 1; });
  seen = rectText(r) + " instead of " + std::to_string(expected.x) + "," + std::to_string(expected.y);
  return ok;
}

// Whether the message settles on the screen clear of the main window, so never over its buttons.
bool besideMain(HWND message, HWND main, std::string& seen) {
  RECT at{}, frame{}, overlap{}, screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, in{};
  const bool ok = settles([&] {
    return GetWindowRect(message, &at) && GetWindowRect(main, &frame) && !IntersectRect(&overlap, &at, &frame) &&
           IntersectRect(&in, &at, &screen) && EqualRect(&in, &at);
  });
  seen = rectText(at) + " by " + rectText(frame);
  return ok;
}

bool screenshot(const std::wstring& folder, const std::wstring& name, HWND window) {
  trayIcon();
  SetForegroundWindow(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r;
  GetWindowRect(window, &r);
  const std::wstring done = folder + L"\\" + name + L".done";
  std::ofstream((folder + L"\\" + name + L".req").c_str()) << r.left << ' ' << r.top << ' ' << (r.right - r.left) << ' ' << (r.bottom - r.top) << '\n';
  return waitFor([&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

// --- files -----------------------------------------------------------------------------------

std::string readFile(const std::wstring& path) {
  std::ostringstream out;
  out << std::ifstream(path.c_str(), std::ios::binary).rdbuf();
  return out.str();
}

bool writeFile(const std::wstring& path, const std::string& bytes) { return std::ofstream(path.c_str(), std::ios::binary).write(bytes.data(), bytes.size()).good(); }

std::string visible(std::string bytes) {
  for (std::size_t i = 0; (i = bytes.find_first_of("\r\n", i)) != std::string::npos; i += 2) bytes.replace(i, 1, bytes[i] == '\r' ? "\\r" : "\\n");
  return bytes;
}

std::string ini(const std::wstring& time, const char* backup = "") { return "[ALARM]\r\nTime=" + narrow(time) + "\r\nTimeBAK=" + backup + "\r\n"; }

bool temporariesLeft(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\alarm.ini.tmp-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// Held open by another program that shares it with no one, as an editor or a scanner may.
HANDLE hold(const std::wstring& path) { return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); }

// The clock's own format, MM/dd/yyyy h:mm:ss AM, `seconds` from now.
std::wstring clockText(LONGLONG seconds) {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
  t.QuadPart += static_cast<ULONGLONG>(seconds) * 10000000ULL;
  ft = {t.LowPart, t.HighPart};
  FILETIME local;
  FileTimeToLocalFileTime(&ft, &local);
  SYSTEMTIME s;
  FileTimeToSystemTime(&local, &s);
  wchar_t buffer[64];
  swprintf(buffer, 64, L"%02u/%02u/%04u %d:%02u:%02u %ls", s.wMonth, s.wDay, s.wYear, s.wHour % 12 == 0 ? 12 : s.wHour % 12, s.wMinute,
           s.wSecond, s.wHour < 12 ? L"AM" : L"PM");
  return buffer;
}

// --- the scenarios ---------------------------------------------------------------------------

// One copy, worked through everything it shows: a start over a held alarm.ini, the clock, what a
// reader and the keyboard find, a save over a hidden file, a read-only file refused in a
// modeless message beside the window, the ring in the window and in the tray, and real clicks
// on the tray icon up to the exit question's "Yes".
void oneCopy(const std::wstring& folder, const std::wstring& requests) {
  const std::wstring iniPath = folder + L"\\alarm.ini";
  // A hand-edited, hidden alarm.ini, and what a save killed half-way left beside it.
  const std::string handEdited = "[alarm]\r\ntime=\r\n";
  writeFile(iniPath, handEdited);
  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
  writeFile(iniPath + L".tmp-4000000-0", "half a save");

  Program program;
  HANDLE held = hold(iniPath);
  SetCursorPos(5, 5);  // a window manager that places windows by the pointer shows itself
  check(held != INVALID_HANDLE_VALUE && program.start(folder), "tollora.exe starts from a folder named in Japanese");
  HWND message = nullptr;
  check(waitFor([&] { return (message = program.message()) && child(message, L"Edit", L"could not be read", true); }),
        "alarm.ini held open at start for good is reported: the saved alarm could not be read");
  click(message, L"OK");
  CloseHandle(held);
  check(readFile(iniPath) == handEdited, "and left as it was");
  HWND main = program.shownMain();
  check(main != nullptr, "the main window \"Tollora v1.1\" shows");
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, onAlert, program.process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
  {
    RECT frame{}, work{};
    GetWindowRect(main, &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    std::string seen;
    check(landsAt(main, {work.left + (work.right - work.left - (frame.right - frame.left)) / 2, work.top + (work.bottom - work.top - (frame.bottom - frame.top)) / 2}, seen),
          "it starts centred on the screen", seen);
  }
  // The clock label steps just after each wall-clock second, showing that second.
  HWND clock = child(main, L"Static");
  {
    std::string lags;
    bool right = true;
    int steps = 0;
    for (std::wstring last = textOf(clock); steps < 3 && waitFor([&] { return textOf(clock) != last; }, 1500); last = textOf(clock), ++steps) {
      SYSTEMTIME now;
      GetLocalTime(&now);
      right = right && now.wMilliseconds < 200 && textOf(clock) == clockText(0);
      lags += std::to_string(now.wMilliseconds) + "ms ";
    }
    check(steps == 3 && right, "the clock label ticks on the second boundary with the time", lags + narrow(textOf(clock)));
  }
  HWND box = child(main, L"Edit");
  check(waitFor([&] { return child(main, L"Button", L"Set Alarm"); }) && share(child(main, L"Button", L"Set Alarm"), kOrange) > 0.3,
        "with no alarm, an orange \"Set Alarm\"");

  // What a screen reader and the keyboard find.
  const Accessible frame = readWindow(main), alarmBox = readWindow(box);
  const std::vector<std::wstring> names = readableNames(main);
  bool named = names.size() >= 5;
  for (auto& n : names) named = named && !n.empty();
  check(frame.name == L"Tollora v1.1" && alarmBox.name == L"Alarm time" && alarmBox.role == ROLE_SYSTEM_TEXT && has(names, textOf(clock)) && named,
        "a reader finds the window, the box \"Alarm time\", the clock and a name for every control on show",
        narrow(frame.name) + ", " + narrow(alarmBox.name) + ", " + std::to_string(names.size()) + " on show");
  check(!has(names, L"Stop/Reset") && (readWindow(child(main, L"Edit", L"TimeBAK", false, true)).state & STATE_SYSTEM_INVISIBLE),
        "and neither the hidden \"Stop/Reset\" nor the backup box");
  check(tabOrder(main) == std::vector<std::wstring>{L"Set Alarm", L"<edit>", L"Minimize To Tray", L"About"},
        "Tab walks Set Alarm, the alarm box, Minimize To Tray, About");

  // A paste of two lines keeps the first: the edit control's own paste stops at a line feed
  // but not at a lone carriage return.
  const std::wstring tomorrow = clockText(24 * 3600);
  const std::wstring pasted = tomorrow + L"\rTimeBAK=x";
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (pasted.size() + 1) * sizeof(wchar_t));
  wcscpy(static_cast<wchar_t*>(GlobalLock(memory)), pasted.c_str());
  GlobalUnlock(memory);
  const bool copied = OpenClipboard(nullptr) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
  type(box, L"");
  SendMessageW(box, WM_PASTE, 0, 0);
  check(copied && waitFor([&] { return textOf(box) == tomorrow; }), "a paste keeps the first of two lines", narrow(textOf(box)));

  // Saved byte for byte over the hidden file, which stays hidden; the killed save's leftover goes.
  check(click(main, L"Set Alarm") && waitFor([&] { return readFile(iniPath) == ini(tomorrow); }), "\"Set Alarm\" saves alarm.ini in CRLF lines",
        visible(readFile(iniPath)));
  check((GetFileAttributesW(iniPath.c_str()) & FILE_ATTRIBUTE_HIDDEN) && !temporariesLeft(folder),
        "the file stays hidden, and no temporary is left, a killed save's neither");
  check(waitFor([&] { return child(main, L"Button", L"Alarm Set") && share(child(main, L"Button", L"Alarm Set"), kGreen) > 0.3; }),
        "the button turns into a green \"Alarm Set\"");

  // A read-only alarm.ini is refused, in a message that never blocks the main window: it comes
  // beside it (the pointer over the window notwithstanding), the alarm rings and a real click
  // on "Stop/Reset" works meanwhile, and a second failure reuses it.
  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  RECT mainFrame{};
  GetWindowRect(main, &mainFrame);
  SetCursorPos((mainFrame.left + mainFrame.right) / 2, (mainFrame.top + mainFrame.bottom) / 2);
  type(box, clockText(2 * 24 * 3600));
  check(clickReturns(saveButton(main)), "a failed save returns at once: its message is modeless");
  check(waitFor([&] { return (message = program.message()) && child(message, L"Edit", (iniPath + L"\r\n\r\n").c_str(), true) &&
                             child(message, L"Edit", L"could not be saved", true); }),
        "a read-only alarm.ini is reported, naming the file");
  std::string seen;
  check(besideMain(message, main, seen), "the message lands beside the main window, clear of its buttons", seen);
  const std::wstring soon = clockText(3);
  type(box, soon + L"\r\nM");  // as an automation tool sets a whole value
  check(waitFor([&] { return textOf(box) == soon; }), "a text of two lines set from outside keeps the first", narrow(textOf(box)));
  check(waitFor([&] { return child(main, L"Static", L"Time's Up!"); }) && child(main, L"Button", L"Stop/Reset") && !child(main, L"Button", L"Set Alarm"),
        "the alarm rings while the message is open: \"Time's Up!\" and \"Stop/Reset\"");
  check(toFront(main) && share(child(main, L"Static", L"Time's Up!"), kRed) > 0.02 && share(child(main, L"Button", L"Stop/Reset"), kRed) > 0.3,
        "in red");
  check(screenshot(requests, L"fired", main), "screenshot of the fired alarm");
  waitFor([] { return alerts.size() > 1; }, 1500);
  check(alerts == std::vector<std::wstring>{L"Time's Up!"}, "a reader hears \"Time's Up!\" once, as a system alert", std::to_string(alerts.size()) + " alerts");
  trayIcon();
  check(realClick(child(main, L"Button", L"Stop/Reset")) && waitFor([&] { return child(main, L"Button", L"Set Alarm") && !child(main, L"Button", L"Stop/Reset"); }),
        "a real click on \"Stop/Reset\" silences it");
  type(box, clockText(2 * 24 * 3600));
  check(clickReturns(saveButton(main)) && formsOf(program.process.dwProcessId, L"Tollora").size() == 1, "a second failed save reuses the message");
  // The keyboard in the message: Tab out of its text (a multi-line box keeps Tab otherwise),
  // Space on "OK".
  check(toFront(message) && waitFor([&] { return textOf(focusIn(message)) == L"OK"; }), "the message starts with the focus on \"OK\"");
  press(VK_TAB);
  check(waitFor([&] { return classOf(focusIn(message)) == L"Edit"; }), "Tab goes into its text");
  press(VK_TAB);
  check(waitFor([&] { return textOf(focusIn(message)) == L"OK"; }), "and Tab leaves the text for \"OK\"");
  press(VK_SPACE);
  check(waitFor([&] { return !program.message(); }), "Space on \"OK\" closes the message");
  check(readFile(iniPath) == ini(tomorrow) && !temporariesLeft(folder), "the read-only alarm.ini keeps its content, no temporary left");
  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_HIDDEN);
  check(screenshot(requests, L"main", main), "screenshot of the main window");

  // Ringing hidden in the tray: the window stays hidden, the icon shows a balloon, and a click
  // on the balloon brings the window back.
  type(box, clockText(3));
  check(click(main, L"Minimize To Tray") && waitFor([&] { return !IsWindowVisible(main); }), "\"Minimize To Tray\" hides the window");
  check(waitFor([&] { return child(main, L"Static", L"Time's Up!", false, true); }) && !IsWindowVisible(main), "the alarm rings in the tray, the window hidden");
  check(waitFor([] {
          for (HWND w = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); w; w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr))
            if (IsWindowVisible(w) && (GetWindowLongPtrW(w, GWL_STYLE) & TTS_BALLOON)) return true;
          return false;
        }, 5000),
        "the tray icon shows a balloon");
  PostMessageW(main, kTrayCallback, 1, NIN_BALLOONUSERCLICK);
  check(waitFor([&] { return shown(main); }) && click(main, L"Stop/Reset"), "a click on the balloon brings the window back");

  // Real clicks on the icon in Wine's tray window: the left one brings the window back, the
  // right one as well, where it was, with the exit question in front, the focus on "No".
  check(click(main, L"Minimize To Tray") && waitFor([&] { return !IsWindowVisible(main); }) && realClick(trayIcon()) && waitFor([&] { return shown(main); }),
        "a real left click on the tray icon brings the window back");
  RECT before{};
  GetWindowRect(main, &before);
  HWND alert = nullptr;
  check(click(main, L"Minimize To Tray") && waitFor([&] { return !IsWindowVisible(main); }) && realClick(trayIcon(), true) &&
            waitFor([&] { return (alert = program.form(L"Alert")) && child(alert, L"Button", L"Yes"); }),
        "a real right click on it asks before leaving");
  check(IsWindowVisible(main) && landsAt(main, {before.left, before.top}, seen), "the window comes back where it was", seen);
  const std::vector<std::wstring> question = readableNames(alert);
  check(readWindow(alert).name == L"Alert" && has(question, L"Alert!") && has(question, L"Are Your Sure You Want To Exit?.") && has(question, L"Yes") && has(question, L"No"),
        "a reader finds the question \"Are Your Sure You Want To Exit?.\", \"Yes\" and \"No\"");
  check(waitFor([&] { return textOf(focusIn(alert)) == L"No"; }), "the focus starts on \"No\"");
  // Where "Yes" shows, a click reaches it, not the restored window stacked over it.
  check(settled(alert) && realClick(child(alert, L"Button", L"Yes")) && program.exited() && program.exitCode() == 0, "a real click on \"Yes\" ends the program");
  UnhookWinEvent(hook);
}

// Starting more than once with one alarm file: a second start hands over to the running copy,
// a copy in another folder runs beside it (here over a linked alarm.ini), a killed copy leaves
// nothing in the way, and a start beside a hung copy says so and fails.
void startingAgain(const std::wstring& folder, const std::wstring& linked) {
  const std::wstring iniPath = folder + L"\\alarm.ini";
  const std::string saved = readFile(iniPath);
  Program first;
  HWND main = first.start(folder) ? first.shownMain() : nullptr;
  check(click(main, L"Minimize To Tray") && waitFor([&] { return !IsWindowVisible(main); }), "a copy starts and hides in the tray");
  {
    Program second;
    check(second.start(folder) && second.exited(10000) && second.exitCode() == 0, "a second start with the same alarm file ends by itself",
          std::to_string(second.exitCode()));
  }
  check(waitFor([&] { return shown(main); }) && formsOf(0, L"Tollora v1.1").size() == 1 && readFile(iniPath) == saved,
        "bringing the running copy out of the tray, alarm.ini untouched");
  {
    Program beside;
    HWND other = nullptr;
    check(beside.start(linked, L"--tray") && waitFor([&] { return (other = beside.form()) && child(other, L"Edit", L"linked", false, true); }) &&
              !IsWindowVisible(other),
          "a copy in another folder starts in the tray, its alarm loaded through a link");
    PostMessageW(other, kTrayCallback, 1, WM_LBUTTONUP);
    check(waitFor([&] { return shown(other); }) && shown(main), "its icon brings its window, both copies run");
    const std::wstring alarm = clockText(24 * 3600);
    type(child(other, L"Edit"), alarm);
    check(clickReturns(saveButton(other)) && waitFor([&] { return readFile(linked + L"\\alarm.ini") == ini(alarm, "note"); }) && !beside.message(),
          "its save reaches the file through the link", visible(readFile(linked + L"\\alarm.ini")));
    check(beside.close(), "closing its window ends it");
  }
  TerminateProcess(first.process.hProcess, 9);
  check(first.exited(), "the first copy is killed");

  // Held for a moment while the next start reads it: waited out, and the alarm loads.
  Program third;
  HANDLE held = hold(iniPath);
  check(held != INVALID_HANDLE_VALUE && third.start(folder) && waitFor([&] { return third.form(nullptr); }), "a start while alarm.ini is held");
  Sleep(300);  // the hold's length: the read is under way once the window is made
  CloseHandle(held);
  check((main = third.shownMain()) && ini(textOf(child(main, L"Edit"))) == saved && !third.message(),
        "the brief hold is waited out: the saved alarm loads, and the killed copy is in nobody's way");

  SuspendThread(third.process.hThread);
  {
    Program fifth;
    HWND message = nullptr;
    check(fifth.start(folder) && waitFor([&] { return (message = fifth.message()) && child(message, L"Edit", L"does not respond", true); }, 10000) &&
              !fifth.form(),
          "a start beside a hung copy says it does not respond, with no window of its own");
    click(message, L"OK");
    check(fifth.exited() && fifth.exitCode() == 1, "and fails once the message is closed", std::to_string(fifth.exitCode()));
  }
  ResumeThread(third.process.hThread);
  check(third.close(), "the hung copy recovers and closes");
}

// At 192 dpi the window scales, and a failed save's message still lands clear of it. Started
// from a folder it cannot write when there is one (Program Files), the alarm is the user's own.
void highDpi(const std::wstring& folder, const std::wstring& readOnly) {
  DWORD dpi = 192;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
  wchar_t local[MAX_PATH] = {};
  GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  const std::wstring iniPath = readOnly.empty() ? folder + L"\\alarm.ini" : std::wstring(local) + L"\\Tollora\\alarm.ini";
  Program program;
  check(program.start(readOnly.empty() ? folder : readOnly), "a copy starts at 192 dpi");
  HWND main = program.shownMain();
  RECT client{};
  GetClientRect(main, &client);
  check(client.right == 576 && client.bottom == 308, "its window is twice the size", rectText(client));
  HWND box = child(main, L"Edit");
  if (!readOnly.empty()) {
    const std::wstring alarm = clockText(3 * 24 * 3600);
    type(box, alarm);
    check(clickReturns(saveButton(main)) && waitFor([&] { return readFile(iniPath) == ini(alarm); }) && !program.message(),
          "from a read-only folder the alarm is saved in %LOCALAPPDATA%\\Tollora", visible(readFile(iniPath)));
  }
  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_READONLY);
  type(box, clockText(4 * 24 * 3600));
  HWND message = nullptr;
  std::string seen;
  check(clickReturns(saveButton(main)) && waitFor([&] { return (message = program.message()) != nullptr; }) && besideMain(message, main, seen),
        "a failed save's message lands clear of the window at 192 dpi", seen);
  click(message, L"OK");
  SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_NORMAL);
  check(program.close(), "it closes");
  dpi = 96;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: driver <program folder> <request folder> <linked folder> [<read-only folder>]\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // The wide-character path: every file name of the program's own goes through it.
  const std::wstring folder = std::wstring(argv[1]) + L" \u6642\u8a08";
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const wchar_t* file : {L"\\tollora.exe", L"\\beep.wav"}) CopyFileW((argv[1] + std::wstring(file)).c_str(), (folder + file).c_str(), FALSE);
  oneCopy(folder, argv[2]);
  startingAgain(folder, argv[3]);
  highDpi(folder, argc > 4 ? argv[4] : L"");
  std::printf("driver: %d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
