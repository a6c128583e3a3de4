// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user settings store, reached the way the game reaches the
// registry: a key under the current user, text values in it.
#pragma once

#include <QString>
#include <QVariant>

#include <optional>
#include <stdexcept>

namespace zanthorix {

// "Software\<Organisation>\<Application>\<Subkey>" as Qt's settings see it.
struct RegistryKey {
  QString organisation;
  QString application;
  QString group;
  bool operator==(const RegistryKey &) const = default;
  // Empty when path is not of that shape.
  static std::optional<RegistryKey> FromPath(const QString &path);
};

// Where the keys live; tests put a double in its place to make it fail.
class SettingsStore {
public:
  virtual ~SettingsStore() = default;
  // The key exists and may be written; creates nothing.
  virtual bool KeyOpenable(const RegistryKey &key) = 0;
  // Makes sure the key can be written, creating what is missing.
  virtual bool CreateKey(const RegistryKey &key) = 0;
  // An invalid QVariant when there is no such value; failed when the store
  // could not be read.
  virtual QVariant Value(const RegistryKey &key, const QString &name, bool &failed) = 0;
  virtual bool SetValue(const RegistryKey &key, const QString &name, const QString &text) = 0;
};

// The current user's own store: the registry itself on Windows, QSettings'
// file elsewhere.
class NativeSettingsStore : public SettingsStore {
public:
  bool KeyOpenable(const RegistryKey &key) override;
  bool CreateKey(const RegistryKey &key) override;
  QVariant Value(const RegistryKey &key, const QString &name, bool &failed) override;
  bool SetValue(const RegistryKey &key, const QString &name, const QString &text) override;
};

class ERegistryException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// An accessor holding at most one open key of the current user's store.
class TRegistry {
public:
  // Uses the real store when given none.
  explicit TRegistry(SettingsStore *store = nullptr);
  ~TRegistry();
  TRegistry(const TRegistry &) = delete;
  TRegistry &operator=(const TRegistry &) = delete;

  // Opening asks for write access too: a key that cannot be written counts
  // as missing. On failure the key open before stays open.
  bool OpenKey(const QString &path, bool canCreate);
  // Empty when no key is open or the value is missing; cut at the first NUL.
  QString ReadString(const QString &name);
  void WriteString(const QString &name, const QString &value);
  void CloseKey();

  QString CurrentPath() const { return currentPath_; }

private:
  SettingsStore *store_;
  std::optional<RegistryKey> current_;
  QString currentPath_;
};

} // namespace zanthorix
