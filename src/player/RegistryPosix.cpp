// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store's keys as Qt keeps them here: a file per application,
// a section per key.
#include "player/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace zanthorix {

namespace {

bool MayWrite(const QString &path) {
  return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// QSettings reads its file as soon as it is made, and a FIFO there would
// wait for a writer for ever: a file that is not a regular one is no store.
// Nor is one far larger than a name needs, which would take memory and
// seconds to read at every start.
bool MayOpen(const RegistryKey &key) {
  const QFileInfo file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                       QLatin1Char('/') + key.organisation + QLatin1Char('/') + key.application +
                       QStringLiteral(".conf"));
  return !file.exists() || (file.isFile() && file.size() <= 1024 * 1024);
}

// Root writing a player's settings (su without -) leaves them the player's:
// the file keeps its owner, and what is new takes the owner of the folder
// it is made in.
struct Owner {
  uid_t uid = 0;
  gid_t gid = 0;
};

Owner OwnerOf(const QString &path) {
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return {};
  return {info.st_uid, info.st_gid};
}

void GiveBack(const QString &path, const Owner &owner) {
  if (::geteuid() != 0 || owner.uid == 0 || OwnerOf(path).uid == owner.uid) return;
  if (::lchown(QFile::encodeName(path).constData(), owner.uid, owner.gid) != 0) {
    // It stays root's, as it would have without this.
  }
}

// Makes folder and what is missing above it, each given to the owner of the
// folder it is made in.
bool MakeFolders(const QString &folder) {
  const QFileInfo info(folder);
  if (info.isDir()) return true;
  const QString parent = info.absolutePath();
  if (parent == info.absoluteFilePath() || !MakeFolders(parent) || !QDir().mkdir(folder))
    return QFileInfo(folder).isDir();
  GiveBack(folder, OwnerOf(parent));
  return true;
}

} // namespace

bool NativeSettingsStore::KeyOpenable(const RegistryKey &key) {
  if (!MayOpen(key)) return false;
  // Asking QSettings whether it is writable would create the folder.
  const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                           key.application);
  const QFileInfo file(settings.fileName());
  if (!file.isFile() || !settings.childGroups().contains(key.group)) return false;
  return MayWrite(file.filePath()) && MayWrite(file.path());
}

bool NativeSettingsStore::CreateKey(const RegistryKey &key) {
  if (!MayOpen(key)) return false;
  const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                           key.application);
  const QFileInfo file(settings.fileName());
  if (!MakeFolders(file.path())) return false;
  return MayWrite(file.path()) && (!file.exists() || MayWrite(file.filePath()));
}

QVariant NativeSettingsStore::Value(const RegistryKey &key, const QString &name, bool &failed) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                     key.application);
  failed = settings.status() == QSettings::AccessError;
  settings.beginGroup(key.group);
  return settings.value(name);
}

bool NativeSettingsStore::SetValue(const RegistryKey &key, const QString &name,
                                   const QString &text) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                     key.application);
  const QFileInfo file(settings.fileName());
  const Owner owner = OwnerOf(file.exists() ? file.filePath() : file.path());
  settings.beginGroup(key.group);
  // The same text again leaves the stored bytes as they are, even those that
  // do not read back as text.
  if (settings.value(name) == QVariant(text)) return true;
  settings.setValue(name, text);
  settings.sync();
  GiveBack(file.filePath(), owner);
  return settings.status() == QSettings::NoError;
}

} // namespace zanthorix
