#include "ui/posix/posix_files.h"

#include "ui/temp_name.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace ui {

namespace {

std::u16string reasonOf(int err) { return fromUtf8(std::strerror(err)); }

std::string folderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool writeAll(int fd, const std::string& bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// A save that was killed half-way leaves its temporary file behind; the next save clears
// those whose process is gone, and nothing else.
void removeStaleTemporaries(const std::string& folder, const std::string& path) {
  const std::string file = path.substr(path.find_last_of('/') + 1);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    const auto pid = temporaryOwner<char>(name, file);
    if (pid && ::kill(static_cast<pid_t>(*pid), 0) != 0 && errno == ESRCH) ::unlink((folder + "/" + name).c_str());
  }
  ::closedir(dir);
}

// Why something that is there is no file to read or replace; nothing for a regular file.
std::optional<std::u16string> notAFile(mode_t mode) {
  if (S_ISREG(mode)) return std::nullopt;
  if (S_ISDIR(mode)) return u"It is a folder, not a file.";
  if (S_ISFIFO(mode)) return u"It is a named pipe, not a file.";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return u"It is a device, not a file.";
  if (S_ISSOCK(mode)) return u"It is a socket, not a file.";
  return u"It is not a regular file.";
}

// Whether a symbolic link could have been planted by another user to make this one write (or
// read) a file of theirs: a link in a folder that others may write to (group or world, sticky
// or not) that belongs neither to this user nor to the folder's owner. That is the rule the
// Linux kernel applies to sticky world-writable folders with protected_symlinks, taken to
// every folder where someone else could have put the link.
bool plantedByAnother(const struct stat& link, const std::string& folder) {
  struct stat dir {};
  if (::stat(folder.c_str(), &dir) != 0) return true;
  if (!(dir.st_mode & (S_IWGRP | S_IWOTH))) return false;
  return link.st_uid != ::geteuid() && link.st_uid != dir.st_uid;
}

// The file a path really names: a symbolic link is followed, link by link, to its target,
// which may not exist yet (a dangling link gets its target created). Replacing the link
// itself would cut it off from the file it stands for. A link another user may have planted
// is not followed: nothing, with the reason in `why`.
std::optional<std::string> resolveLinks(std::string path, std::u16string& why) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    if (plantedByAnother(st, folderOf(path))) {
      why = fromUtf8(path) +
            u" is a symbolic link that another user made in a folder others can write to; Tollora does not follow it.";
      return std::nullopt;
    }
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0) {
      why = reasonOf(errno);
      return std::nullopt;
    }
    target.resize(static_cast<std::size_t>(n));
    path = target.starts_with('/') ? target : folderOf(path) + "/" + target;
  }
  why = reasonOf(ELOOP);
  return std::nullopt;
}

// Creates the folder and the missing ones above it, private to the user as the base
// directory rules ask of a settings folder.
bool makeFolders(const std::string& folder) {
  if (folder.empty() || folder == "/" || folder == ".") return true;
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;
    return false;
  }
  if (!makeFolders(folderOf(folder))) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Gives a new file the old one's owner and group. Only root may give a file away; a user
// keeps the group where they belong to it. Where neither is allowed, the file stays the
// saver's, as any new file of theirs would. Whether it kept both.
bool keepOwner(int fd, const struct stat& old) {
  if (old.st_uid == ::geteuid() && old.st_gid == ::getegid()) return true;
  if (::fchown(fd, old.st_uid, old.st_gid) == 0) return true;
  return ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0 && old.st_uid == ::geteuid();
}

IoResult rewriteInPlace(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {false, reasonOf(errno)};
  struct stat st {};
  std::optional<std::u16string> no = ::fstat(fd, &st) != 0 ? reasonOf(errno) : notAFile(st.st_mode);
  // The new text is written over the old before the rest is cut off, so a full disk stops it
  // before anything is lost rather than after.
  if (!no && (!writeAll(fd, bytes) || ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0))
    no = reasonOf(errno);
  if (::close(fd) != 0 && !no) no = reasonOf(errno);
  return no ? IoResult{false, *no} : IoResult{};
}

}  // namespace

bool PosixFileSystem::makeFolder(const std::u16string& folder) { return makeFolders(toUtf8(folder)); }

std::u16string PosixFileSystem::identity(const std::u16string& path16) {
  std::u16string why;
  // The file a link names is the one saved; a link another user planted is not followed
  // there, nor here.
  const std::string path = resolveLinks(toUtf8(path16), why).value_or(toUtf8(path16));
  const auto id = [](const struct stat& st) { return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino); };
  struct stat st {};
  // A file with several names is known by its own identity, which its saves keep.
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 1) return fromUtf8(id(st));
  // Otherwise by its folder's and its name, which stay when a save puts a new file in its
  // place, or when it is made. A folder still to be made: the nearest one there is, and the rest.
  const auto slash = path.find_last_of('/');
  std::string head = folderOf(path), tail = slash == std::string::npos ? path : path.substr(slash + 1);
  while (::stat(head.c_str(), &st) != 0) {
    if (head == "/" || head == ".") return path16;
    const auto up = head.find_last_of('/');
    tail = (up == std::string::npos ? head : head.substr(up + 1)) + "/" + tail;
    head = folderOf(head);
  }
  return fromUtf8(id(st) + "/" + tail);
}

bool PosixFileSystem::canCreate(const std::u16string& path16) {
  const std::string folder = folderOf(toUtf8(path16));
  // An unnamed file never shows up in the folder, and vanishes with its descriptor.
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  // A file system without unnamed files: a named one, called like a save's temporary file,
  // so that the next save clears it should this process die before the unlink.
  const std::string probe = probeName<char>(toUtf8(path16), static_cast<unsigned long>(::getpid()));
  fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

ReadResult PosixFileSystem::read(const std::u16string& path16, std::size_t maxBytes) {
  const auto unreadable = [](std::u16string why) { return ReadResult{ReadResult::Status::Unreadable, {}, std::move(why)}; };
  std::u16string why;
  const auto resolved = resolveLinks(toUtf8(path16), why);
  if (!resolved) return unreadable(why);
  const std::string& path = *resolved;
  // Looked at before it is opened: opening a named pipe would wait for a writer, and opening
  // a device may do something to it.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return unreadable(reasonOf(errno));
  }
  if (auto no = notAFile(st.st_mode)) return unreadable(*no);
  // Non-blocking and not through a link, should the name have been swapped in between.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult{} : unreadable(reasonOf(errno));
  std::optional<std::u16string> no;
  if (::fstat(fd, &st) != 0) no = reasonOf(errno);
  else no = notAFile(st.st_mode);
  if (no) {
    ::close(fd);
    return unreadable(*no);
  }
  ReadResult out{ReadResult::Status::Read, {}, {}};
  char buf[65536];
  while (out.bytes.size() < maxBytes) {
    ssize_t n = ::read(fd, buf, std::min(sizeof buf, maxBytes - out.bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return unreadable(reasonOf(err));
    }
    if (n == 0) break;
    out.bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

IoResult PosixFileSystem::replace(const std::u16string& path16, const std::string& bytes) {
  std::u16string why;
  const auto resolved = resolveLinks(toUtf8(path16), why);
  if (!resolved) return {false, why};
  // From here on the target: the temporary goes beside it, so the rename stays on its file system.
  const std::string& path = *resolved;
  const std::string folder = folderOf(path);

  // A file we may not write to is not ours to replace, even when the folder would allow it.
  if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) return {false, reasonOf(errno)};

  struct stat st {};
  const bool existed = ::stat(path.c_str(), &st) == 0;
  // A folder, a named pipe or a device of that name is not the alarm file to replace.
  if (existed)
    if (auto no = notAFile(st.st_mode)) return {false, *no};
  // A file with other names (hard links) is rewritten where it is, as editors do: a new file
  // in its place would leave the other names with the old alarm, and two copies of Tollora
  // with one file each (its identity is the file's own).
  if (existed && st.st_nlink > 1) return rewriteInPlace(path, bytes);

  // A folder of the user's own settings is made on the first save.
  if (!makeFolders(folder)) return {false, reasonOf(errno)};
  removeStaleTemporaries(folder, path);
  std::random_device rd;
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    tmp = temporaryName<char>(path, static_cast<unsigned long>(::getpid()), rd() % 1000000000u);
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, existed ? 0600 : 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return {false, reasonOf(errno)};

  // The new file keeps the old one's owner, group and mode, as editors do: root saving a
  // user's alarm must not lock the user out of it. The mode after the owner, which clears
  // set-id bits.
  if (existed) {
    keepOwner(fd, st);
    ::fchmod(fd, st.st_mode & 07777);
  }

  if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
    int err = errno;
    ::close(fd);
    ::unlink(tmp.c_str());
    return {false, reasonOf(err)};
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    return {false, reasonOf(err)};
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    return {false, reasonOf(err)};
  }
  // Make the rename itself durable.
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}

std::u16string posixProgramFolder() {
  char buf[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0) return u".";
  std::string exe(buf, static_cast<std::size_t>(n));
  return fromUtf8(folderOf(exe));
}

std::string posixHomeFolder() {
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') home = h;
  else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') home = pw->pw_dir;
  if (home.size() > 1 && home.back() == '/') home.pop_back();
  return home;
}

namespace {

bool within(const std::string& path, const std::string& folder) {
  if (folder.empty() || !path.starts_with(folder)) return false;
  return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

}  // namespace

bool posixSystemFolder(const std::string& folder, const std::string& installBindir) {
  const std::string top = folder.substr(0, folder.find('/', 1));
  for (const char* system : {"/usr", "/bin", "/sbin", "/opt", "/etc", "/var"})
    if (top == system) return true;
  if (top.starts_with("/lib")) return true;
  const std::string home = posixHomeFolder();
  return within(folder, installBindir) && !within(installBindir, home);
}

bool posixSystemFolder(const std::u16string& folder) { return posixSystemFolder(toUtf8(folder), TOLLORA_INSTALL_BINDIR); }

namespace {

// A folder of the base directory rules: $<variable>/tollora, a relative one ignored, else
// <home>/<fallback>/tollora.
std::u16string xdgFolder(const char* variable, const char* fallback) {
  if (const char* set = std::getenv(variable); set && set[0] == '/') return fromUtf8(std::string(set) + "/tollora");
  const std::string home = posixHomeFolder();
  if (home.empty()) return {};
  return fromUtf8((home == "/" ? "" : home) + fallback + "/tollora");
}

}  // namespace

std::u16string posixUserFolder() { return xdgFolder("XDG_CONFIG_HOME", "/.config"); }
std::u16string posixStateFolder() { return xdgFolder("XDG_STATE_HOME", "/.local/state"); }

}  // namespace ui
