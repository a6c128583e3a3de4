// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaPlayer.h"

namespace zanthorix {

QString DeviceTypeName(TMPDeviceTypes type) {
  return type == TMPDeviceTypes::dtWaveAudio ? QStringLiteral("WaveAudio")
                                             : QStringLiteral("Sequencer");
}

TMediaPlayer::TMediaPlayer(MediaDevice &device, TMPDeviceTypes type, QObject *parent)
    : QObject(parent), DeviceType(type), device_(device) {}

TMediaPlayer::~TMediaPlayer() {
  // The device must not post to a player that is gone.
  if (open_) device_.Close(deviceId_, MciFlags{false, true, nullptr});
}

MciFlags TMediaPlayer::TakeFlags(bool defaultNotify, bool defaultWait) {
  MciFlags flags{defaultNotify, defaultWait, this};
  if (notify_.pending) flags.notify = notify_.value;
  if (wait_.pending) flags.wait = wait_.value;
  notify_.pending = wait_.pending = false;
  return flags;
}

void TMediaPlayer::RequireOpen() const {
  if (!open_) throw EMCIDeviceError("No MCI device open");
}

void TMediaPlayer::SetNotify(bool value) { notify_ = {value, true}; }
void TMediaPlayer::SetWait(bool value) { wait_ = {value, true}; }

void TMediaPlayer::Open() {
  if (open_) Close();
  const MciFlags flags = TakeFlags(false, true);
  MciDeviceId id = 0;
  latestOpen_ = 0;
  error_ = device_.Open(DeviceTypeName(DeviceType), FileName, flags, id);
  if (error_ != kMciNoError) throw EMCIDeviceError(ErrorMessage().toStdString());
  open_ = true;
  deviceId_ = latestOpen_ = id;
}

void TMediaPlayer::Close() {
  if (!open_) return;
  error_ = device_.Close(deviceId_, TakeFlags(false, true));
  if (error_ == kMciNoError) {
    open_ = false;
    deviceId_ = 0;
  }
}

void TMediaPlayer::Play() {
  RequireOpen();
  error_ = device_.Play(deviceId_, TakeFlags(true, false));
}

void TMediaPlayer::Stop() {
  RequireOpen();
  error_ = device_.Stop(deviceId_, TakeFlags(false, true));
}

void TMediaPlayer::Seek(std::int32_t position) {
  RequireOpen();
  error_ = device_.Seek(deviceId_, position, TakeFlags(false, true));
}

TMPModes TMediaPlayer::Mode() {
  TMPModes mode = mpNotReady;
  error_ = device_.Mode(deviceId_, mode);
  if (error_ != kMciNoError || (!open_ && mode == mpPlaying)) return mpNotReady;
  return mode;
}

QString TMediaPlayer::ErrorMessage() const {
  const QString text = device_.ErrorText(error_);
  return text.isEmpty() ? QStringLiteral("Unknown error code") : text;
}

bool TMediaPlayer::event(QEvent *event) {
  if (event->type() != MciNotifyEvent::EventType()) return QObject::event(event);
  // Left over from an earlier open: that sound has been dealt with already.
  if (static_cast<MciNotifyEvent *>(event)->device != latestOpen_) return true;
  if (OnNotify) OnNotify(this);
  return true;
}

} // namespace zanthorix
