// The alarm file on Windows: whole-file reads, and replacement through a flushed temporary
// file put in place of the old one in one step, so a crash or a full disk never leaves half
// a file.
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "ui/temp_name.h"
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

// A save that was killed half-way leaves its temporary file behind; the next save clears
// those whose process is gone, and nothing else.
void removeStaleTemporaries(const std::u16string& path) {
  const std::u16string folder = path.substr(0, path.find_last_of(u"\\/") + 1);
  const std::u16string file = path.substr(folder.size());
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wide(path + u".tmp-*"), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // The wildcard also matches short (8.3) names and any name that starts the same way: only
    // the exact pattern counts.
    const std::u16string name = fromWide(found.cFileName, wcslen(found.cFileName));
    const auto pid = temporaryOwner<char16_t>(name, file);
    if (!pid) continue;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(*pid));
    DWORD exitCode = 0;
    const bool alive = process && GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    if (process) CloseHandle(process);
    if (!alive) DeleteFileW(wide(folder + name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// The file a path really names. Through a symbolic link (a reparse point) that is the link's
// final target: replacing the link itself would cut it off from the file it stands for.
// Some file systems show a link as a plain file (a Unix symbolic link seen through Wine) yet
// resolve it all the same, so every existing file is asked for its final path; a file system that cannot tell keeps the
// path as named, unless it is a link, which is then left alone rather than replaced.
std::optional<std::u16string> finalPath(const std::u16string& path, DWORD& error) {
  const DWORD attributes = GetFileAttributesW(wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return path;  // nothing there yet
  const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
  // Opening without FILE_FLAG_OPEN_REPARSE_POINT follows the link; a link to nowhere fails.
  OwnedHandle target(CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD n = 0;
  while (target.valid() && (n = GetFinalPathNameByHandleW(target.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS)) >= buffer.size())
    buffer.resize(n + 1);
  if (target.valid() && n > 0) return fromWide(buffer.data(), n);  // "\\?\C:\..."
  if (!link) return path;
  error = GetLastError();
  return std::nullopt;
}

// Puts the new file in place of the old. ReplaceFileW keeps what the user gave the old file:
// its attributes (hidden, say), its permissions, its creation time. Where it cannot (a file
// system without it, a target that vanished in between), a plain rename does the job; the
// temporary was made with the old file's attributes, so they survive that too.
bool putInPlace(const std::u16string& temp, const std::u16string& path, bool exists, DWORD& error) {
  if (exists && ReplaceFileW(wide(path), wide(temp), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                             nullptr, nullptr))
    return true;
  if (MoveFileExW(wide(temp), wide(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  error = GetLastError();
  return false;
}

// How the system knows a file or folder that exists: its volume and its number there, the
// same through every drive letter, linked folder or share that reaches it; `links` gets its
// number of names (hard links).
std::optional<std::string> objectId(const std::u16string& path, DWORD* links = nullptr) {
  OwnedHandle handle(CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &info)) return std::nullopt;
  if (links) *links = info.nNumberOfLinks;
  char text[80];
  // The 128-bit number where the file system has one (ReFS), else the classic pair.
  FILE_ID_INFO id{};
  if (GetFileInformationByHandleEx(handle.get(), FileIdInfo, &id, sizeof id)) {
    int n = std::snprintf(text, sizeof text, "%016llx:", static_cast<unsigned long long>(id.VolumeSerialNumber));
    for (unsigned char b : id.FileId.Identifier) n += std::snprintf(text + n, sizeof text - n, "%02x", b);
    return std::string(text, static_cast<std::size_t>(n));
  }
  std::snprintf(text, sizeof text, "%08lx:%08lx%08lx", info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
  return std::string(text);
}

// A file with other names (hard links) is rewritten where it is, as editors do: a new file in
// its place would leave the other names with the old alarm, and two copies of Tollora with one
// file each (its identity is the file's own).
IoResult rewriteInPlace(const std::u16string& path, const std::string& bytes) {
  OwnedHandle file(CreateFileW(wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file.valid() && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size() && SetEndOfFile(file.get()) && FlushFileBuffers(file.get()) && file.close())
    return {};
  return failure(GetLastError());
}

DWORD makeFolders(const std::u16string& folder) {
  if (GetFileAttributesW(wide(folder)) != INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
  const int made = SHCreateDirectoryExW(nullptr, wide(folder), nullptr);
  return made == ERROR_ALREADY_EXISTS || made == ERROR_FILE_EXISTS ? ERROR_SUCCESS : static_cast<DWORD>(made);
}

}  // namespace

bool Win32Files::makeFolder(const std::u16string& folder) { return makeFolders(folder) == ERROR_SUCCESS; }

std::u16string Win32Files::identity(const std::u16string& named) {
  DWORD error = ERROR_SUCCESS, links = 0;
  std::u16string head = finalPath(named, error).value_or(named), tail;
  // A file with several names is known by its own identity, which its saves keep.
  if (const auto id = objectId(head, &links); id && links > 1) return std::u16string(id->begin(), id->end());
  // The folder's identity and the name, in upper case as NTFS compares names: they stay when
  // a save puts a new file in place. A folder still to be made: the nearest one there is.
  for (;;) {
    const auto slash = head.find_last_of(u"\\/");
    if (slash == std::u16string::npos) return named;
    tail = head.substr(slash) + tail;
    head.resize(slash);
    std::u16string folder = head;
    if (folder.empty() || folder.back() == u':') folder += u'\\';  // a drive root
    if (const auto id = objectId(folder)) {
      std::u16string key(id->begin(), id->end());
      key += tail;
      CharUpperBuffW(reinterpret_cast<wchar_t*>(key.data()), static_cast<DWORD>(key.size()));
      return key;
    }
  }
}

ReadResult Win32Files::read(const std::u16string& path, std::size_t maxBytes) {
  const auto unreadable = [](DWORD error) { return ReadResult{ReadResult::Status::Unreadable, {}, systemMessage(error)}; };
  const DWORD attributes = GetFileAttributesW(wide(path));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return {ReadResult::Status::Unreadable, {}, u"It is a folder, not a file."};
  // Another program may hold the file open without sharing it (an editor saving, a backup or
  // virus scanner): such a hold is usually over in moments, so it is waited out, up to about
  // a second, before the user is told.
  const auto held = [](DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; };
  for (int attempt = 0;; ++attempt) {
    OwnedHandle file(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD error = file.valid() ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    if (file.valid() && GetFileType(file.get()) != FILE_TYPE_DISK)
      return {ReadResult::Status::Unreadable, {}, u"It is not a regular file."};
    ReadResult out{ReadResult::Status::Read, {}, {}};
    char chunk[4096];
    while (error == ERROR_SUCCESS && out.bytes.size() < maxBytes) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof(chunk), maxBytes - out.bytes.size()));
      DWORD got = 0;
      if (!ReadFile(file.get(), chunk, want, &got, nullptr)) error = GetLastError();
      else if (got == 0) break;
      else out.bytes.append(chunk, got);
    }
    if (error == ERROR_SUCCESS) return out;
    if (!held(error) || attempt >= 20) return unreadable(error);
    Sleep(50);
  }
}

IoResult Win32Files::replace(const std::u16string& named, const std::string& bytes) {
  DWORD linkError = ERROR_SUCCESS;
  const auto resolved = finalPath(named, linkError);
  if (!resolved) return failure(linkError);
  // From here on the target: the temporary goes beside it, in its folder and on its volume.
  const std::u16string& path = *resolved;
  // A rename would happily replace a read-only file; the user marked it so to keep it.
  const DWORD attributes = GetFileAttributesW(wide(path));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return failure(ERROR_ACCESS_DENIED);
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  DWORD links = 0;
  if (exists && objectId(path, &links) && links > 1) return rewriteInPlace(path, bytes);
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  const DWORD newAttributes = exists && (attributes & kKept) ? attributes & kKept : FILE_ATTRIBUTE_NORMAL;

  // The user's own settings folder is made by the first save, where the start did not.
  const auto slash = path.find_last_of(u"\\/");
  if (slash != std::u16string::npos && slash > 0) {
    const DWORD made = makeFolders(path.substr(0, slash));
    if (made != ERROR_SUCCESS) return failure(made);
  }

  removeStaleTemporaries(path);
  std::u16string temp;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (unsigned n = 0; n < 100 && created == INVALID_HANDLE_VALUE; ++n) {
    temp = temporaryName<char16_t>(path, GetCurrentProcessId(), n);
    created = CreateFileW(wide(temp), GENERIC_WRITE, 0, nullptr, CREATE_NEW, newAttributes, nullptr);
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
  if (ok && !putInPlace(temp, path, exists, error)) ok = false;
  if (ok) return {};
  DeleteFileW(wide(temp));
  return failure(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
}

bool Win32Files::canCreate(const std::u16string& path) {
  // Deleted by the system when the handle closes, or when this process dies before that. The
  // name is a save's temporary one all the same, in case a file system ignores the flag.
  const std::u16string probe = probeName<char16_t>(path, GetCurrentProcessId());
  HANDLE file = CreateFileW(wide(probe), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool Win32Backend::systemFolder(const std::u16string& folder) {
  // Program Files in both its kinds, and Windows itself.
  std::vector<std::u16string> roots;
  for (const wchar_t* name : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"}) {
    wchar_t value[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    if (n > 0 && n < MAX_PATH) roots.push_back(fromWide(value, n));
  }
  wchar_t windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (n > 0 && n < MAX_PATH) roots.push_back(fromWide(windows, n));
  for (std::u16string root : roots) {
    while (!root.empty() && (root.back() == u'\\' || root.back() == u'/')) root.pop_back();
    if (root.empty() || folder.size() < root.size()) continue;
    const bool same = CompareStringOrdinal(wide(folder), static_cast<int>(root.size()), wide(root), static_cast<int>(root.size()),
                                           TRUE) == CSTR_EQUAL;
    if (same && (folder.size() == root.size() || folder[root.size()] == u'\\' || folder[root.size()] == u'/')) return true;
  }
  return false;
}

}  // namespace ui
