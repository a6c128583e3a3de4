// The file "HighScores.Dat" beside the executable: 50 records of 108 bytes,
// the tables for 3 to 7 ball kinds one after the other.
#pragma once

#include "scores/HighScoreTables.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace zanthorix {

inline constexpr char HighScoreFileName[] = "HighScores.Dat";

// An input or output error after the file was opened; what() is the text the
// player sees (the error box adds the full stop).
class EInOutError : public std::runtime_error {
public:
  EInOutError(int code, const std::string &text) : std::runtime_error(text), ErrorCode(code) {}
  int ErrorCode;
};

// The text for an errno value, in the words the game has always used.
std::string InOutErrorText(int error);

// The few file operations the high scores need, so that tests can make any
// of them fail. Each returns 0 or an errno value.
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
  };

  // Opens an existing file for reading, never creating it.
  virtual std::unique_ptr<Input> OpenRead(const std::string &path, int &error) = 0;
  // Whether an existing file could be opened for writing; true when none exists.
  virtual bool MayReplace(const std::string &path) = 0;
  // Creates a new, empty file beside path that replaces it later; fills tempPath.
  virtual std::unique_ptr<Output> CreateBeside(const std::string &path, std::string &tempPath,
                                               int &error) = 0;
  virtual int Rename(const std::string &from, const std::string &to) = 0;
  virtual void Remove(const std::string &path) = 0;
};

// The real files.
class PosixScoreFileSystem : public ScoreFileSystem {
public:
  std::unique_ptr<Input> OpenRead(const std::string &path, int &error) override;
  bool MayReplace(const std::string &path) override;
  std::unique_ptr<Output> CreateBeside(const std::string &path, std::string &tempPath,
                                       int &error) override;
  int Rename(const std::string &from, const std::string &to) override;
  void Remove(const std::string &path) override;
};

// folder ends with its separator. A missing or unreadable file gives the
// defaults silently; a short or failing read throws EInOutError and leaves the
// tables as far as they were read.
void LoadHighScores(HighScoreTables &tables, const std::string &folder, ScoreFileSystem &files);

// Writes all 50 records through a temporary file that replaces the old one
// only when whole. A file that may not be written is left alone silently;
// an error while writing throws EInOutError with the old file kept.
void SaveHighScores(const HighScoreTables &tables, const std::string &folder,
                    ScoreFileSystem &files);

} // namespace zanthorix
