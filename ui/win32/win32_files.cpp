// The alarm file on Windows: whole-file reads, and replacement through a flushed temporary
// file renamed over the old one, so a crash or a full disk never leaves half a file.
#include <vector>

#include "ui/win32/win32_backend.h"

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

  const auto slash = path.find_last_of(u"\\/");
  const std::u16string folder = slash == std::u16string::npos ? u"." : path.substr(0, slash + 1);
  wchar_t temp[MAX_PATH];
  // GetTempFileNameW creates the file, which makes the name ours alone.
  if (!GetTempFileNameW(wide(folder), L"tlr", 0, temp)) return failure(GetLastError());

  bool ok = false;
  DWORD error = ERROR_SUCCESS;
  {
    OwnedHandle file(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ok = file.valid() && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && FlushFileBuffers(file.get()) && file.close();
    if (!ok) error = GetLastError();
  }
  if (ok && !MoveFileExW(temp, wide(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    error = GetLastError();
  }
  if (ok) return {};
  DeleteFileW(temp);
  return failure(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
}

}  // namespace ui
