// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Environment.h"

#include <QString>

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace zanthorix {

namespace {

// Qt names files by text: bytes that are not UTF-8 come back as another
// name, and the game would look for its files (and write) elsewhere.
bool Nameable(const std::string &bytes) {
  return QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).toStdString() == bytes;
}

} // namespace

std::string PrepareEnvironment() {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self);
  if (length > 0 && length < qsizetype(sizeof self)) {
    const std::string program(self, std::size_t(length));
    if (!Nameable(program))
      return "Zanthorix cannot run from a folder whose name is not UTF-8 text: " + program +
             "\nRename the folder, or move the game.";
  }
  // Qt takes an unset or relative HOME for the root folder, the high scores
  // the account's home: both take the account's.
  const char *home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    const passwd *user = ::getpwuid(::getuid());
    if (user && user->pw_dir && user->pw_dir[0] == '/') ::setenv("HOME", user->pw_dir, 1);
  }
  for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
    const char *value = std::getenv(name);
    if (value && !Nameable(value))
      return std::string("Zanthorix cannot keep its settings and high scores under ") + name + "=" +
             value + ", which is not UTF-8 text.";
  }
  return {};
}

} // namespace zanthorix
