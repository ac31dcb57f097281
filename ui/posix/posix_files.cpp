#include "ui/posix/posix_files.h"

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
// the ones whose process is gone. Names are "<file>.tmp-<pid>-<n>".
void removeStaleTemporaries(const std::string& folder, const std::string& path) {
  const std::string prefix = path.substr(path.find_last_of('/') + 1) + ".tmp-";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) {
      ::unlink((folder + "/" + name).c_str());
    }
  }
  ::closedir(dir);
}

// The file a path really names: a symbolic link is followed, link by link, to its target,
// which may not exist yet (a dangling link gets its target created). Replacing the link
// itself would cut it off from the file it stands for.
std::optional<std::string> resolveLinks(std::string path, int& err) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0) {
      err = errno;
      return std::nullopt;
    }
    target.resize(static_cast<std::size_t>(n));
    path = target.starts_with('/') ? target : folderOf(path) + "/" + target;
  }
  err = ELOOP;
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

}  // namespace

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
  const std::string probe = toUtf8(path16) + ".tmp-" + std::to_string(::getpid()) + "-probe";
  fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::optional<std::string> PosixFileSystem::read(const std::u16string& path, std::size_t maxBytes) {
  int fd = ::open(toUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string out;
  char buf[65536];
  while (out.size() < maxBytes) {
    ssize_t n = ::read(fd, buf, std::min(sizeof buf, maxBytes - out.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

IoResult PosixFileSystem::replace(const std::u16string& path16, const std::string& bytes) {
  int linkError = 0;
  const auto resolved = resolveLinks(toUtf8(path16), linkError);
  if (!resolved) return {false, reasonOf(linkError)};
  // From here on the target: the temporary goes beside it, so the rename stays on its file system.
  const std::string& path = *resolved;
  const std::string folder = folderOf(path);

  // A file we may not write to is not ours to replace, even when the folder would allow it.
  if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) return {false, reasonOf(errno)};

  mode_t mode = 0644;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;

  // A folder of the user's own settings is made on the first save.
  if (!makeFolders(folder)) return {false, reasonOf(errno)};
  removeStaleTemporaries(folder, path);
  std::random_device rd;
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    tmp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(rd() % 1000000000u);
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return {false, reasonOf(errno)};

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

std::u16string posixUserFolder() {
  // The base directory rules: a relative $XDG_CONFIG_HOME is to be ignored.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
    return fromUtf8(std::string(config) + "/tollora");
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') home = h;
  else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') home = pw->pw_dir;
  if (home.empty()) return {};
  if (home.size() > 1 && home.back() == '/') home.pop_back();
  return fromUtf8(home + "/.config/tollora");
}

std::string posixCanonicalPath(const std::string& path) {
  // Resolves the longest part that exists and keeps the rest as written: the settings folder
  // may not exist before the first save, and the key must not change when it appears.
  std::string head = path, tail;
  for (;;) {
    if (char* real = ::realpath(head.c_str(), nullptr)) {
      std::string out = real;
      std::free(real);
      if (tail.empty()) return out;
      return out == "/" ? out + tail : out + "/" + tail;
    }
    const auto slash = head.find_last_of('/');
    if (slash == std::string::npos) return path;  // relative and nothing of it exists
    const std::string name = head.substr(slash + 1);
    tail = tail.empty() ? name : name + "/" + tail;
    head = slash == 0 ? "/" : head.substr(0, slash);
  }
}

}  // namespace ui
