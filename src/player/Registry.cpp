#include "player/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace zanthorix {

std::optional<RegistryKey> RegistryKey::FromPath(const QString &path) {
  const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  if (parts.size() < 4 || parts[0].compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0)
    return std::nullopt;
  return RegistryKey{parts[1], parts[2], parts.mid(3).join(QLatin1Char('/'))};
}

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
  if (!MakeFolders(file.path())) return false;
  return MayWrite(file.path()) && (!file.exists() || MayWrite(file.filePath()));
}

QVariant QSettingsStore::Value(const RegistryKey &key, const QString &name, bool &failed) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                     key.application);
  failed = settings.status() == QSettings::AccessError;
  settings.beginGroup(key.group);
  return settings.value(name);
}

bool QSettingsStore::SetValue(const RegistryKey &key, const QString &name, const QString &text) {
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

static SettingsStore &RealStore() {
  static QSettingsStore store;
  return store;
}

TRegistry::TRegistry(SettingsStore *store) : store_(store ? store : &RealStore()) {}

TRegistry::~TRegistry() { CloseKey(); }

bool TRegistry::OpenKey(const QString &path, bool canCreate) {
  const auto key = RegistryKey::FromPath(path);
  if (!key) return false;
  const bool opened = canCreate ? store_->CreateKey(*key) : store_->KeyOpenable(*key);
  if (!opened) return false;
  CloseKey();
  current_ = key;
  currentPath_ = path;
  return true;
}

QString TRegistry::ReadString(const QString &name) {
  if (!current_) return QString();
  bool failed = false;
  const QVariant value = store_->Value(*current_, name, failed);
  if (failed) throw ERegistryException("Failed to get data for '" + name.toStdString() + "'");
  if (!value.isValid()) return QString();
  if (value.typeId() != QMetaType::QString)
    throw ERegistryException("Invalid data type for '" + name.toStdString() + "'");
  const QString text = value.toString();
  const qsizetype nul = text.indexOf(QChar(0));
  return nul < 0 ? text : text.left(nul);
}

void TRegistry::WriteString(const QString &name, const QString &value) {
  if (!current_ || !store_->SetValue(*current_, name, value))
    throw ERegistryException("Failed to set data for '" + name.toStdString() + "'");
}

void TRegistry::CloseKey() {
  current_.reset();
  currentPath_.clear();
}

} // namespace zanthorix
