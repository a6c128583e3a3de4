// SPDX-License-Identifier: GPL-3.0-or-later
#include "scores/HighScoreFile.h"

#include "files/WideFile.h"

#include <aclapi.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

namespace zanthorix {

const int AccessDenied = ERROR_ACCESS_DENIED;
const int Busy = ERROR_SHARING_VIOLATION;
const int DiskFull = ERROR_DISK_FULL;
const char PathSeparators[] = "/\\";

unsigned long ThisProcess() { return ::GetCurrentProcessId(); }

std::string InOutErrorText(int error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
    return "File not found";
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_NAME:
  case ERROR_FILENAME_EXCED_RANGE:
    return "Invalid filename";
  case ERROR_TOO_MANY_OPEN_FILES:
    return "Too many open files";
  case ERROR_ACCESS_DENIED:
  case ERROR_WRITE_PROTECT:
    return "File access denied";
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return "Disk full";
  default:
    return "I/O error " + std::to_string(error);
  }
}

namespace {

class WindowsInput : public ScoreFileSystem::Input {
public:
  explicit WindowsInput(HANDLE file) : file_(file) {}
  ~WindowsInput() override { ::CloseHandle(file_); }

  std::size_t Read(void *data, std::size_t size, int &error) override {
    DWORD code = 0;
    const std::size_t done = ReadWhole(file_, data, size, code);
    error = int(code);
    return done;
  }

private:
  HANDLE file_;
};

class WindowsOutput : public ScoreFileSystem::Output {
public:
  WindowsOutput(HANDLE file, bool inPlace) : file_(file), inPlace_(inPlace) {}
  ~WindowsOutput() override {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  }

  std::size_t Write(const void *data, std::size_t size, int &error) override {
    std::size_t done = 0;
    error = 0;
    while (done < size) {
      DWORD put = 0;
      const DWORD chunk = DWORD(std::min<std::size_t>(size - done, 1u << 30));
      if (!::WriteFile(file_, static_cast<const char *>(data) + done, chunk, &put, nullptr)) {
        error = int(::GetLastError());
        break;
      }
      if (put == 0) {
        error = DiskFull;
        break;
      }
      done += put;
    }
    written_ += done;
    return done;
  }

  void PutBack(const std::string &old, bool whole) override {
    const std::size_t back = std::min(written_, old.size());
    LARGE_INTEGER at{};
    if (!::SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) return;
    for (std::size_t done = 0; done < back;) {
      DWORD put = 0;
      if (!::WriteFile(file_, old.data() + done, DWORD(back - done), &put, nullptr) || put == 0)
        return;
      done += put;
    }
    at.QuadPart = LONGLONG(old.size());
    if (whole && written_ > old.size() && ::SetFilePointerEx(file_, at, nullptr, FILE_BEGIN))
      ::SetEndOfFile(file_);
  }

  int Finish() override {
    DWORD error = 0;
    // Written over in place: whatever the old file held past the new end goes.
    LARGE_INTEGER end{};
    end.QuadPart = LONGLONG(written_);
    if (inPlace_ &&
        (!::SetFilePointerEx(file_, end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file_)))
      error = ::GetLastError();
    if (!::FlushFileBuffers(file_) && error == 0) error = ::GetLastError();
    if (!::CloseHandle(file_) && error == 0) error = ::GetLastError();
    file_ = INVALID_HANDLE_VALUE;
    return int(error);
  }

private:
  HANDLE file_;
  bool inPlace_;
  std::size_t written_ = 0;
};

bool IsFolder(const std::wstring &path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ProcessRuns(DWORD id) {
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
  if (!process) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

// The user that the token of this process names, or the owner it gives what
// it makes (the Administrators group for an elevated administrator).
bool IsOurs(PSID owner) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  bool ours = false;
  for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
    DWORD size = 0;
    ::GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> data(size);
    if (size == 0 || !::GetTokenInformation(token, kind, data.data(), size, &size)) continue;
    const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER *>(data.data())->User.Sid
                                       : reinterpret_cast<TOKEN_OWNER *>(data.data())->Owner;
    ours = ours || ::EqualSid(sid, owner);
  }
  ::CloseHandle(token);
  return ours;
}

// What killed saves of the file left beside it (IsLeftover). Each is opened
// as it is, a link not followed, and what is checked is what goes: removed
// through the same handle. A copy that a save still has open is not shared
// for removal and stays.
void RemoveLeftovers(const std::string &path) {
  const std::string folder = FolderOf(path);
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(Widen(folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    SaveCopy copy;
    copy.process = SaveCopyProcess(path, Narrow(found.cFileName));
    if (copy.process == 0) continue;
    copy.running = ProcessRuns(DWORD(copy.process));
    const HANDLE file = ::CreateFileW(
        (Widen(folder) + found.cFileName).c_str(), DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    BY_HANDLE_FILE_INFORMATION info{};
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR security = nullptr;
    if (::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info)) {
      copy.regular = !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE |
                                                FILE_ATTRIBUTE_REPARSE_POINT));
      copy.size = std::uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
      copy.ours = ::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                    nullptr, nullptr, nullptr, &security) == ERROR_SUCCESS &&
                  owner && IsOurs(owner);
    }
    ::LocalFree(security);
    FILE_DISPOSITION_INFO remove{TRUE};
    if (IsLeftover(copy))
      ::SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove);
    ::CloseHandle(file);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

} // namespace

std::unique_ptr<ScoreFileSystem::Input> SystemScoreFileSystem::OpenRead(const std::string &path,
                                                                        int &error) {
  DWORD code = 0;
  const HANDLE file = OpenRegularFile(Widen(path), GENERIC_READ, code);
  error = int(code);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WindowsInput>(file);
}

ScoreFileSystem::Access SystemScoreFileSystem::Probe(const std::string &path) {
  DWORD error = 0;
  const HANDLE file = OpenRegularFile(Widen(path), GENERIC_READ | GENERIC_WRITE, error);
  if (file == INVALID_HANDLE_VALUE)
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Access::Missing
                                                                          : Access::Refused;
  ::CloseHandle(file);
  return Access::ReadWrite;
}

bool SystemScoreFileSystem::CanCreateIn(const std::string &folder) {
  // Asked of the folder itself: its attributes say nothing of who may write
  // there (Program Files is not read-only, yet a player may not add to it).
  const std::wstring probe =
      Widen(folder + HighScoreFileName + ".probe" + std::to_string(::GetCurrentProcessId()));
  const HANDLE file = ::CreateFileW(
      probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(file);
  return true;
}

std::string SystemScoreFileSystem::UserFolder() {
  PWSTR base = nullptr;
  std::string folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &base)) &&
      base && base[0])
    folder = Narrow(base) + "/Mirrowdale/Zanthorix/";
  ::CoTaskMemFree(base);
  for (char &c : folder)
    if (c == '\\') c = '/';
  return folder;
}

int SystemScoreFileSystem::MakeFolder(const std::string &folder) {
  int error = 0;
  for (std::size_t at = folder.find_first_of("/\\", 1); at != std::string::npos;
       at = folder.find_first_of("/\\", at + 1)) {
    // The drive and the folders above ours exist already, or cannot be made.
    const std::wstring part = Widen(folder.substr(0, at));
    error = ::CreateDirectoryW(part.c_str(), nullptr) || IsFolder(part) ? 0 : int(::GetLastError());
  }
  return error;
}

std::string SystemScoreFileSystem::Target(const std::string &path) {
  const std::wstring wide = Widen(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return path;
  // A link: the file it leads to is the one replaced.
  const HANDLE file =
      ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  std::wstring target(32768, L'\0');
  const DWORD length = ::GetFinalPathNameByHandleW(file, target.data(), DWORD(target.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  ::CloseHandle(file);
  if (length == 0 || length >= target.size()) return path;
  target.resize(length);
  if (target.rfind(L"\\\\?\\UNC\\", 0) == 0)
    target = L"\\\\" + target.substr(8);
  else if (target.rfind(L"\\\\?\\", 0) == 0)
    target = target.substr(4);
  return Narrow(target);
}

std::unique_ptr<ScoreFileSystem::Output>
SystemScoreFileSystem::CreateBeside(const std::string &path, std::string &tempPath, int &error) {
  RemoveLeftovers(path);
  tempPath = SaveCopyOf(path);
  const HANDLE file = ::CreateFileW(Widen(tempPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = int(::GetLastError());
    return nullptr;
  }
  error = 0;
  return std::make_unique<WindowsOutput>(file, false);
}

std::unique_ptr<ScoreFileSystem::Output> SystemScoreFileSystem::OpenInPlace(const std::string &path,
                                                                            int &error) {
  DWORD code = 0;
  const HANDLE file = OpenRegularFile(Widen(path), GENERIC_WRITE, code);
  error = int(code);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WindowsOutput>(file, true);
}

int SystemScoreFileSystem::Rename(const std::string &from, const std::string &to) {
  // rename() does not replace an existing file here; the write-through makes
  // the new name reach the disk before the call returns.
  return ::MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : int(::GetLastError());
}

void SystemScoreFileSystem::Remove(const std::string &path) { ::DeleteFileW(Widen(path).c_str()); }

namespace {

class WindowsHeld : public ScoreFileSystem::Held {
public:
  explicit WindowsHeld(HANDLE file) : file_(file) {}
  ~WindowsHeld() override { ::CloseHandle(file_); }

private:
  HANDLE file_;
};

} // namespace

// A file beside the table that one game at a time may have open; the system
// deletes it when it is closed, also when the game is killed. Where none can
// be made (a shared file in a folder the player may not write) saves are
// not held off. Anyone who may write the folder can keep it open for ever:
// a second or so, once a run, then null.
std::unique_ptr<ScoreFileSystem::Held> SystemScoreFileSystem::HoldSaves(const std::string &path) {
  static int pausesLeft = 100;
  const std::wstring name = Widen(path + ".lock");
  int pending = 0; // the last holder's file, deleted as it closed
  while (true) {
    const HANDLE file = ::CreateFileW(
        name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) return std::make_unique<WindowsHeld>(file);
    const DWORD error = ::GetLastError();
    if (error != ERROR_SHARING_VIOLATION && (error != ERROR_ACCESS_DENIED || ++pending > 5)) break;
    if (pausesLeft-- <= 0) return nullptr;
    ::Sleep(10);
  }
  return std::make_unique<Held>();
}

} // namespace zanthorix
