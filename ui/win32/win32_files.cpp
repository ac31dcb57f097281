// The alarm file on Windows: whole-file reads, and replacement through a flushed temporary
// file renamed over the old one, so a crash or a full disk never leaves half a file.
#include <cwchar>
#include <string>
#include <vector>

#include "ui/win32/win32_backend.h"

#include <shlobj.h>

namespace ui {

namespace {

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE h) : h_(h) {}
  ~OwnedHandle() { close(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  bool close() {
    const bool ok = !valid() || CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE h_;
};

IoResult failure(DWORD error) { return {false, systemMessage(error)}; }

// A save that was killed half-way leaves its temporary file behind; the next save clears the
// ones whose process is gone. Names are "<file>.tmp-<pid>-<n>".
void removeStaleTemporaries(const std::u16string& path) {
  const std::u16string prefix = path + u".tmp-";
  const std::u16string folder = path.substr(0, path.find_last_of(u"\\/") + 1);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wide(prefix + u"*"), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  const std::size_t nameAt = prefix.size() - folder.size();
  do {
    const std::u16string name = fromWide(found.cFileName, wcslen(found.cFileName));
    const DWORD pid = static_cast<DWORD>(std::wcstoul(reinterpret_cast<const wchar_t*>(name.c_str()) + nameAt, nullptr, 10));
    HANDLE process = pid ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid) : nullptr;
    DWORD exitCode = 0;
    const bool alive = process && GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    if (process) CloseHandle(process);
    if (!alive) DeleteFileW(wide(folder + name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

std::optional<std::string> Win32Files::read(const std::u16string& path, std::size_t maxBytes) {
  OwnedHandle file(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  while (bytes.size() < maxBytes) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof(chunk), maxBytes - bytes.size()));
    DWORD got = 0;
    if (!ReadFile(file.get(), chunk, want, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    bytes.append(chunk, got);
  }
  return bytes;
}

IoResult Win32Files::replace(const std::u16string& path, const std::string& bytes) {
  // MoveFileEx would happily replace a read-only file; the user marked it so to keep it.
  const DWORD attributes = GetFileAttributesW(wide(path));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return failure(ERROR_ACCESS_DENIED);

  // The user's own settings folder is made by the first save.
  const auto slash = path.find_last_of(u"\\/");
  if (slash != std::u16string::npos && slash > 0) {
    const std::u16string folder = path.substr(0, slash);
    if (GetFileAttributesW(wide(folder)) == INVALID_FILE_ATTRIBUTES) {
      const int made = SHCreateDirectoryExW(nullptr, wide(folder), nullptr);
      if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) return failure(static_cast<DWORD>(made));
    }
  }

  removeStaleTemporaries(path);
  std::u16string temp;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (unsigned n = 0; n < 100 && created == INVALID_HANDLE_VALUE; ++n) {
    temp = path + u".tmp-" + ui::fromUtf8(std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n));
    created = CreateFileW(wide(temp), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return failure(GetLastError());
  }
  if (created == INVALID_HANDLE_VALUE) return failure(ERROR_FILE_EXISTS);

  bool ok = false;
  DWORD error = ERROR_SUCCESS;
  {
    OwnedHandle file(created);
    DWORD written = 0;
    ok = file.valid() && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && FlushFileBuffers(file.get()) && file.close();
    if (!ok) error = GetLastError();
  }
  if (ok && !MoveFileExW(wide(temp), wide(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    error = GetLastError();
  }
  if (ok) return {};
  DeleteFileW(wide(temp));
  return failure(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
}

bool Win32Files::canCreate(const std::u16string& path) {
  // Deleted by the system when the handle closes, or when this process dies before that. The
  // name is a save's temporary one all the same, in case a file system ignores the flag.
  const std::u16string probe = path + u".tmp-" + ui::fromUtf8(std::to_string(GetCurrentProcessId())) + u"-probe";
  HANDLE file = CreateFileW(wide(probe), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace ui
