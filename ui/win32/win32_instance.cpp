// One Tollora per alarm file on Windows, and the user's settings folder. A named mutex marks
// the running copy (the kernel drops it with the process, however it ends); a message-only
// window named like it is where a later start knocks.
#include "ui/win32/win32_backend.h"

#include <shlobj.h>

#include <string>
#include <vector>

#include "ui/instance_name.h"

namespace ui {

namespace {

constexpr wchar_t kKnockClass[] = L"TolloraInstance";
// FOLDERID_LocalAppData, spelt out: taking it from libuuid links in that library's whole
// table of GUIDs, some 40 KB.
constexpr GUID kLocalAppData = {0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
// The running copy may have made its mutex a moment ago and have no window yet.
constexpr ULONGLONG kReachWithinMs = 5000;

UINT knockMessage() {
  static const UINT message = RegisterWindowMessageW(L"Tollora.AnotherStart");
  return message;
}

LRESULT CALLBACK knockProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == knockMessage() && message != 0) {
    app().anotherStart();
    return 1;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// One file, one text: the full path, with the long form of every folder that exists (an 8.3
// name and the long one are the same folder), in upper case, as NTFS compares names.
std::wstring canonicalPath(const std::u16string& path) {
  std::vector<wchar_t> full(MAX_PATH);
  DWORD n;
  while ((n = GetFullPathNameW(wide(path), static_cast<DWORD>(full.size()), full.data(), nullptr)) >= full.size())
    full.resize(n + 1);
  std::wstring head(full.data(), n), tail;
  while (!head.empty()) {
    std::vector<wchar_t> longer(MAX_PATH);
    DWORD m;
    while ((m = GetLongPathNameW(head.c_str(), longer.data(), static_cast<DWORD>(longer.size()))) >= longer.size())
      longer.resize(m + 1);
    if (m > 0) {
      head.assign(longer.data(), m);
      break;
    }
    const auto slash = head.find_last_of(L"\\/");
    if (slash == std::wstring::npos) break;
    tail = head.substr(slash) + tail;
    head.resize(slash);
  }
  std::wstring out = head + tail;
  LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, out.data(), static_cast<int>(out.size()), out.data(),
                static_cast<int>(out.size()), nullptr, nullptr, 0);
  return out;
}

std::string utf8(const std::wstring& s) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

bool Win32Backend::claimInstance(const std::u16string& key) {
  const std::string tag = instanceTag(utf8(canonicalPath(key)));
  const std::wstring name = L"Tollora-" + std::wstring(tag.begin(), tag.end());
  const std::wstring mutexName = L"Local\\" + name;
  const ULONGLONG until = GetTickCount64() + kReachWithinMs;
  do {
    instanceMutex_ = CreateMutexW(nullptr, FALSE, mutexName.c_str());
    if (!instanceMutex_) return true;  // cannot tell: better two clocks than none
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof(wc);
      wc.lpfnWndProc = knockProc;
      wc.hInstance = instance_;
      wc.lpszClassName = kKnockClass;
      RegisterClassExW(&wc);
      instanceWindow_ = CreateWindowExW(0, kKnockClass, name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, nullptr);
      return true;
    }
    CloseHandle(instanceMutex_);
    instanceMutex_ = nullptr;
    if (HWND running = FindWindowExW(HWND_MESSAGE, nullptr, kKnockClass, name.c_str())) {
      // This process was started by the user, so it may hand the foreground on.
      DWORD pid = 0;
      GetWindowThreadProcessId(running, &pid);
      AllowSetForegroundWindow(pid);
      DWORD_PTR answer = 0;
      if (SendMessageTimeoutW(running, knockMessage(), 0, 0, SMTO_ABORTIFHUNG, 2000, &answer) && answer == 1) return false;
    }
    // Not knockable yet, or on its way out: then the mutex is gone on the next round.
    Sleep(50);
  } while (GetTickCount64() < until);
  return false;
}

std::u16string Win32Backend::userFolder() {
  PWSTR local = nullptr;
  std::u16string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(kLocalAppData, KF_FLAG_DEFAULT, nullptr, &local)) && local && *local)
    folder = fromWide(local, wcslen(local)) + u"\\Tollora";
  CoTaskMemFree(local);
  return folder;
}

}  // namespace ui
