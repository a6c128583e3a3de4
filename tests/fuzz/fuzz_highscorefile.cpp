// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the high-score reader as the file's contents, then
// checks what the game relies on: no name reaches past its field, and what is
// read is written back and read again unchanged.
#include "scores/HighScoreFile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace zanthorix;

namespace {

class MemoryFiles : public ScoreFileSystem {
public:
  std::vector<std::uint8_t> file;
  bool exists = true;
  std::size_t chunk = 0; // reads return at most this much at once; 0 for all

  std::unique_ptr<Input> OpenRead(const std::string &, int &error) override {
    if (!exists) {
      error = 2;
      return nullptr;
    }
    error = 0;
    return std::make_unique<MemoryInput>(file, chunk);
  }
  Access Probe(const std::string &) override {
    return exists ? Access::ReadWrite : Access::Missing;
  }
  bool CanCreateIn(const std::string &) override { return true; }
  std::string UserFolder() override { return {}; }
  int MakeFolder(const std::string &) override { return 0; }
  std::string Target(const std::string &path) override { return path; }
  std::unique_ptr<Output> OpenInPlace(const std::string &, int &error) override {
    error = 13;
    return nullptr;
  }
  std::unique_ptr<Output> CreateBeside(const std::string &, std::string &tempPath,
                                       int &error) override {
    tempPath = "temp";
    written.clear();
    error = 0;
    return std::make_unique<MemoryOutput>(written);
  }
  int Rename(const std::string &, const std::string &) override {
    file = written;
    exists = true;
    return 0;
  }
  void Remove(const std::string &) override {}

private:
  std::vector<std::uint8_t> written;

  struct MemoryInput : Input {
    MemoryInput(const std::vector<std::uint8_t> &data, std::size_t chunk)
        : data(data), chunk(chunk) {}
    std::size_t Read(void *out, std::size_t size, int &error) override {
      error = 0;
      std::size_t n = std::min(size, data.size() - at);
      if (chunk != 0) n = std::min(n, chunk);
      if (n != 0) std::memcpy(out, data.data() + at, n);
      at += n;
      return n;
    }
    const std::vector<std::uint8_t> &data;
    std::size_t chunk;
    std::size_t at = 0;
  };
  struct MemoryOutput : Output {
    explicit MemoryOutput(std::vector<std::uint8_t> &out) : out(out) {}
    std::size_t Write(const void *data, std::size_t size, int &error) override {
      error = 0;
      const auto *bytes = static_cast<const std::uint8_t *>(data);
      out.insert(out.end(), bytes, bytes + size);
      return size;
    }
    int Finish() override { return 0; }
    std::vector<std::uint8_t> &out;
  };
};

bool Load(HighScoreTables &tables, MemoryFiles &files) {
  try {
    LoadHighScores(tables, "", files);
    return true;
  } catch (const EInOutError &) {
    return false;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  MemoryFiles files;
  files.file.assign(data, data + size);
  files.chunk = size % 7; // short reads must not change what is read
  HighScoreTables tables;
  const bool whole = Load(tables, files);
  if (whole != (size >= RecordCount * RecordSize)) std::abort();

  for (const HighScoreTable &table : tables.Tables)
    for (const HighScoreEntry &entry : table)
      if (entry.Name().size() > NameCapacity) std::abort();

  // Rank and enter a score from the input in every table.
  std::int32_t score = 0;
  if (size >= 4) std::memcpy(&score, data + size - 4, 4);
  for (int ballKinds = 3; ballKinds <= 7; ++ballKinds) {
    const std::int32_t rank = FindRank(tables, ballKinds, score);
    if (rank == 0 || rank < -1 || rank > 10) std::abort();
    if (rank > 0) InsertHighScore(tables, ballKinds, rank, std::string(150, 'n'), score);
  }

  SaveHighScores(tables, "", files);
  if (files.file.size() != RecordCount * RecordSize) std::abort();
  HighScoreTables again;
  files.chunk = 0;
  if (!Load(again, files) || again.Tables != tables.Tables) std::abort();
  return 0;
}
