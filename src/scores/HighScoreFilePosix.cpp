#include "scores/HighScoreFile.h"

#include "files/RegularFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zanthorix {

std::string InOutErrorText(int error) {
  switch (error) {
  case ENOENT:
    return "File not found";
  case ENOTDIR:
  case ENAMETOOLONG:
    return "Invalid filename";
  case EMFILE:
  case ENFILE:
    return "Too many open files";
  case EACCES:
  case EPERM:
  case EROFS:
    return "File access denied";
  case ENOSPC:
  case EDQUOT:
    return "Disk full";
  default:
    return "I/O error " + std::to_string(error);
  }
}

namespace {

class PosixInput : public ScoreFileSystem::Input {
public:
  explicit PosixInput(int fd) : fd_(fd) {}
  ~PosixInput() override { ::close(fd_); }

  std::size_t Read(void *data, std::size_t size, int &error) override {
    return Whole(size, error, [&](std::size_t done) {
      return ::read(fd_, static_cast<char *>(data) + done, size - done);
    });
  }

private:
  int fd_;
};

class PosixOutput : public ScoreFileSystem::Output {
public:
  PosixOutput(int fd, bool inPlace) : fd_(fd), inPlace_(inPlace) {}
  ~PosixOutput() override {
    if (fd_ >= 0) ::close(fd_);
  }

  std::size_t Write(const void *data, std::size_t size, int &error) override {
    const std::size_t done = Whole(size, error, [&](std::size_t at) {
      return ::write(fd_, static_cast<const char *>(data) + at, size - at);
    });
    written_ += done;
    return done;
  }

  int Finish() override {
    int error = 0;
    // Written over in place: whatever the old file held past the new end goes.
    if (inPlace_ && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0) error = errno;
    if (::fsync(fd_) != 0 && errno != EINVAL && error == 0) error = errno;
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
    return error;
  }

private:
  int fd_;
  bool inPlace_;
  std::size_t written_ = 0;
};

std::string FolderOf(const std::string &path) { return path.substr(0, path.rfind('/') + 1); }

// Temporary files of this file whose process no longer runs: a save killed
// between creating and renaming its copy.
void RemoveLeftovers(const std::string &path) {
  const std::string folder = FolderOf(path);
  const std::string prefix = path.substr(folder.size()) + ".new";
  DIR *dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  while (const dirent *entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
      ::unlinkat(::dirfd(dir), name.c_str(), 0);
  }
  ::closedir(dir);
}

} // namespace

std::unique_ptr<ScoreFileSystem::Input> SystemScoreFileSystem::OpenRead(const std::string &path,
                                                                        int &error) {
  const int fd = OpenRegular(path, O_RDONLY, error);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixInput>(fd);
}

ScoreFileSystem::Access SystemScoreFileSystem::Probe(const std::string &path) {
  // A device or a FIFO is never opened at all.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? Access::Missing : Access::Refused;
  if (!S_ISREG(info.st_mode)) return Access::Refused;
  int error = 0;
  const int fd = OpenRegular(path, O_RDWR, error);
  if (fd < 0) return error == ENOENT ? Access::Missing : Access::Refused;
  ::close(fd);
  return Access::ReadWrite;
}

bool SystemScoreFileSystem::CanCreateIn(const std::string &folder) {
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string SystemScoreFileSystem::UserFolder() {
  std::string base;
  const char *data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') {
    base = data;
  } else {
    const char *home = std::getenv("HOME");
    if (!home || home[0] != '/') {
      const passwd *user = ::getpwuid(::getuid());
      home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return {};
    base = std::string(home) + "/.local/share";
  }
  return base + "/Mirrowdale/Zanthorix/";
}

int SystemScoreFileSystem::MakeFolder(const std::string &folder) {
  for (std::size_t at = folder.find('/', 1); at != std::string::npos;
       at = folder.find('/', at + 1)) {
    // Private, as a folder of the player's own data is made.
    if (::mkdir(folder.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

std::string SystemScoreFileSystem::Target(const std::string &path) {
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    char link[4096];
    const ssize_t length = ::readlink(target.c_str(), link, sizeof link - 1);
    if (length <= 0) break;
    const std::string to(link, static_cast<std::size_t>(length));
    target = to[0] == '/' ? to : FolderOf(target) + to;
  }
  return target;
}

std::unique_ptr<ScoreFileSystem::Output>
SystemScoreFileSystem::CreateBeside(const std::string &path, std::string &tempPath, int &error) {
  RemoveLeftovers(path);
  tempPath = path + ".new" + std::to_string(::getpid());
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  int fd = ::open(tempPath.c_str(), flags, 0666);
  if (fd < 0 && errno == EEXIST) {
    // Left over from an earlier run that had the same process number.
    ::unlink(tempPath.c_str());
    fd = ::open(tempPath.c_str(), flags, 0666);
  }
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  error = 0;
  return std::make_unique<PosixOutput>(fd, false);
}

std::unique_ptr<ScoreFileSystem::Output> SystemScoreFileSystem::OpenInPlace(const std::string &path,
                                                                            int &error) {
  const int fd = OpenRegular(path, O_WRONLY, error);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixOutput>(fd, true);
}

int SystemScoreFileSystem::Rename(const std::string &from, const std::string &to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void SystemScoreFileSystem::Remove(const std::string &path) { ::unlink(path.c_str()); }

} // namespace zanthorix
