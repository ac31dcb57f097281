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

// The TOKEN_USER of a process (closed afterwards when `close`); empty when it cannot be read.
std::vector<BYTE> tokenUser(HANDLE process, bool close = false) {
  std::vector<BYTE> user;
  HANDLE token = nullptr;
  if (process && OpenProcessToken(process, TOKEN_QUERY, &token)) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.resize(size);
    if (!size || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) user.clear();
    CloseHandle(token);
  }
  if (process && close) CloseHandle(process);
  return user;
}

// Named from the alarm file's identity and the user: Local\ names are the session's, and
// someone else running things in it (another account's program) does not share the user's copies.
std::wstring instanceName(const std::u16string& key) {
  std::string tag = instanceTag(toUtf8(key));
  const std::vector<BYTE> user = tokenUser(GetCurrentProcess());
  if (!user.empty()) {
    const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    tag += "-" + instanceTag(std::string_view(static_cast<const char*>(sid), GetLengthSid(sid)));
  }
  return L"Tollora-" + std::wstring(tag.begin(), tag.end());
}

}  // namespace

Backend::InstanceLock Win32Backend::tryLockInstance(const std::u16string& key) {
  const std::wstring name = instanceName(key);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
  // Denied: a mutex of that name made by someone who keeps us out, so it holds the name as a
  // copy would, and never answers. Another error: the name is taken by another kind of object.
  if (!mutex) return GetLastError() == ERROR_ACCESS_DENIED ? InstanceLock::Busy : InstanceLock::Unavailable;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return InstanceLock::Busy;
  }
  instanceMutex_ = mutex;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = knockProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kKnockClass;
  RegisterClassExW(&wc);
  instanceWindow_ = CreateWindowExW(0, kKnockClass, name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, nullptr);
  return InstanceLock::Held;
}

bool Win32Backend::knockInstance(const std::u16string& key, int timeoutMs) {
  HWND running = FindWindowExW(HWND_MESSAGE, nullptr, kKnockClass, instanceName(key).c_str());
  if (!running) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(running, &pid);
  const std::vector<BYTE> ours = tokenUser(GetCurrentProcess());
  const std::vector<BYTE> theirs = tokenUser(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid), true);
  if (ours.empty() || theirs.empty() ||
      !EqualSid(reinterpret_cast<const TOKEN_USER*>(ours.data())->User.Sid, reinterpret_cast<const TOKEN_USER*>(theirs.data())->User.Sid))
    return false;
  // This process was started by the user, so it may hand the foreground on.
  AllowSetForegroundWindow(pid);
  DWORD_PTR answer = 0;
  return SendMessageTimeoutW(running, knockMessage(), 0, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs), &answer) &&
         answer == 1;
}

void Win32Backend::pauseMs(int ms) { Sleep(static_cast<DWORD>(ms)); }

std::u16string Win32Backend::userFolder() {
  PWSTR local = nullptr;
  std::u16string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(kLocalAppData, KF_FLAG_DEFAULT, nullptr, &local)) && local && *local)
    folder = fromWide(local, wcslen(local)) + u"\\Tollora";
  CoTaskMemFree(local);
  return folder;
}

}  // namespace ui
