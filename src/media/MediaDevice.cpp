// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaDevice.h"

#include <QCoreApplication>

namespace zanthorix {

QString MediaErrorText(MciError code) {
  switch (code) {
  case kMciNoError:
    return QStringLiteral("The command completed successfully");
  case kMciErrNoAudioOutput:
    return QStringLiteral("No sound output is available on this computer");
  case kMciErrFileNotFound:
    return QStringLiteral("The file could not be found");
  case kMciErrNotWaveFile:
    return QStringLiteral("The file is not a valid wave file");
  case kMciErrNotMidiFile:
    return QStringLiteral("The file is not a valid MIDI file");
  case kMciErrNoSoundfont:
    return QStringLiteral("No General MIDI soundfont is installed to play music with");
  case kMciErrDeviceBusy:
    return QStringLiteral("The device is already in use");
  case kMciErrInvalidDeviceId:
    return QStringLiteral("The device is not open");
  case kMciErrUnknownDeviceType:
    return QStringLiteral("There is no device of this type");
  case kMciErrCannotReadFile:
    return QStringLiteral("The file could not be read");
  case kMciErrDeviceFailed:
    return QStringLiteral("The device failed to carry out the command");
  default:
    return QString();
  }
}

// A fixed number rather than a registered one: the audio module, loaded
// later, posts these events with its own copy of this code.
QEvent::Type MciNotifyEvent::EventType() {
  return static_cast<QEvent::Type>(QEvent::User + 0x4d43);
}

void PostNotify(QObject *target, MciNotifyOutcome outcome, MciDeviceId id) {
  if (target) QCoreApplication::postEvent(target, new MciNotifyEvent(outcome, id));
}

void NotifySlot::Arm(const MciFlags &flags, MciDeviceId id) {
  if (!flags.notify) return;
  std::lock_guard lock(mutex_);
  PostNotify(target_, MciNotifyOutcome::Superseded, id_);
  target_ = flags.callback;
  id_ = id;
}

void NotifySlot::Fire(MciNotifyOutcome outcome) {
  std::lock_guard lock(mutex_);
  PostNotify(target_, outcome, id_);
  target_ = nullptr;
}

void NotifySlot::Drop() {
  std::lock_guard lock(mutex_);
  target_ = nullptr;
}

bool NotifySlot::Pending() const {
  std::lock_guard lock(mutex_);
  return target_ != nullptr;
}

} // namespace zanthorix
