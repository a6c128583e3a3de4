// The settings store's keys as Qt keeps them here: a file per application,
// a section per key.
#include "player/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <unistd.h>

namespace zanthorix {

namespace {

bool MayWrite(const QString &path) {
  return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

// QSettings reads its file as soon as it is made, and a FIFO there would
// wait for a writer for ever: a file that is not a regular one is no store.
bool MayOpen(const RegistryKey &key) {
  const QFileInfo file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                       QLatin1Char('/') + key.organisation + QLatin1Char('/') + key.application +
                       QStringLiteral(".conf"));
  return !file.exists() || file.isFile();
}

} // namespace

bool QSettingsStore::KeyOpenable(const RegistryKey &key) {
  if (!MayOpen(key)) return false;
  // Asking QSettings whether it is writable would create the folder.
  const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                           key.application);
  const QFileInfo file(settings.fileName());
  if (!file.isFile() || !settings.childGroups().contains(key.group)) return false;
  return MayWrite(file.filePath()) && MayWrite(file.path());
}

bool QSettingsStore::CreateKey(const RegistryKey &key) {
  if (!MayOpen(key)) return false;
  const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                           key.application);
  const QFileInfo file(settings.fileName());
  if (!QDir().mkpath(file.path())) return false;
  return MayWrite(file.path()) && (!file.exists() || MayWrite(file.filePath()));
}

} // namespace zanthorix
