// SPDX-License-Identifier: GPL-3.0-or-later
// The game folder as system data, as a distribution installs it: read, never
// written, whoever plays, root included. Every player keeps their own table.
#pragma once

#include "scores/HighScoreFile.h"

#include <cerrno>

namespace zanthorix {

class ReadOnlyGameFolder : public ScoreFileSystem {
public:
  // folder ends with its separator.
  ReadOnlyGameFolder(ScoreFileSystem &files, std::string folder)
      : files_(files), folder_(std::move(folder)) {}

  Access Probe(const std::string &path) override {
    return InFolder(path) ? Access::Refused : files_.Probe(path);
  }
  bool CanCreateIn(const std::string &folder) override {
    return !InFolder(folder) && files_.CanCreateIn(folder);
  }
  std::unique_ptr<Output> CreateBeside(const std::string &path, std::string &tempPath,
                                       int &error) override {
    if (!InFolder(path)) return files_.CreateBeside(path, tempPath, error);
    error = EROFS;
    return nullptr;
  }
  std::unique_ptr<Output> OpenInPlace(const std::string &path, int &error) override {
    if (!InFolder(path)) return files_.OpenInPlace(path, error);
    error = EROFS;
    return nullptr;
  }

  std::unique_ptr<Input> OpenRead(const std::string &path, int &error) override {
    return files_.OpenRead(path, error);
  }
  std::string UserFolder() override { return files_.UserFolder(); }
  int MakeFolder(const std::string &folder) override { return files_.MakeFolder(folder); }
  std::string Target(const std::string &path) override { return files_.Target(path); }
  int Rename(const std::string &from, const std::string &to) override {
    return files_.Rename(from, to);
  }
  void Remove(const std::string &path) override { files_.Remove(path); }
  std::unique_ptr<Held> HoldSaves(const std::string &path) override {
    return files_.HoldSaves(path);
  }

private:
  // A path inside the folder, the folder itself included.
  bool InFolder(const std::string &path) const {
    return path.compare(0, folder_.size(), folder_) == 0 || path + '/' == folder_;
  }

  ScoreFileSystem &files_;
  std::string folder_;
};

} // namespace zanthorix
