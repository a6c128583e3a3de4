// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/Registry.h"

namespace zanthorix {

std::optional<RegistryKey> RegistryKey::FromPath(const QString &path) {
  const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  if (parts.size() < 4 || parts[0].compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0)
    return std::nullopt;
  return RegistryKey{parts[1], parts[2], parts.mid(3).join(QLatin1Char('/'))};
}

static SettingsStore &RealStore() {
  static NativeSettingsStore store;
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
