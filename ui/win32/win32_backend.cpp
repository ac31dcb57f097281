#include "ui/win32/win32_backend.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

#include "ui/win32/resource.h"
#include "ui/win32/win32_access.h"

namespace ui {

namespace {

// Holds one COM interface and releases it.
template <class T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T** put() { return &p_; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }

 private:
  T* p_ = nullptr;
};

int CALLBACK noteFontFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool fontFamilyInstalled(const wchar_t* face) {
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(query.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &query, noteFontFamily, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// Decodes a JPEG resource with Windows' own codecs into a top-down 32-bit DIB section.
HBITMAP decodeResourceImage(HINSTANCE instance, int id) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return nullptr;
  auto* data = static_cast<BYTE*>(LockResource(LoadResource(instance, found)));
  const DWORD size = SizeofResource(instance, found);
  Com<IWICImagingFactory> factory;
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  Com<IWICFormatConverter> converter;
  UINT width = 0, height = 0;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(factory.put()))) ||
      FAILED(factory->CreateStream(stream.put())) || FAILED(stream->InitializeFromMemory(data, size)) ||
      FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put())) || FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&width, &height))) {
    return nullptr;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as WIC copies rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  const UINT stride = width * 4;
  if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

std::u16string localeText(LCTYPE type, const char16_t* fallback) {
  wchar_t buffer[32];
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 32);
  if (n <= 1) return fallback;
  return fromWide(buffer, static_cast<std::size_t>(n - 1));
}

}  // namespace

std::u16string systemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string out = n ? fromWide(text, n) : u"Error " + fromUtf8(std::to_string(error));
  LocalFree(text);
  while (!out.empty() && (out.back() == u'\r' || out.back() == u'\n' || out.back() == u' ')) out.pop_back();
  return out;
}

Win32Backend::Win32Backend(HINSTANCE instance) : instance_(instance) {
  comReady_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  // No timeBeginPeriod(1) for the program's life: on many Windows versions that raises the
  // whole system's timer rate and costs laptops their battery. The clock is exact anyway: its
  // timer is aimed at the second's boundary on a high-resolution waitable timer.

  bigIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_CLOCK), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_CLOCK), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  handCursor_ = static_cast<HCURSOR>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_HAND_CURSOR), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  microsoftSansSerif_ = fontFamilyInstalled(L"Microsoft Sans Serif");

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = formWindowProc;
  wc.hInstance = instance;
  wc.hIcon = bigIcon_;
  wc.hIconSm = smallIcon_;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"TolloraForm";
  formClass_ = RegisterClassExW(&wc);
}

Win32Backend::~Win32Backend() {
  if (instanceWindow_) DestroyWindow(instanceWindow_);
  if (instanceMutex_) CloseHandle(instanceMutex_);
  for (auto& [image, bitmap] : pictures_)
    if (bitmap) DeleteObject(bitmap);
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [color, brush] : brushes_) DeleteObject(brush);
  UnregisterClassW(MAKEINTATOM(formClass_), instance_);
  if (bigIcon_) DestroyIcon(bigIcon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
  if (handCursor_) DestroyCursor(handCursor_);
  for (HANDLE h : waits_) CloseHandle(h);
  if (comReady_) CoUninitialize();
}

int Win32Backend::run() {
  MSG msg;
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      // Tab and Shift+Tab between controls, as in a dialog, for every window of ours.
      HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
      if (root && GetClassLongPtrW(root, GCW_ATOM) == formClass_ && IsDialogMessageW(root, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    // Asleep until a message or one of the precise timers: nothing polls.
    const DWORD n = static_cast<DWORD>(waits_.size());
    const DWORD r = MsgWaitForMultipleObjectsEx(n, waits_.data(), INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + n) {
      // A copy: the call may close its own timer, or others.
      const auto call = waitCalls_[r - WAIT_OBJECT_0];
      call();
    }
  }
}

// Windows 10 1803 and later; older MinGW headers do not name it yet.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

HANDLE Win32Backend::createPreciseTimer(std::function<void()> fired) {
  // A synchronization timer: a satisfied wait resets it.
  HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  if (!timer) timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  // MsgWaitForMultipleObjects takes at most MAXIMUM_WAIT_OBJECTS - 1 handles.
  if (!timer || waits_.size() + 1 >= MAXIMUM_WAIT_OBJECTS) {
    if (timer) CloseHandle(timer);
    return nullptr;
  }
  waits_.push_back(timer);
  waitCalls_.push_back(std::move(fired));
  return timer;
}

void Win32Backend::closePreciseTimer(HANDLE timer) {
  const auto it = std::find(waits_.begin(), waits_.end(), timer);
  if (it == waits_.end()) return;
  waitCalls_.erase(waitCalls_.begin() + (it - waits_.begin()));
  waits_.erase(it);
  CloseHandle(timer);
}

LocalTime Win32Backend::now() {
  // The precise clock, not GetLocalTime: the second-aligned timer is armed from it, and the
  // coarse clock can still show the previous second a moment after the boundary.
  FILETIME utc, local;
  GetSystemTimePreciseAsFileTime(&utc);
  FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME t;
  FileTimeToSystemTime(&local, &t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

namespace {
// FILETIME counts 100 ns from 1601; the layer counts milliseconds from 1970.
constexpr std::int64_t kUnixEpochMs = 11644473600000LL;
std::int64_t unixMs(const FILETIME& ft) {
  return static_cast<std::int64_t>(((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000) - kUnixEpochMs;
}
}  // namespace

std::int64_t Win32Backend::utcMs() {
  FILETIME ft;
  GetSystemTimePreciseAsFileTime(&ft);
  return unixMs(ft);
}

std::int64_t Win32Backend::utcOffsetMs(std::int64_t utcMs) {
  // The zone's rules for that instant's year (they change from year to year), not the bias in
  // force today as FileTimeToLocalFileTime would take. (Not every system has the ...Ex
  // conversion.)
  const auto ticks = static_cast<ULONGLONG>(utcMs + kUnixEpochMs) * 10000;
  const FILETIME utcFile{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  TIME_ZONE_INFORMATION zone;
  SYSTEMTIME utc, local;
  FILETIME localFile;
  // Outside what the system can convert: the offset in force now, as good a guess as any for
  // a moment that far off.
  if (!FileTimeToSystemTime(&utcFile, &utc) || !GetTimeZoneInformationForYear(utc.wYear, nullptr, &zone) ||
      !SystemTimeToTzSpecificLocalTime(&zone, &utc, &local) || !SystemTimeToFileTime(&local, &localFile)) {
    FileTimeToLocalFileTime(&utcFile, &localFile);
  }
  return unixMs(localFile) - utcMs;
}

RegionalSettings Win32Backend::regional() {
  return {localeText(LOCALE_SDATE, u"/"), localeText(LOCALE_STIME, u":"), localeText(LOCALE_S1159, u"AM"),
          localeText(LOCALE_S2359, u"PM")};
}

namespace {
SYSTEMTIME systemTime(const LocalTime& t) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  return st;
}
}  // namespace

// The user's own formats; the day of the week is worked out from the date.
std::u16string Win32Backend::longDate(const LocalTime& t) {
  const SYSTEMTIME st = systemTime(t);
  wchar_t buffer[128];
  const int n = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_LONGDATE, &st, nullptr, buffer, 128, nullptr);
  return n > 1 ? fromWide(buffer, static_cast<std::size_t>(n - 1)) : std::u16string();
}

std::u16string Win32Backend::shortTime(const LocalTime& t) {
  const SYSTEMTIME st = systemTime(t);
  wchar_t buffer[64];
  const int n = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, buffer, 64);
  return n > 1 ? fromWide(buffer, static_cast<std::size_t>(n - 1)) : std::u16string();
}

void Win32Backend::requestAttention(Handle window) {
  // The taskbar button flashes until the window comes to the foreground, which Windows does
  // not grant a program the user is not working with.
  FLASHWINFO flash{sizeof flash, reinterpret_cast<HWND>(window), FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
  FlashWindowEx(&flash);
}

Rect Win32Backend::workArea(Handle window) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& r = monitor.rcWork;
  const int dpi = static_cast<int>(hwnd ? GetDpiForWindow(hwnd) : GetDpiForSystem());
  auto twips = [dpi](int px) { return MulDiv(px, 1440, dpi); };
  return {twips(r.left), twips(r.top), twips(r.right - r.left), twips(r.bottom - r.top)};
}

namespace {
// Whether a file looks like a WAV file a device could play: PlaySound with SND_ASYNC reports
// success before it has read the file, so a damaged one would fail unheard.
bool playableWave(const std::u16string& path) {
  if (waveOutGetNumDevs() == 0) return false;
  HANDLE file = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char head[12] = {};
  DWORD got = 0;
  const bool read = ReadFile(file, head, sizeof head, &got, nullptr) && got == sizeof head;
  CloseHandle(file);
  return read && std::equal(head, head + 4, "RIFF") && std::equal(head + 8, head + 12, "WAVE");
}
}  // namespace

void Win32Backend::playSound(const std::u16string& path) {
  // A file that cannot play (missing, damaged, no sound device) gives the system's default
  // sound instead, and where that cannot play either, MessageBeep beeps the speaker.
  if (!playableWave(path) || !PlaySoundW(wide(path), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT)) MessageBeep(MB_OK);
}

void Win32Backend::playDefaultSound() {
  // A name that is no file plays the default sound, as it always has.
  PlaySoundW(wide(programFolder()), nullptr, SND_ASYNC | SND_FILENAME);
}

namespace {
// The icon's one record, for adding it as for removing it.
NOTIFYICONDATAW iconRecord(const TrayIcon& icon) {
  NOTIFYICONDATAW n{};
  n.cbSize = sizeof(n);
  n.hWnd = reinterpret_cast<HWND>(icon.hWnd);
  n.uID = static_cast<UINT>(icon.uID);
  n.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  n.uCallbackMessage = kTrayCallbackMessage;
  n.hIcon = reinterpret_cast<HICON>(icon.hIcon);
  const std::size_t tip = std::min(icon.tip.size(), std::size(n.szTip) - 1);
  for (std::size_t i = 0; i < tip; ++i) n.szTip[i] = static_cast<wchar_t>(icon.tip[i]);
  return n;
}
}  // namespace

bool Win32Backend::trayShow(const TrayIcon& icon) {
  tray_ = iconRecord(icon);
  // Already there (asked again, or put back after Explorer restarted): NIM_ADD fails then.
  return Shell_NotifyIconW(NIM_ADD, &*tray_) || Shell_NotifyIconW(NIM_MODIFY, &*tray_);
}

void Win32Backend::trayHide(const TrayIcon& icon) {
  NOTIFYICONDATAW n = iconRecord(icon);
  Shell_NotifyIconW(NIM_DELETE, &n);
  tray_.reset();
}

bool Win32Backend::trayNotify(const std::u16string& title, const std::u16string& text) {
  if (!tray_) return false;
  // A balloon from the icon; the icon's record itself stays as it was.
  NOTIFYICONDATAW n = *tray_;
  n.uFlags = NIF_INFO;
  n.dwInfoFlags = NIIF_INFO;
  const auto copy = [](wchar_t* to, std::size_t room, const std::u16string& from) {
    const std::size_t n = std::min(from.size(), room - 1);
    for (std::size_t i = 0; i < n; ++i) to[i] = static_cast<wchar_t>(from[i]);
    to[n] = L'\0';
  };
  copy(n.szInfoTitle, std::size(n.szInfoTitle), title);
  copy(n.szInfo, std::size(n.szInfo), text);
  // Fails when the icon is gone: Explorer ended and nobody said so.
  return Shell_NotifyIconW(NIM_MODIFY, &n) != FALSE;
}

std::optional<bool> Win32Backend::readdTrayIcon(HWND window) {
  if (!tray_ || tray_->hWnd != window) return std::nullopt;
  return Shell_NotifyIconW(NIM_ADD, &*tray_) || Shell_NotifyIconW(NIM_MODIFY, &*tray_);
}

void Win32Backend::openUrl(const std::u16string& address) {
  // Explorer hands the address to the user's browser; started minimised, it shows no window
  // of its own. CreateProcessW writes into the line.
  std::wstring line = L"explorer.exe \"" + std::wstring(wide(address)) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

std::u16string Win32Backend::programFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD n;
  while ((n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) >= buffer.size())
    buffer.resize(buffer.size() * 2);
  std::u16string path = fromWide(buffer.data(), n);
  const auto slash = path.find_last_of(u"\\/");
  if (slash == std::u16string::npos) return path;
  path.resize(slash);
  if (path.size() == 2 && path[1] == u':') path += u'\\';  // a drive root keeps its backslash
  return path;
}

void Win32Backend::announce(const std::u16string& text) { ui::announce(text, instance_); }

std::optional<std::string> Win32Backend::toCodePage(const std::u16string& text) {
  if (text.empty()) return std::string();
  const auto* src = reinterpret_cast<const wchar_t*>(text.data());
  const int len = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, src, len, nullptr, 0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, src, len, out.data(), n, nullptr, &usedDefault);
  if (usedDefault) return std::nullopt;
  return out;
}

std::u16string Win32Backend::fromCodePage(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int len = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), len, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), len, out.data(), n);
  return fromWide(out.data(), out.size());
}

HBITMAP Win32Backend::picture(Image image) {
  auto it = pictures_.find(image);
  if (it != pictures_.end()) return it->second;
  const int id = image == Image::MainBackdrop ? IDR_MAIN_BACKDROP : image == Image::DialogBackdrop ? IDR_DIALOG_BACKDROP : 0;
  HBITMAP bitmap = id ? decodeResourceImage(instance_, id) : nullptr;
  pictures_.emplace(image, bitmap);
  return bitmap;
}

HFONT Win32Backend::font(const Font& f, UINT dpi) {
  // MS Sans Serif is a bitmap font with a few fixed sizes: it would not follow the DPI.
  std::u16string face = f.name;
  if (face == u"MS Sans Serif" && microsoftSansSerif_) face = u"Microsoft Sans Serif";
  const int height = -static_cast<int>(std::lround(f.points * static_cast<float>(dpi) / 72.0f));
  auto key = std::make_tuple(face, height, f.bold);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  HFONT font = CreateFontW(height, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           wide(face));
  fonts_.emplace(std::move(key), font);
  return font;
}

COLORREF Win32Backend::resolve(Color color) {
  return isSystemColor(color) ? GetSysColor(systemColorIndex(color)) : static_cast<COLORREF>(color);
}

HBRUSH Win32Backend::brush(Color color) {
  if (isSystemColor(color)) return GetSysColorBrush(systemColorIndex(color));
  auto it = brushes_.find(color);
  if (it != brushes_.end()) return it->second;
  HBRUSH b = CreateSolidBrush(color);
  brushes_.emplace(color, b);
  return b;
}

}  // namespace ui
