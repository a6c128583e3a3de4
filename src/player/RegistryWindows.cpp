// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store's keys are the registry's own: QSettings reaches the key
// HKEY_CURRENT_USER\Software\<Organisation>\<Application>\<Subkey>. QSettings
// creates a key whenever it reads one, so opening asks the registry itself.
#include "player/Registry.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <QSettings>

namespace zanthorix {

namespace {

std::wstring KeyPath(const RegistryKey &key) {
  QString path =
      QStringLiteral("Software\\%1\\%2\\%3").arg(key.organisation, key.application, key.group);
  path.replace(QLatin1Char('/'), QLatin1Char('\\'));
  return path.toStdWString();
}

} // namespace

bool QSettingsStore::KeyOpenable(const RegistryKey &key) {
  // Full access, as the game has always asked: a key it may read but not
  // write counts as missing.
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, KEY_ALL_ACCESS, &handle) !=
      ERROR_SUCCESS)
    return false;
  ::RegCloseKey(handle);
  return true;
}

bool QSettingsStore::CreateKey(const RegistryKey &key) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(handle);
  return true;
}

bool QSettingsStore::SetValue(const RegistryKey &key, const QString &name, const QString &text) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                     key.application);
  settings.beginGroup(key.group);
  // The same text again leaves the stored value as it is.
  if (settings.value(name) == QVariant(text)) return true;
  settings.setValue(name, text);
  settings.sync();
  return settings.status() == QSettings::NoError;
}

} // namespace zanthorix
