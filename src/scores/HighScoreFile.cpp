#include "scores/HighScoreFile.h"

#include <cerrno>
#include <fcntl.h>
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

// Repeats a read or write until size bytes have passed, the file ends or
// the system reports an error; a call interrupted by a signal is repeated.
template <typename Call> std::size_t Whole(std::size_t size, int &error, Call call) {
  std::size_t done = 0;
  error = 0;
  while (done < size) {
    const ssize_t n = call(done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

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
  explicit PosixOutput(int fd) : fd_(fd) {}
  ~PosixOutput() override {
    if (fd_ >= 0) ::close(fd_);
  }

  std::size_t Write(const void *data, std::size_t size, int &error) override {
    return Whole(size, error, [&](std::size_t done) {
      return ::write(fd_, static_cast<const char *>(data) + done, size - done);
    });
  }

  int Finish() override {
    int error = 0;
    if (::fsync(fd_) != 0 && errno != EINVAL) error = errno;
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
    return error;
  }

private:
  int fd_;
};

} // namespace

std::unique_ptr<ScoreFileSystem::Input> PosixScoreFileSystem::OpenRead(const std::string &path,
                                                                       int &error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  // A folder of that name is not the file.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = EISDIR;
    ::close(fd);
    return nullptr;
  }
  error = 0;
  return std::make_unique<PosixInput>(fd);
}

bool PosixScoreFileSystem::MayReplace(const std::string &path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return errno == ENOENT;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::unique_ptr<ScoreFileSystem::Output>
PosixScoreFileSystem::CreateBeside(const std::string &path, std::string &tempPath, int &error) {
  tempPath = path + ".new" + std::to_string(::getpid());
  int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    // Left over from a run that was killed mid-save.
    ::unlink(tempPath.c_str());
    fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  error = 0;
  return std::make_unique<PosixOutput>(fd);
}

int PosixScoreFileSystem::Rename(const std::string &from, const std::string &to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void PosixScoreFileSystem::Remove(const std::string &path) { ::unlink(path.c_str()); }

void LoadHighScores(HighScoreTables &tables, const std::string &folder, ScoreFileSystem &files) {
  tables.KeepFile = false;
  int error = 0;
  const auto input = files.OpenRead(folder + HighScoreFileName, error);
  if (!input) {
    ResetHighScoreTables(tables);
    return;
  }
  for (HighScoreTable &table : tables.Tables) {
    for (HighScoreEntry &entry : table) {
      std::array<std::uint8_t, RecordSize> record{};
      // A read may come back short before the end; only nothing at all ends it.
      std::size_t got = 0;
      while (got < RecordSize && error == 0) {
        const std::size_t n = input->Read(record.data() + got, RecordSize - got, error);
        if (n == 0) break;
        got += n;
      }
      entry.FromRecord(record.data(), got);
      if (error != 0) {
        tables.KeepFile = true;
        throw EInOutError(error, InOutErrorText(error));
      }
      if (got < RecordSize) throw EInOutError(100, "Read beyond end of file");
    }
  }
}

void SaveHighScores(const HighScoreTables &tables, const std::string &folder,
                    ScoreFileSystem &files) {
  if (tables.KeepFile) return;
  const std::string path = folder + HighScoreFileName;
  if (!files.MayReplace(path)) return;
  std::string temp;
  int error = 0;
  auto output = files.CreateBeside(path, temp, error);
  if (!output) return;

  auto fail = [&](int code) {
    output.reset();
    files.Remove(temp);
    throw EInOutError(code, InOutErrorText(code));
  };
  for (const HighScoreTable &table : tables.Tables) {
    for (const HighScoreEntry &entry : table) {
      const auto record = entry.ToRecord();
      if (output->Write(record.data(), record.size(), error) != record.size())
        fail(error != 0 ? error : ENOSPC);
    }
  }
  if (const int finished = output->Finish(); finished != 0) fail(finished);
  output.reset();
  if (const int renamed = files.Rename(temp, path); renamed != 0) {
    files.Remove(temp);
    throw EInOutError(renamed, InOutErrorText(renamed));
  }
}

} // namespace zanthorix
