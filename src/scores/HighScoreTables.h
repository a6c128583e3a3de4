// SPDX-License-Identifier: GPL-3.0-or-later
// The ten best scores of each ball count, and how a finished game gets in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zanthorix {

constexpr int NameCapacity = 100;
constexpr int EntriesPerTable = 10;
constexpr int TableCount = 5; // ball counts 3 to 7
constexpr std::size_t RecordSize = 108;
constexpr int RecordCount = TableCount * EntriesPerTable;
constexpr std::size_t FileSize = RecordCount * RecordSize;
inline constexpr std::string_view DefaultName = "This could be you!";

// One place of a table; in memory exactly the 108 bytes of its file record.
struct HighScoreEntry {
  std::uint8_t NameLength = 0; // as the file holds it, even above 100
  std::array<char, NameCapacity> NameChars{};
  std::array<std::uint8_t, 3> Filler{};
  std::int32_t Score = 0;

  // The name's bytes (Windows-1252); never more than the field holds.
  std::string Name() const;
  // Writes the length and the characters only: the rest of the field keeps
  // what it held. Longer names are cut to the field.
  void SetName(std::string_view bytes);

  std::array<std::uint8_t, RecordSize> ToRecord() const;
  // Takes the first count bytes of a record; the rest keeps what it held.
  void FromRecord(const std::uint8_t *bytes, std::size_t count);

  bool operator==(const HighScoreEntry &) const = default;
};

using HighScoreTable = std::array<HighScoreEntry, EntriesPerTable>;

struct HighScoreTables {
  // Indexed by ball count minus 3; entry 0 is place 1.
  std::array<HighScoreTable, TableCount> Tables{};
  // Set when the last load was cut short by the system rather than by the end
  // of the file: the unread records must not be overwritten.
  bool KeepFile = false;
  // The file the tables were loaded from and go back to; empty before a load.
  std::string File;

  // What this run did to the tables since the load, so that a save can
  // replay it over the file as another copy of the game may have left it.
  struct NewEntry {
    std::int32_t BallKinds;
    std::string Name;
    std::int32_t Score;
  };
  std::array<HighScoreTable, TableCount> Loaded{}; // as the load left them
  std::vector<NewEntry> NewEntries;                // since the load or the erase
  bool Erased = false;

  HighScoreTable &ForBallKinds(std::int32_t ballKinds) { return Tables.at(ballKinds - 3); }
  const HighScoreTable &ForBallKinds(std::int32_t ballKinds) const {
    return Tables.at(ballKinds - 3);
  }
};

void ResetHighScoreTables(HighScoreTables &tables);

// The place from 1 to 10 that score earns in the table of ballKinds, or -1.
// A score equal to any entry earns nothing.
std::int32_t FindRank(const HighScoreTables &tables, std::int32_t ballKinds, std::int32_t score);

// Moves the entries from position down one place (the last one drops off)
// and writes name and score at position, 1 to 10.
void InsertHighScore(HighScoreTables &tables, std::int32_t ballKinds, std::int32_t position,
                     std::string_view nameBytes, std::int32_t score);

// The player's Erase Scores: the defaults, and no earlier entry of this run
// comes back when the tables are saved.
void EraseHighScores(HighScoreTables &tables);

// The tables are what the file holds: nothing of this run is left to do
// again at the next save.
void SettleHighScores(HighScoreTables &tables);

// Does again to tables what this run did to from since its load: the erase,
// then each new entry where it ranks now.
void ReplayHighScores(const HighScoreTables &from, HighScoreTables &tables);

} // namespace zanthorix
