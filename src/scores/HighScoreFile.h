// SPDX-License-Identifier: GPL-3.0-or-later
// The file "HighScores.Dat" beside the executable: 50 records of 108 bytes,
// the tables for 3 to 7 ball kinds one after the other.
#pragma once

#include "scores/HighScoreTables.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace zanthorix {

inline constexpr char HighScoreFileName[] = "HighScores.Dat";

// The text for an error code of the system (an errno value, or a Windows
// error code on Windows), in the words the game has always used.
std::string InOutErrorText(int error);
// The failures that the shared code names itself, as the system's own codes,
// so that each system words them as it words its own.
// A denied access.
extern const int AccessDenied;
// A file that another program keeps locked.
extern const int Busy;
// A disk that took fewer bytes than it was given, with no error of its own.
extern const int DiskFull;

// An input or output error after the file was opened; what() is the text the
// player sees (the error box adds the full stop).
class EInOutError : public std::runtime_error {
public:
  EInOutError(int code, const std::string &text) : std::runtime_error(text), ErrorCode(code) {}
  // An error code of the system, in the system's words.
  explicit EInOutError(int code) : EInOutError(code, InOutErrorText(code)) {}
  int ErrorCode;
};

// The few file operations the high scores need, so that tests can make any
// of them fail. Each returns 0 or an error code of the system.
class ScoreFileSystem {
public:
  virtual ~ScoreFileSystem() = default;

  class Input {
  public:
    virtual ~Input() = default;
    // Reads up to size bytes; 0 with error 0 is the end of the file.
    virtual std::size_t Read(void *data, std::size_t size, int &error) = 0;
  };
  class Output {
  public:
    virtual ~Output() = default;
    virtual std::size_t Write(const void *data, std::size_t size, int &error) = 0;
    // Flushes to the disk and closes.
    virtual int Finish() = 0;
    // Written over in place: makes sure that size bytes will fit before the
    // first is written; 0 or an error code.
    virtual int Reserve(std::size_t) { return 0; }
    // Written over in place and failed: puts the old bytes back over what was
    // written, and cuts a file that grew back to old when old is all of it.
    virtual void PutBack(const std::string &, bool) {}
  };

  enum class Access {
    ReadWrite, // an existing regular file that may be read and written
    Missing,   // no file of that name
    Refused,   // anything else: read-only, not a regular file, locked away
  };

  // Opens an existing regular file for reading, never creating it; never waits.
  virtual std::unique_ptr<Input> OpenRead(const std::string &path, int &error) = 0;
  // How an existing file may be opened; never creates it, never waits.
  virtual Access Probe(const std::string &path) = 0;
  // Whether a new file may be made in folder (which ends with its separator).
  virtual bool CanCreateIn(const std::string &folder) = 0;
  // The player's own folder for the tables, with its separator; empty when
  // there is none.
  virtual std::string UserFolder() = 0;
  // Makes folder and the folders above it as needed; 0 or an error code.
  virtual int MakeFolder(const std::string &folder) = 0;
  // The file that path leads to once its links are followed; empty when a
  // link on the way may not be followed.
  virtual std::string Target(const std::string &path) = 0;
  // Creates a new, empty file beside path that replaces it later; fills tempPath.
  virtual std::unique_ptr<Output> CreateBeside(const std::string &path, std::string &tempPath,
                                               int &error) = 0;
  // Opens an existing regular file to be written over from its start; Finish
  // cuts it to what was written. Busy when others did not let go in time.
  virtual std::unique_ptr<Output> OpenInPlace(const std::string &path, int &error) = 0;
  virtual int Rename(const std::string &from, const std::string &to) = 0;
  virtual void Remove(const std::string &path) = 0;

  // Keeps the saves of other games out of the file at path while it lives;
  // null when another program did not let go in time.
  class Held {
  public:
    virtual ~Held() = default;
  };
  virtual std::unique_ptr<Held> HoldSaves(const std::string &) { return std::make_unique<Held>(); }
};

// The real files, one implementation per system. The player's folder is
// $XDG_DATA_HOME/Mirrowdale/Zanthorix/ (~/.local/share when unset) on POSIX
// systems, %LOCALAPPDATA%\Mirrowdale\Zanthorix\ on Windows.
class SystemScoreFileSystem : public ScoreFileSystem {
public:
  std::unique_ptr<Input> OpenRead(const std::string &path, int &error) override;
  Access Probe(const std::string &path) override;
  bool CanCreateIn(const std::string &folder) override;
  std::string UserFolder() override;
  int MakeFolder(const std::string &folder) override;
  std::string Target(const std::string &path) override;
  // Also removes what killed saves of the same file left behind.
  std::unique_ptr<Output> CreateBeside(const std::string &path, std::string &tempPath,
                                       int &error) override;
  std::unique_ptr<Output> OpenInPlace(const std::string &path, int &error) override;
  int Rename(const std::string &from, const std::string &to) override;
  void Remove(const std::string &path) override;
  std::unique_ptr<Held> HoldSaves(const std::string &path) override;
};

// folder ends with its separator. The tables are the file beside the
// program when it may be read and written there (or made there when
// missing); otherwise the player's own file, which starts as a copy of the
// file beside the program when that is readable. A missing or unreadable
// file gives the defaults silently; a short or failing read throws
// EInOutError and leaves the tables as far as they were read.
void LoadHighScores(HighScoreTables &tables, const std::string &folder, ScoreFileSystem &files);

// Writes all 50 records to the file the load chose, through a temporary file
// that replaces it only when whole, or, where no file can be made beside it,
// over the file itself. Where another copy of the game has saved since the
// load, its tables are kept and this run's erase and new entries are done
// again over them. A file that already holds the result, or that may not be
// written, is left alone silently; an error while writing throws
// EInOutError. Afterwards the tables are what the file holds.
void SaveHighScores(HighScoreTables &tables, const std::string &folder, ScoreFileSystem &files);

// What the systems' implementations share.

// The separators of a path: '/', and on Windows the backslash too.
extern const char PathSeparators[];
// The folder of path with its separator; empty for a bare name.
std::string FolderOf(const std::string &path);

// The number of this process.
unsigned long ThisProcess();
// The copy that a save of this process writes beside path before it replaces
// it: "<file>.zanthorix-save-<process>", a name no one else gives a file.
std::string SaveCopyOf(const std::string &path);
// The process whose save copy of path name is, a file in the folder of path;
// 0 for any other name.
unsigned long SaveCopyProcess(const std::string &path, const std::string &name);

// A save copy found beside the file, as far as the system can tell.
struct SaveCopy {
  unsigned long process = 0; // from its name
  bool running = true;       // a process of that number runs
  bool regular = false;      // a plain file: no folder, link, device or pipe
  bool ours = false;         // this user's
  std::uint64_t size = 0;
};
// Whether a save killed between making and renaming its copy left it, so that
// a later save removes it: a copy of this process's number (an earlier run's)
// or of a process that no longer runs, a regular file of ours no larger than
// the table. Nothing else beside the file is ever removed.
bool IsLeftover(const SaveCopy &copy);

} // namespace zanthorix
