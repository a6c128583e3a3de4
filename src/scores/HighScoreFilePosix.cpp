// SPDX-License-Identifier: GPL-3.0-or-later
#include "scores/HighScoreFile.h"

#include "files/RegularFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace zanthorix {

const int AccessDenied = EACCES;
const int Busy = EWOULDBLOCK;
const int DiskFull = ENOSPC;
const char PathSeparators[] = "/";

unsigned long ThisProcess() { return static_cast<unsigned long>(::getpid()); }

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
  case EFBIG: // beyond the file-size limit
    return "Disk full";
  default:
    return "I/O error " + std::to_string(error);
  }
}

namespace {

// Another game may be writing the shared file in place: a reader waits for
// the whole table, a writer for the readers. Anyone who may read the file
// can hold a lock on it for ever, so a whole run waits about a second in
// all; after that a lock is only tried. Whether the lock was had.
bool Lock(int fd, int operation) {
  static std::atomic<int> pausesLeft = 100;
  while (true) {
    if (::flock(fd, operation | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || pausesLeft.fetch_sub(1) <= 0) return false;
    const timespec pause{0, 10'000'000};
    ::nanosleep(&pause, nullptr);
  }
}

// Root saving in someone else's folder (su without -, a player's home): what
// it makes there belongs to that folder's owner, as the player's own would.
void GiveToFolderOwner(int fd, const std::string &path) {
  if (::geteuid() != 0) return;
  struct stat folder {};
  const std::string name = FolderOf(path);
  if (::stat(name.empty() ? "." : name.c_str(), &folder) != 0 || folder.st_uid == 0) return;
  const int changed = fd >= 0 ? ::fchown(fd, folder.st_uid, folder.st_gid)
                              : ::lchown(path.c_str(), folder.st_uid, folder.st_gid);
  if (changed != 0) return; // at worst it stays root's, as before
}

class PosixInput : public ScoreFileSystem::Input {
public:
  // Without the lock in time, the file is read as it is.
  explicit PosixInput(int fd) : fd_(fd) { Lock(fd_, LOCK_SH); }
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

  int Reserve(std::size_t size) override {
    // The file-size limit counts from the start of the file, even where the
    // file is already that long.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < size)
      return EFBIG;
    // Space is taken without growing the file; a file system that cannot do
    // so is written without.
    if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) return 0;
    return errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? errno : 0;
  }

  void PutBack(const std::string &old, bool whole) override {
    const std::size_t back = std::min(written_, old.size());
    int error = 0;
    Whole(back, error, [&](std::size_t at) {
      return ::pwrite(fd_, old.data() + at, back - at, static_cast<off_t>(at));
    });
    if (error == 0 && whole && written_ > old.size() &&
        ::ftruncate(fd_, static_cast<off_t>(old.size())) != 0) {
      // Only zeros past the old end could remain; the table is whole.
    }
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

// What killed saves of the file left beside it (IsLeftover).
void RemoveLeftovers(const std::string &path) {
  const std::string folder = FolderOf(path);
  DIR *dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  while (const dirent *entry = ::readdir(dir)) {
    SaveCopy copy;
    copy.process = SaveCopyProcess(path, entry->d_name);
    if (copy.process == 0) continue;
    copy.running = ::kill(static_cast<pid_t>(copy.process), 0) == 0 || errno != ESRCH;
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    copy.regular = S_ISREG(info.st_mode);
    copy.ours = info.st_uid == ::geteuid();
    copy.size = static_cast<std::uint64_t>(info.st_size);
    if (IsLeftover(copy)) ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

} // namespace

std::unique_ptr<ScoreFileSystem::Input> SystemScoreFileSystem::OpenRead(const std::string &path,
                                                                        int &error) {
  if (Target(path).empty()) {
    error = EACCES;
    return nullptr;
  }
  const int fd = OpenRegular(path, O_RDONLY, error);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixInput>(fd);
}

ScoreFileSystem::Access SystemScoreFileSystem::Probe(const std::string &path) {
  if (Target(path).empty()) return Access::Refused;
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
    const std::string made = folder.substr(0, at);
    if (::mkdir(made.c_str(), 0700) == 0)
      GiveToFolderOwner(-1, made);
    else if (errno != EEXIST)
      return errno;
  }
  return 0;
}

std::string SystemScoreFileSystem::Target(const std::string &path) {
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    // As the kernel guards /tmp, but for any folder that others may write
    // (a game folder shared by a group, sticky or not): a link there that
    // neither we nor the folder's owner made is not followed, or another
    // player could aim the load and the save at any of this player's files.
    struct stat folder {};
    const std::string name = FolderOf(target);
    if (::stat(name.empty() ? "." : name.c_str(), &folder) != 0) return {};
    if ((folder.st_mode & (S_IWGRP | S_IWOTH)) && info.st_uid != ::geteuid() &&
        info.st_uid != folder.st_uid)
      return {};
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
  tempPath = SaveCopyOf(path);
  const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) {
    // Root saving over a player's file leaves it the player's.
    if (::geteuid() == 0 && (old.st_uid != 0 || old.st_gid != 0) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // The copy stays root's; the save itself goes on.
    }
    ::fchmod(fd, old.st_mode & 07777);
  } else {
    GiveToFolderOwner(fd, tempPath);
  }
  error = 0;
  return std::make_unique<PosixOutput>(fd, false);
}

std::unique_ptr<ScoreFileSystem::Output> SystemScoreFileSystem::OpenInPlace(const std::string &path,
                                                                            int &error) {
  const int fd = OpenRegular(path, O_WRONLY, error);
  if (fd < 0) return nullptr;
  if (!Lock(fd, LOCK_EX)) {
    ::close(fd);
    error = Busy;
    return nullptr;
  }
  return std::make_unique<PosixOutput>(fd, true);
}

int SystemScoreFileSystem::Rename(const std::string &from, const std::string &to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void SystemScoreFileSystem::Remove(const std::string &path) { ::unlink(path.c_str()); }

namespace {

class PosixHeld : public ScoreFileSystem::Held {
public:
  explicit PosixHeld(int fd) : fd_(fd) {}
  ~PosixHeld() override {
    if (fd_ >= 0) ::close(fd_);
  }

private:
  int fd_;
};

} // namespace

// The folder is locked, not the file: a save replaces the file with another.
std::unique_ptr<ScoreFileSystem::Held> SystemScoreFileSystem::HoldSaves(const std::string &path) {
  const std::string folder = FolderOf(path);
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 && !Lock(fd, LOCK_EX)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixHeld>(fd);
}

} // namespace zanthorix
