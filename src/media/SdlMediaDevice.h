// SPDX-License-Identifier: GPL-3.0-or-later
// The real media devices: wave sounds as SDL2_mixer chunks on a channel of
// their own, MIDI pieces rendered by FluidSynth into the mixer's music hook.
// Audio output and the synthesizer are started on the first open that needs
// them. The output is let go again a little while after the last sound has
// ended, so that a silent game costs nothing, and taken back on the next
// play. Opening and closing it are left to a thread of its own (AudioOutput):
// no command waits on the sound server for longer than a moment. One
// instance per process: SDL's audio is global.
#pragma once

#include "media/AudioOutput.h"
#include "media/MediaDevice.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <thread>
#include <vector>

class QTimer;
struct Mix_Chunk;
struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_player_t;

namespace zanthorix {

class SdlMediaDevice final : public MediaDevice {
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

  // True when a file is a RIFF wave file.
  static bool IsWaveFile(const QByteArray &bytes);

private:
  enum class SeqCommand { Play, Stop, Seek };
  struct PendingCommand {
    SeqCommand command;
    int ticks;
  };

  // Sound output is the whole program's: one device layer has it.
  bool Claim();
  // The output for a command: Refused when none can be had, Busy when the
  // sound server does not answer in time.
  AudioOutput::Status StartAudio();
  // Lets the output go when nothing may sound; UI thread only.
  void ReleaseAudio();
  // Lets the output go after the delay if nothing sounds by then.
  void ScheduleRelease();
  // From the audio thread: the same, by way of the UI thread.
  void PostScheduleRelease();
  bool Silent();
  // The soundfont loads in the background from the first music open on, so
  // that opening the music does not hold up the first paint; the first
  // command that needs the synthesizer waits for it.
  MciError BeginSynth();
  MciError FinishSynth();
  // The player of the open piece, made on its first command.
  MciError RequirePlayer();
  MciError OpenWave(const QString &fileName, MciDeviceId &id);
  MciError OpenSequencer(const QString &fileName, MciDeviceId &id);
  // The open sound as a chunk in the output's format, made once the output
  // is there; false when it is not.
  bool RequireChunk(MciError &error);
  MciError PlayWave(MciDeviceId id, const MciFlags &flags);
  // Ends the sound on the wave channel; true when it was playing.
  bool HaltWave();
  void CloseWave();
  void CloseSequencer();
  void ChannelFinished();
  void RenderMusic(unsigned char *stream, int len);
  // Renders the start of the buffer from what is sounding, fading to nothing.
  void FadeOut(unsigned char *stream, int len);
  static void OnChannelFinished(int channel);
  static void MusicHook(void *self, std::uint8_t *stream, int len);
  static void OnOutputLost(void *self);

  QString soundfont_;
  std::unique_ptr<QTimer> releaseTimer_;
  std::unique_ptr<AudioOutput> output_;
  std::atomic<bool> waitsEnded_{false};
  MciDeviceId nextId_ = 1;
  MciDeviceId NextId();

  // Wave audio: the reserved channel's state, shared with the audio thread.
  std::mutex waveMutex_;
  std::condition_variable waveEnded_;
  MciDeviceId waveId_ = 0;
  Mix_Chunk *chunk_ = nullptr;
  QByteArray wave_; // the file, until it is a chunk
  bool wavePlaying_ = false;
  NotifySlot waveSlot_;

  // Sequencer: the hook runs the queued commands before it renders.
  std::mutex seqMutex_;
  std::condition_variable seqEnded_;
  std::thread loader_;
  _fluid_hashtable_t *loadedSettings_ = nullptr; // the loader's, until joined
  _fluid_synth_t *loadedSynth_ = nullptr;
  bool loadFailed_ = false;
  _fluid_hashtable_t *settings_ = nullptr;
  _fluid_synth_t *synth_ = nullptr;
  _fluid_player_t *player_ = nullptr;
  MciDeviceId seqId_ = 0;
  QByteArray midi_;
  bool seqPlaying_ = false; // our own flag: the player's DONE means stopped or ended
  bool armed_ = false;      // a tick short of the end has been seen since play
  bool atEnd_ = false;      // ended and not sought since
  std::vector<PendingCommand> queue_;
  std::vector<short> scratch_;
  NotifySlot seqSlot_;
};

} // namespace zanthorix
