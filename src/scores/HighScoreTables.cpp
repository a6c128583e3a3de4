// SPDX-License-Identifier: GPL-3.0-or-later
#include "scores/HighScoreTables.h"

#include <algorithm>
#include <cstring>

namespace zanthorix {

static_assert(sizeof(HighScoreEntry) == RecordSize, "an entry is its file record");

std::string HighScoreEntry::Name() const {
  return std::string(NameChars.data(), std::min<std::size_t>(NameLength, NameCapacity));
}

void HighScoreEntry::SetName(std::string_view bytes) {
  const std::size_t length = std::min<std::size_t>(bytes.size(), NameCapacity);
  NameLength = static_cast<std::uint8_t>(length);
  std::copy_n(bytes.data(), length, NameChars.data());
}

std::array<std::uint8_t, RecordSize> HighScoreEntry::ToRecord() const {
  std::array<std::uint8_t, RecordSize> record{};
  record[0] = NameLength;
  std::memcpy(&record[1], NameChars.data(), NameCapacity);
  std::memcpy(&record[101], Filler.data(), Filler.size());
  // Little-endian whatever the machine, as the file has always been.
  const auto score = static_cast<std::uint32_t>(Score);
  for (int i = 0; i < 4; ++i)
    record[104 + i] = static_cast<std::uint8_t>(score >> (8 * i));
  return record;
}

void HighScoreEntry::FromRecord(const std::uint8_t *bytes, std::size_t count) {
  auto record = ToRecord();
  std::copy_n(bytes, std::min(count, RecordSize), record.begin());
  // Only a foreign file holds a longer length; it is kept for the way back,
  // and Name() stops at the field.
  NameLength = record[0];
  std::memcpy(NameChars.data(), &record[1], NameCapacity);
  std::memcpy(Filler.data(), &record[101], Filler.size());
  std::uint32_t score = 0;
  for (int i = 0; i < 4; ++i)
    score |= static_cast<std::uint32_t>(record[104 + i]) << (8 * i);
  Score = static_cast<std::int32_t>(score);
}

void ResetHighScoreTables(HighScoreTables &tables) {
  for (HighScoreTable &table : tables.Tables) {
    for (int i = 1; i <= EntriesPerTable; ++i) {
      table[i - 1].SetName(DefaultName);
      table[i - 1].Score = 11 - i;
    }
  }
}

std::int32_t FindRank(const HighScoreTables &tables, std::int32_t ballKinds, std::int32_t score) {
  const HighScoreTable &table = tables.ForBallKinds(ballKinds);
  auto s = [&table](int i) { return table[i - 1].Score; };
  std::int32_t result = -1;
  for (int i = 2; i <= EntriesPerTable; ++i) {
    if (s(i) < score && s(i - 1) > score) {
      result = i;
      break;
    }
  }
  if (s(1) < score) result = 1;
  return result;
}

void InsertHighScore(HighScoreTables &tables, std::int32_t ballKinds, std::int32_t position,
                     std::string_view nameBytes, std::int32_t score) {
  HighScoreTable &table = tables.ForBallKinds(ballKinds);
  if (position < 1 || position > EntriesPerTable) return; // FindRank never gives one
  for (int k = EntriesPerTable - 1; k >= position; --k)
    table[k] = table[k - 1];
  table[position - 1].SetName(nameBytes);
  table[position - 1].Score = score;
  tables.NewEntries.push_back({ballKinds, std::string(nameBytes), score});
}

void EraseHighScores(HighScoreTables &tables) {
  ResetHighScoreTables(tables);
  tables.NewEntries.clear();
  tables.Erased = true;
}

void SettleHighScores(HighScoreTables &tables) {
  tables.Loaded = tables.Tables;
  tables.NewEntries.clear();
  tables.Erased = false;
}

void ReplayHighScores(const HighScoreTables &from, HighScoreTables &tables) {
  if (from.Erased) ResetHighScoreTables(tables);
  for (const HighScoreTables::NewEntry &entry : from.NewEntries) {
    const std::int32_t rank = FindRank(tables, entry.BallKinds, entry.Score);
    if (rank > 0) InsertHighScore(tables, entry.BallKinds, rank, entry.Name, entry.Score);
  }
}

} // namespace zanthorix
