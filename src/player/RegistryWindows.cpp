// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store is the registry itself: the key
// HKEY_CURRENT_USER\Software\<Organisation>\<Application>\<Subkey>, read
// and written with the registry functions. QSettings would not do: it escapes
// a leading "@", reads binary values as text, falls back to the machine's key
// and skips a write of the same text.
#include "player/Registry.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace zanthorix {

namespace {

std::wstring KeyPath(const RegistryKey &key) {
  QString path =
      QStringLiteral("Software\\%1\\%2\\%3").arg(key.organisation, key.application, key.group);
  path.replace(QLatin1Char('/'), QLatin1Char('\\'));
  return path.toStdWString();
}

} // namespace

bool NativeSettingsStore::KeyOpenable(const RegistryKey &key) {
  // Full access, as the game has always asked: a key it may read but not
  // write counts as missing.
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, KEY_ALL_ACCESS, &handle) !=
      ERROR_SUCCESS)
    return false;
  ::RegCloseKey(handle);
  return true;
}

bool NativeSettingsStore::CreateKey(const RegistryKey &key) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(handle);
  return true;
}

QVariant NativeSettingsStore::Value(const RegistryKey &key, const QString &name, bool &failed) {
  failed = false;
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, KEY_QUERY_VALUE, &handle) !=
      ERROR_SUCCESS)
    return {};
  const std::wstring value = name.toStdWString();
  DWORD type = 0;
  DWORD size = 0;
  LONG status = ::RegQueryValueExW(handle, value.c_str(), nullptr, &type, nullptr, &size);
  std::vector<BYTE> data;
  // The value may grow between asking its size and reading it.
  while (status == ERROR_SUCCESS && size > 0) {
    data.resize(size);
    status = ::RegQueryValueExW(handle, value.c_str(), nullptr, &type, data.data(), &size);
    if (status != ERROR_MORE_DATA) break;
    status = ERROR_SUCCESS;
  }
  ::RegCloseKey(handle);
  if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && size == 0)) return {};
  if (status != ERROR_SUCCESS) {
    failed = true;
    return {};
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) // not text: the caller refuses it
    return QByteArray(reinterpret_cast<const char *>(data.data()), qsizetype(size));
  return QString::fromWCharArray(reinterpret_cast<const wchar_t *>(data.data()),
                                 qsizetype(size / sizeof(wchar_t)));
}

bool NativeSettingsStore::SetValue(const RegistryKey &key, const QString &name,
                                   const QString &text) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(key).c_str(), 0, KEY_SET_VALUE, &handle) !=
      ERROR_SUCCESS)
    return false;
  const std::wstring data = text.toStdWString();
  const LONG status = ::RegSetValueExW(handle, name.toStdWString().c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE *>(data.c_str()),
                                       DWORD((data.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

} // namespace zanthorix
