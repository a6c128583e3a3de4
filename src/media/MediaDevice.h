// SPDX-License-Identifier: GPL-3.0-or-later
// The media device layer under TMediaPlayer: open a device of a type on a
// file, then play, stop, seek, ask its mode and close it. Every command
// returns an error code (0 = success) and may ask for a completion
// notification, which is posted to a QObject on the UI thread's event queue.
#pragma once

#include <QEvent>
#include <QString>

#include <cstdint>
#include <mutex>

class QObject;

namespace zanthorix {

using MciError = std::uint32_t;
using MciDeviceId = std::uint16_t;

// Our own error codes; each has a text (MediaErrorText).
enum : MciError {
  kMciNoError = 0,
  kMciErrNoAudioOutput = 301,
  kMciErrFileNotFound = 302,
  kMciErrNotWaveFile = 303,
  kMciErrNotMidiFile = 304,
  kMciErrNoSoundfont = 305,
  kMciErrDeviceBusy = 306,
  kMciErrInvalidDeviceId = 307,
  kMciErrUnknownDeviceType = 308,
  kMciErrCannotReadFile = 309,
  kMciErrDeviceFailed = 310,
};

// The text of one of our codes; empty for a code that has none.
QString MediaErrorText(MciError code);

// Mode as the player reports it.
enum TMPModes { mpNotReady, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };

// How a command with the notify flag ended.
enum class MciNotifyOutcome { Successful, Superseded, Aborted, Failure };

// Posted to the command's callback object when its command completes.
class MciNotifyEvent : public QEvent {
public:
  static QEvent::Type EventType();
  MciNotifyEvent(MciNotifyOutcome outcome, MciDeviceId device)
      : QEvent(EventType()), outcome(outcome), device(device) {}
  const MciNotifyOutcome outcome;
  const MciDeviceId device;
};

// The flags a command carries, and where its notification goes.
struct MciFlags {
  bool notify = false;
  bool wait = false;
  QObject *callback = nullptr;
};

class MediaDevice {
public:
  virtual ~MediaDevice() = default;
  // type is "WaveAudio" or "Sequencer"; on success id is the new device.
  virtual MciError Open(const QString &type, const QString &fileName, const MciFlags &flags,
                        MciDeviceId &id) = 0;
  virtual MciError Close(MciDeviceId id, const MciFlags &flags) = 0;
  // Plays from the current position.
  virtual MciError Play(MciDeviceId id, const MciFlags &flags) = 0;
  virtual MciError Stop(MciDeviceId id, const MciFlags &flags) = 0;
  virtual MciError Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) = 0;
  virtual MciError Mode(MciDeviceId id, TMPModes &mode) = 0;
  // Empty when the code has no text.
  virtual QString ErrorText(MciError code) { return MediaErrorText(code); }
  // The game is ending: a waiting play returns at once, and later ones do
  // not wait. Called from a signal handler, so async-signal-safe.
  virtual void EndWaits() {}
};

// A machine without sound: nothing opens.
class NoMediaDevice final : public MediaDevice {
public:
  MciError Open(const QString &, const QString &, const MciFlags &, MciDeviceId &) override {
    return kMciErrNoAudioOutput;
  }
  MciError Close(MciDeviceId, const MciFlags &) override { return kMciErrInvalidDeviceId; }
  MciError Play(MciDeviceId, const MciFlags &) override { return kMciErrInvalidDeviceId; }
  MciError Stop(MciDeviceId, const MciFlags &) override { return kMciErrInvalidDeviceId; }
  MciError Seek(MciDeviceId, std::int32_t, const MciFlags &) override {
    return kMciErrInvalidDeviceId;
  }
  MciError Mode(MciDeviceId, TMPModes &) override { return kMciErrInvalidDeviceId; }
};

// The one notification a device may have outstanding. A new request
// supersedes the old one; Fire ends it. Safe to use from the audio thread.
class NotifySlot {
public:
  // Takes over a command's notify flag; a pending one is superseded.
  void Arm(const MciFlags &flags, MciDeviceId id);
  // Ends the pending notification, if any, with the outcome.
  void Fire(MciNotifyOutcome outcome);
  // Forgets the pending notification without posting it.
  void Drop();
  bool Pending() const;

private:
  mutable std::mutex mutex_;
  QObject *target_ = nullptr;
  MciDeviceId id_ = 0;
};

// Posts a notification at once (for a command that has already completed).
void PostNotify(QObject *target, MciNotifyOutcome outcome, MciDeviceId id);

} // namespace zanthorix
