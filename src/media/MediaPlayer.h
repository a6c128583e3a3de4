// SPDX-License-Identifier: GPL-3.0-or-later
// TMediaPlayer: one media device, driven by commands with one-shot notify
// and wait requests, reporting completions through OnNotify.
#pragma once

#include "media/MediaDevice.h"

#include <QObject>

#include <functional>
#include <stdexcept>

namespace zanthorix {

class EMCIDeviceError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum class TMPDeviceTypes { dtWaveAudio, dtSequencer };

class TMediaPlayer : public QObject {
  Q_OBJECT
public:
  TMediaPlayer(MediaDevice &device, TMPDeviceTypes type, QObject *parent = nullptr);
  // An open device is closed with the player.
  ~TMediaPlayer() override;

  QString FileName;
  const TMPDeviceTypes DeviceType;
  std::int32_t StartPos = 0;
  std::function<void(QObject *sender)> OnNotify;

  void Open();
  void Close();
  void Play();
  void Stop();
  void Seek(std::int32_t position);
  TMPModes Mode();

  // One-shot: the next command carries the notify or wait flag as asked.
  void SetNotify(bool value);
  void SetWait(bool value);

  bool IsOpen() const { return open_; }
  MciDeviceId DeviceID() const { return deviceId_; }
  std::int32_t Error() const { return static_cast<std::int32_t>(error_); }
  QString ErrorMessage() const;

protected:
  bool event(QEvent *event) override;

private:
  struct Request {
    bool value = false;
    bool pending = false;
  };
  // The flags of the next command: a pending request, else the default.
  MciFlags TakeFlags(bool defaultNotify, bool defaultWait);
  void RequireOpen() const;

  MediaDevice &device_;
  bool open_ = false;
  MciDeviceId deviceId_ = 0;
  // The device of the latest open, kept after a close; 0 when it failed.
  // Notifications carry the device they came from, and one of an earlier
  // open may still be queued when the next open is made.
  MciDeviceId latestOpen_ = 0;
  MciError error_ = kMciNoError;
  Request notify_, wait_;
};

QString DeviceTypeName(TMPDeviceTypes type);

} // namespace zanthorix
