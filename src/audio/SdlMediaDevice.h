// SPDX-License-Identifier: GPL-3.0-or-later
// The real media device: routes each command to the device of its kind,
// wave sounds (SdlWaveDevice) or MIDI pieces (SdlSequencer), and keeps what
// they share. Audio output and the synthesizer are started on the first open
// that needs them. The output is let go again a little while after the last
// sound has ended, so that a silent game costs nothing, and taken back on
// the next play. Opening and closing it are left to a thread of its own
// (AudioOutput): no command waits on the sound server for longer than a
// moment. One instance per process: SDL's audio is global.
#pragma once

#include "audio/AudioOutput.h"
#include "audio/SdlKind.h"
#include "media/MediaDevice.h"

#include <atomic>
#include <chrono>
#include <memory>

class QTimer;

namespace zanthorix {

class SdlSequencer;
class SdlWaveDevice;

class SdlMediaDevice final : public MediaDevice, private SdlHost {
public:
  // soundfont: the General MIDI soundfont for the sequencer; empty means the
  // system's default one.
  explicit SdlMediaDevice(QString soundfont = QString());
  ~SdlMediaDevice() override;
  SdlMediaDevice(const SdlMediaDevice &) = delete;
  SdlMediaDevice &operator=(const SdlMediaDevice &) = delete;

  MciError Open(const QString &type, const QString &fileName, const MciFlags &flags,
                MciDeviceId &id) override;
  MciError Close(MciDeviceId id, const MciFlags &flags) override;
  MciError Play(MciDeviceId id, const MciFlags &flags) override;
  MciError Stop(MciDeviceId id, const MciFlags &flags) override;
  MciError Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) override;
  MciError Mode(MciDeviceId id, TMPModes &mode) override;
  void EndWaits() override;

  // True while the audio output is held.
  bool AudioActive() const { return output_->Held(); }
  // How long the output is kept after the last sound has ended.
  void SetReleaseDelay(std::chrono::milliseconds delay);

private:
  // The open device of that identifier, null if none.
  SdlKind *Kind(MciDeviceId id);
  // Stop or seek: the kind's command, then the notification.
  template <class F> MciError StopOrSeek(MciDeviceId id, const MciFlags &flags, F command);
  AudioOutput &Output() override { return *output_; }
  bool Claim() override;
  AudioOutput::Status StartAudio(AudioOutput::Next next) override;
  bool WaitsEnded() const override { return waitsEnded_; }
  MciDeviceId NextId() override;
  void PostScheduleRelease() override;
  // Lets the output go when nothing may sound; UI thread only.
  void ReleaseAudio();
  // Lets the output go after the delay if nothing sounds by then.
  void ScheduleRelease();
  bool Silent();
  static void OnChannelFinished(int channel);
  static void MusicHook(void *self, std::uint8_t *stream, int len);
  static void OnOutputLost(void *self);

  std::unique_ptr<QTimer> releaseTimer_;
  std::unique_ptr<AudioOutput> output_;
  std::atomic<bool> waitsEnded_{false};
  MciDeviceId nextId_ = 1;
  std::unique_ptr<SdlWaveDevice> wave_;
  std::unique_ptr<SdlSequencer> sequencer_;
};

} // namespace zanthorix
