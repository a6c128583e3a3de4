// SPDX-License-Identifier: GPL-3.0-or-later
#include "scores/HighScoreFile.h"

#include <cstdio>

namespace zanthorix {

std::string FolderOf(const std::string &path) {
  const std::size_t at = path.find_last_of(PathSeparators);
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

namespace {

// Marks the copy a save writes, so that only the game's own copies are ever
// cleared away.
constexpr char SaveCopyMark[] = ".zanthorix-save-";

} // namespace

std::string SaveCopyOf(const std::string &path) {
  return path + SaveCopyMark + std::to_string(ThisProcess());
}

unsigned long SaveCopyProcess(const std::string &path, const std::string &name) {
  const std::string prefix = path.substr(FolderOf(path).size()) + SaveCopyMark;
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return 0;
  const std::string digits = name.substr(prefix.size());
  if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stoul(digits);
}

bool IsLeftover(const SaveCopy &copy) {
  return copy.process != 0 && (copy.process == ThisProcess() || !copy.running) && copy.regular &&
         copy.ours && copy.size <= FileSize;
}

namespace {

// Reads until size bytes are in, the file ends or a read fails. A read may
// come back short before the end; only nothing at all ends it.
std::size_t ReadUpTo(ScoreFileSystem::Input &input, void *data, std::size_t size, int &error) {
  std::size_t got = 0;
  while (got < size && error == 0) {
    const std::size_t n = input.Read(static_cast<char *>(data) + got, size - got, error);
    if (n == 0) break;
    got += n;
  }
  return got;
}

// Reads the 50 records of path into the tables; a file that cannot be opened
// gives the defaults.
void ReadTables(HighScoreTables &tables, const std::string &path, ScoreFileSystem &files) {
  int error = 0;
  const auto input = files.OpenRead(path, error);
  if (!input) {
    ResetHighScoreTables(tables);
    return;
  }
  for (HighScoreTable &table : tables.Tables) {
    for (HighScoreEntry &entry : table) {
      std::array<std::uint8_t, RecordSize> record{};
      const std::size_t got = ReadUpTo(*input, record.data(), RecordSize, error);
      entry.FromRecord(record.data(), got);
      if (error != 0) {
        tables.KeepFile = true;
        throw EInOutError(error);
      }
      if (got < RecordSize) throw EInOutError(100, "Read beyond end of file");
    }
  }
}

} // namespace

void LoadHighScores(HighScoreTables &tables, const std::string &folder, ScoreFileSystem &files) {
  // Whatever the load ends in, a save compares the file with what it gave.
  struct Loaded {
    HighScoreTables &tables;
    ~Loaded() { SettleHighScores(tables); }
  } loaded{tables};
  tables.KeepFile = false;
  const std::string shared = folder + HighScoreFileName;
  tables.File = shared;
  const auto access = files.Probe(shared);
  const std::string user = files.UserFolder();
  if (access == ScoreFileSystem::Access::ReadWrite ||
      (access == ScoreFileSystem::Access::Missing && files.CanCreateIn(folder)) || user.empty()) {
    ReadTables(tables, shared, files);
    return;
  }
  // A game folder that this player may not write, as a system-wide install
  // has it: the player keeps a table of their own.
  tables.File = user + HighScoreFileName;
  if (files.Probe(tables.File) != ScoreFileSystem::Access::Missing) {
    ReadTables(tables, tables.File, files);
    return;
  }
  // The first time, the table beside the program carries over.
  try {
    ReadTables(tables, shared, files);
  } catch (const EInOutError &) {
    tables.KeepFile = false; // it is not the file that will be written
    throw;
  }
}

namespace {

bool Changed(const HighScoreTables &tables) { return tables.Erased || !tables.NewEntries.empty(); }

enum class Saving { Done, Refused, Busy };

// Saves the tables to path; Refused or Busy, with nothing written, where
// that file may not be written now.
Saving SaveTo(HighScoreTables &tables, const std::string &path, bool own, ScoreFileSystem &files) {
  // A save that cannot be made loses a score only when this run changed the
  // tables; then the player is told, as for a failed write.
  const auto cannot = [changed = Changed(tables)](int code) {
    if (changed) throw EInOutError(code);
    return Saving::Done;
  };
  const auto access = files.Probe(path);
  if (access == ScoreFileSystem::Access::Refused) return Saving::Refused;
  const int made = own ? files.MakeFolder(FolderOf(path)) : 0;
  const std::string target = files.Target(path);
  if (target.empty()) return Saving::Refused;

  // Another copy of the game may have saved since the load (one player with
  // two windows, two players on one shared table): what it saved is read
  // while no other save can start, and this run's changes go over it.
  const auto held = files.HoldSaves(target);
  if (!held) return Saving::Busy;
  std::string old;
  int error = 0;
  bool opened = false;
  if (const auto input = files.OpenRead(target, error)) {
    opened = true;
    old.resize(FileSize + 1); // one byte more tells a longer file
    old.resize(ReadUpTo(*input, old.data(), old.size(), error));
  }
  const bool haveOld = opened && error == 0;
  HighScoreTables merged = tables;
  if (haveOld && old.size() >= FileSize) {
    std::array<HighScoreTable, TableCount> now{};
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(old.data());
    for (HighScoreTable &table : now)
      for (HighScoreEntry &entry : table) {
        entry.FromRecord(bytes, RecordSize);
        bytes += RecordSize;
      }
    if (now != tables.Loaded) {
      merged.Tables = now;
      ReplayHighScores(tables, merged);
    }
  } else if (tables.KeepFile) {
    return cannot(error != 0 ? error : AccessDenied); // the unread records are still the file's own
  }
  const auto saved = [&] {
    tables.Tables = merged.Tables;
    SettleHighScores(tables);
    tables.KeepFile = false;
  };

  std::string bytes;
  bytes.reserve(FileSize);
  for (const HighScoreTable &table : merged.Tables) {
    for (const HighScoreEntry &entry : table) {
      const auto record = entry.ToRecord();
      bytes.append(reinterpret_cast<const char *>(record.data()), record.size());
    }
  }
  // A game that ends without a new score leaves the disk alone: no write and
  // no wait for the flush.
  if (haveOld && old == bytes) {
    saved();
    return Saving::Done;
  }
  std::string temp;
  auto output = files.CreateBeside(target, temp, error);
  if (!output && access == ScoreFileSystem::Access::ReadWrite) {
    // A shared file in a folder the player may not write: over the file itself.
    temp.clear();
    output = files.OpenInPlace(target, error);
    if (!output && error == Busy) return Saving::Busy;
  }
  if (!output) return cannot(made != 0 ? made : error != 0 ? error : AccessDenied);

  auto fail = [&](int code) {
    output.reset();
    if (!temp.empty()) files.Remove(temp);
    throw EInOutError(code);
  };
  // Over the shared file itself, a write that stops part-way would leave a
  // torn table: room is made sure of first, and the old bytes go back if it
  // fails all the same.
  if (temp.empty())
    if (const int room = output->Reserve(bytes.size()); room != 0) fail(room);
  if (output->Write(bytes.data(), bytes.size(), error) != bytes.size()) {
    if (temp.empty() && haveOld) output->PutBack(old, old.size() <= FileSize);
    fail(error != 0 ? error : DiskFull);
  }
  if (const int finished = output->Finish(); finished != 0) fail(finished);
  output.reset();
  if (!temp.empty()) {
    if (const int renamed = files.Rename(temp, target); renamed != 0) {
      files.Remove(temp);
      throw EInOutError(renamed);
    }
  }
  saved();
  return Saving::Done;
}

} // namespace

void SaveHighScores(HighScoreTables &tables, const std::string &folder, ScoreFileSystem &files) {
  const std::string shared = folder + HighScoreFileName;
  const std::string path = tables.File.empty() ? shared : tables.File;
  const Saving saving = SaveTo(tables, path, path != shared, files);
  if (saving == Saving::Done || !Changed(tables)) return;
  // A table that may not be written now (a link that another user could
  // have put there, a file made read-only since the load, a lock that
  // another program keeps): the player's own keeps this run's scores.
  const std::string user = files.UserFolder();
  const std::string own = user.empty() ? std::string() : user + HighScoreFileName;
  if (own.empty() || own == path || SaveTo(tables, own, true, files) != Saving::Done)
    throw EInOutError(AccessDenied);
  std::fprintf(stderr, "Zanthorix: %s %s; the high scores are saved in %s\n", path.c_str(),
               saving == Saving::Busy ? "is locked by another program" : "may not be written",
               own.c_str());
  tables.File = own;
}

} // namespace zanthorix
