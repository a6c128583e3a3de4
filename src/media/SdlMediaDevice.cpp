// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/SdlMediaDevice.h"

#include "media/MidiFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <SDL.h>
#include <SDL_mixer.h>
#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

namespace zanthorix {

namespace {

constexpr int kWaveChannel = AudioOutput::WaveChannel;
constexpr int kFrequency = AudioOutput::Frequency;
// How much longer than its length a waiting play may take before we give
// up on the driver.
constexpr auto kWaveGrace = std::chrono::seconds(2);
// An output that has asked for no sound for this long is not playing: the
// sink is suspended or the server has stopped. The audio thread asks every
// 11.6 ms.
constexpr auto kStall = std::chrono::milliseconds(250);
// How long a command waits for the output to open. Opening takes 10 to 40 ms;
// a server that needs longer is stuck, and later commands do not wait again
// until it has answered.
constexpr auto kOpenWait = std::chrono::milliseconds(500);
// Waits are cut into slices, so that the end of the game can end them.
constexpr auto kWaitSlice = std::chrono::milliseconds(10);
// Levels at the output (docs/PERFORMANCE.md tells how they were measured):
// the music's RMS about -25 dBFS, and its loudest peak plus a pop's under
// full scale, so that a pop over a loud passage does not clip.
constexpr double kMusicGain = 0.8; // the synthesizer's default is 0.2
// Five milliseconds: long enough not to click, too short to hear as a fade.
constexpr int kFadeFrames = kFrequency / 200;
constexpr auto kLongestPiece = std::chrono::minutes(30);
// Long enough that a quick run of clicks keeps the output, so that only the
// first sound after a pause pays for opening it again.
constexpr auto kReleaseDelay = std::chrono::milliseconds(1500);
// Larger files are refused as invalid: a sound of three minutes in CD
// quality, a piece far longer than any tune. Read whole, and the mixer and the
// synthesizer make copies several times their size.
constexpr qint64 kLargestWave = 32 << 20;
constexpr qint64 kLargestMidi = 8 << 20;

std::atomic<SdlMediaDevice *> current{nullptr};

QString DefaultSoundfont() { return QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"); }

// Reads a file of at most `largest` bytes; a larger one is `tooLarge`.
MciError ReadFile(const QString &fileName, qint64 largest, MciError tooLarge, QByteArray &bytes) {
  const QFileInfo info(fileName);
  if (!info.isFile()) return kMciErrFileNotFound;
  if (info.size() > largest) return tooLarge;
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return kMciErrCannotReadFile;
  bytes = file.read(largest + 1); // it may have grown since
  if (file.error() != QFileDevice::NoError) return kMciErrCannotReadFile;
  if (bytes.size() > largest) return tooLarge;
  return kMciNoError;
}

// Runs its function when the scope ends, however it ends.
template <class F> struct Finally {
  F f;
  ~Finally() { f(); }
};
// Clang before 17 deduces no template arguments for an aggregate by itself.
template <class F> Finally(F) -> Finally<F>;

} // namespace

SdlMediaDevice::SdlMediaDevice(QString soundfont)
    : soundfont_(soundfont.isEmpty() ? DefaultSoundfont() : std::move(soundfont)),
      releaseTimer_(std::make_unique<QTimer>()),
      output_(std::make_unique<AudioOutput>(
          AudioOutput::Client{&SdlMediaDevice::MusicHook, &SdlMediaDevice::OnChannelFinished,
                              &SdlMediaDevice::OnOutputLost, this})) {
  releaseTimer_->setSingleShot(true);
  releaseTimer_->setInterval(kReleaseDelay);
  QObject::connect(releaseTimer_.get(), &QTimer::timeout, [this] {
    if (Silent()) ReleaseAudio();
  });
}

SdlMediaDevice::~SdlMediaDevice() {
  releaseTimer_->stop();
  FinishSynth();
  waveSlot_.Drop();
  seqSlot_.Drop();
  // The sound and the piece may outlive the output that played them.
  CloseWave();
  CloseSequencer();
  // Once the output is gone nothing calls back into the synthesizer.
  output_->Shutdown();
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
  SdlMediaDevice *self = this;
  current.compare_exchange_strong(self, nullptr);
}

bool SdlMediaDevice::IsWaveFile(const QByteArray &bytes) {
  return bytes.size() >= 12 && std::memcmp(bytes.constData(), "RIFF", 4) == 0 &&
         std::memcmp(bytes.constData() + 8, "WAVE", 4) == 0;
}

bool SdlMediaDevice::Claim() {
  SdlMediaDevice *none = nullptr;
  return current.compare_exchange_strong(none, this) || none == this;
}

AudioOutput::Status SdlMediaDevice::StartAudio() {
  return output_->Acquire(waitsEnded_ ? std::chrono::milliseconds(0) : kOpenWait);
}

// The chunk, the synthesizer and the player stay: the output comes back with
// the same format, and the piece goes on from where it was.
void SdlMediaDevice::ReleaseAudio() {
  releaseTimer_->stop();
  output_->Release();
}

void SdlMediaDevice::ScheduleRelease() {
  if (output_->Wanted()) releaseTimer_->start();
}

void SdlMediaDevice::PostScheduleRelease() {
  QMetaObject::invokeMethod(
      releaseTimer_.get(), [this] { ScheduleRelease(); }, Qt::QueuedConnection);
}

// Only the UI thread starts a sound, so silence seen here lasts until it does.
bool SdlMediaDevice::Silent() {
  {
    std::lock_guard lock(waveMutex_);
    if (wavePlaying_) return false;
  }
  std::lock_guard lock(seqMutex_);
  return !seqPlaying_;
}

void SdlMediaDevice::SetReleaseDelay(std::chrono::milliseconds delay) {
  releaseTimer_->setInterval(delay);
}

void SdlMediaDevice::EndWaits() { waitsEnded_ = true; }

MciError SdlMediaDevice::BeginSynth() {
  if (synth_ || loader_.joinable()) return kMciNoError;
  if (loadFailed_ || !QFileInfo(soundfont_).isFile()) return kMciErrNoSoundfont;
  // The game writes nothing to the terminal, and neither may the synthesizer.
  for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
    fluid_set_log_function(level, nullptr, nullptr);
  const QByteArray path = QFile::encodeName(soundfont_);
  loader_ = std::thread([this, path] {
    fluid_settings_t *settings = new_fluid_settings();
    fluid_synth_t *synth = nullptr;
    if (settings) {
      // The output never changes its rate: it is opened without format changes.
      fluid_settings_setnum(settings, "synth.sample-rate", kFrequency);
      fluid_settings_setstr(settings, "player.timing-source", "sample");
      fluid_settings_setnum(settings, "synth.gain", kMusicGain);
      synth = new_fluid_synth(settings);
    }
    if (synth && fluid_synth_sfload(synth, path.constData(), 1) == FLUID_FAILED) {
      delete_fluid_synth(synth);
      synth = nullptr;
    }
    if (!synth && settings) {
      delete_fluid_settings(settings);
      settings = nullptr;
    }
    // Read only after the join.
    loadedSettings_ = settings;
    loadedSynth_ = synth;
  });
  return kMciNoError;
}

MciError SdlMediaDevice::FinishSynth() {
  if (loader_.joinable()) {
    loader_.join();
    std::lock_guard lock(seqMutex_);
    settings_ = loadedSettings_;
    synth_ = loadedSynth_;
    loadedSettings_ = nullptr;
    loadedSynth_ = nullptr;
    loadFailed_ = synth_ == nullptr;
  }
  return synth_ ? kMciNoError : kMciErrNoSoundfont;
}

MciError SdlMediaDevice::RequirePlayer() {
  if (const MciError error = FinishSynth()) return error;
  std::lock_guard lock(seqMutex_);
  if (player_) return kMciNoError;
  fluid_player_t *player = new_fluid_player(synth_);
  if (!player) return kMciErrDeviceFailed;
  if (fluid_player_add_mem(player, midi_.constData(), size_t(midi_.size())) != FLUID_OK) {
    delete_fluid_player(player);
    return kMciErrNotMidiFile;
  }
  player_ = player;
  return kMciNoError;
}

MciError SdlMediaDevice::Open(const QString &type, const QString &fileName, const MciFlags &flags,
                              MciDeviceId &id) {
  const Finally later{[this] { ScheduleRelease(); }};
  MciError error = kMciErrUnknownDeviceType;
  if (type == QLatin1String("WaveAudio")) error = OpenWave(fileName, id);
  if (type == QLatin1String("Sequencer")) error = OpenSequencer(fileName, id);
  if (flags.notify)
    PostNotify(flags.callback, error ? MciNotifyOutcome::Failure : MciNotifyOutcome::Successful,
               id);
  return error;
}

// Identifiers are never 0, which means "not open".
MciDeviceId SdlMediaDevice::NextId() {
  const MciDeviceId id = nextId_++;
  if (nextId_ == 0) nextId_ = 1;
  return id;
}

MciError SdlMediaDevice::OpenWave(const QString &fileName, MciDeviceId &id) {
  if (waveId_) return kMciErrDeviceBusy;
  QByteArray bytes;
  if (const MciError error = ReadFile(fileName, kLargestWave, kMciErrNotWaveFile, bytes))
    return error;
  // The mixer would take other formats too; this device plays wave files only.
  if (!IsWaveFile(bytes)) return kMciErrNotWaveFile;
  if (!Claim()) return kMciErrDeviceBusy;
  // A server that does not answer in time leaves the sound to its play.
  if (StartAudio() == AudioOutput::Status::Refused) return kMciErrNoAudioOutput;
  {
    std::lock_guard lock(waveMutex_);
    wave_ = bytes;
    wavePlaying_ = false;
  }
  MciError error = kMciNoError;
  if (!RequireChunk(error) && error) {
    std::lock_guard lock(waveMutex_);
    wave_.clear();
    return error;
  }
  std::lock_guard lock(waveMutex_);
  waveId_ = id = NextId();
  return kMciNoError;
}

bool SdlMediaDevice::RequireChunk(MciError &error) {
  error = kMciNoError;
  if (chunk_) return true;
  Mix_Chunk *chunk = nullptr;
  const bool open = output_->WithMixer([&] {
    SDL_RWops *rw = SDL_RWFromConstMem(wave_.constData(), int(wave_.size()));
    chunk = rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
  });
  if (!open) return false;
  if (!chunk) {
    error = kMciErrNotWaveFile;
    return false;
  }
  std::lock_guard lock(waveMutex_);
  chunk_ = chunk;
  wave_.clear();
  return true;
}

MciError SdlMediaDevice::OpenSequencer(const QString &fileName, MciDeviceId &id) {
  if (seqId_) return kMciErrDeviceBusy;
  QByteArray bytes;
  if (const MciError error = ReadFile(fileName, kLargestMidi, kMciErrNotMidiFile, bytes))
    return error;
  // The player itself takes anything and only fails later, on the audio thread.
  if (!IsMidiFile(bytes.constData(), size_t(bytes.size()))) return kMciErrNotMidiFile;
  if (!Claim()) return kMciErrDeviceBusy;
  if (StartAudio() == AudioOutput::Status::Refused) return kMciErrNoAudioOutput;
  if (const MciError error = BeginSynth()) return error;

  std::lock_guard lock(seqMutex_);
  midi_ = bytes;
  seqPlaying_ = armed_ = atEnd_ = false;
  queue_.clear();
  seqId_ = id = NextId();
  return kMciNoError;
}

MciError SdlMediaDevice::Close(MciDeviceId id, const MciFlags &flags) {
  if (id == 0 || (id != waveId_ && id != seqId_)) return kMciErrInvalidDeviceId;
  const Finally later{[this] { ScheduleRelease(); }};
  if (id == waveId_) {
    if (HaltWave()) waveSlot_.Fire(MciNotifyOutcome::Aborted);
    CloseWave();
  } else {
    CloseSequencer();
  }
  if (flags.notify) PostNotify(flags.callback, MciNotifyOutcome::Successful, id);
  return kMciNoError;
}

bool SdlMediaDevice::HaltWave() {
  bool wasPlaying = false;
  {
    std::lock_guard lock(waveMutex_);
    wasPlaying = wavePlaying_;
    wavePlaying_ = false;
  }
  // The finished callback may run on this thread now: no lock of ours held.
  // A closed output has no sound on its channel.
  if (wasPlaying) output_->WithMixer([] { Mix_HaltChannel(kWaveChannel); });
  waveEnded_.notify_all();
  return wasPlaying;
}

void SdlMediaDevice::CloseWave() {
  HaltWave();
  Mix_Chunk *chunk = nullptr;
  {
    std::lock_guard lock(waveMutex_);
    chunk = chunk_;
    chunk_ = nullptr;
    wave_.clear();
    waveId_ = 0;
  }
  output_->Free(chunk);
  waveSlot_.Drop();
}

void SdlMediaDevice::CloseSequencer() {
  FinishSynth();
  bool wasPlaying = false;
  {
    std::lock_guard lock(seqMutex_);
    wasPlaying = seqPlaying_;
    seqPlaying_ = false;
    queue_.clear();
    if (player_) {
      fluid_player_stop(player_);
      // The hook cannot be inside the player while we hold the lock.
      delete_fluid_player(player_);
      player_ = nullptr;
      fluid_synth_all_sounds_off(synth_, -1);
    }
    seqId_ = 0;
    midi_.clear();
  }
  seqEnded_.notify_all();
  if (wasPlaying) seqSlot_.Fire(MciNotifyOutcome::Aborted);
  seqSlot_.Drop();
}

// Plays the sound and, when asked to, waits for its end: the sound's length
// while the output takes sound, a moment when it stops taking any.
MciError SdlMediaDevice::PlayWave(MciDeviceId id, const MciFlags &flags) {
  const auto fail = [&](MciError error) {
    waveSlot_.Arm(flags, id);
    waveSlot_.Fire(MciNotifyOutcome::Failure);
    return error;
  };
  const AudioOutput::Status status = StartAudio();
  if (status == AudioOutput::Status::Refused) return fail(kMciErrNoAudioOutput);
  MciError error = kMciNoError;
  if (status == AudioOutput::Status::Busy || !RequireChunk(error))
    return fail(error ? error : kMciErrDeviceFailed);
  // Suspended: nothing would be heard, and nothing would end the sound.
  if (output_->Stalled(kStall)) return fail(kMciErrDeviceFailed);

  std::unique_lock lock(waveMutex_);
  waveSlot_.Arm(flags, id);
  if (!wavePlaying_) {
    wavePlaying_ = true;
    lock.unlock();
    bool started = false;
    output_->WithMixer([&] { started = Mix_PlayChannel(kWaveChannel, chunk_, 0) >= 0; });
    lock.lock();
    if (!started) {
      wavePlaying_ = false;
      lock.unlock();
      waveSlot_.Fire(MciNotifyOutcome::Failure);
      return kMciErrDeviceFailed;
    }
  }
  if (!flags.wait) return kMciNoError;
  const auto length =
      std::chrono::milliseconds(std::int64_t(chunk_->alen) * 1000 / (std::int64_t(kFrequency) * 4));
  const auto giveUp = std::chrono::steady_clock::now() + length + kWaveGrace;
  while (wavePlaying_) {
    // The game is ending: the sound plays on until the window closes it.
    if (waitsEnded_) return kMciNoError;
    if (std::chrono::steady_clock::now() > giveUp || output_->Stalled(kStall)) {
      // The driver never told us the end: do not hold the game any longer.
      lock.unlock();
      HaltWave();
      waveSlot_.Fire(MciNotifyOutcome::Failure);
      return kMciErrDeviceFailed;
    }
    waveEnded_.wait_for(lock, kWaitSlice);
  }
  return kMciNoError;
}

MciError SdlMediaDevice::Play(MciDeviceId id, const MciFlags &flags) {
  const Finally later{[this] { ScheduleRelease(); }};
  if (id != 0 && id == waveId_) return PlayWave(id, flags);
  if (id != 0 && id == seqId_) {
    if (const MciError error = RequirePlayer()) return error;
    // Without an output the piece waits for one: the output is kept wanted,
    // and the music starts as soon as the sound server lets it.
    StartAudio();
    seqSlot_.Arm(flags, id);
    std::unique_lock lock(seqMutex_);
    if (!seqPlaying_) {
      seqPlaying_ = true;
      armed_ = false;
      queue_.push_back({SeqCommand::Play, 0});
    }
    if (!flags.wait) return kMciNoError;
    const auto giveUp = std::chrono::steady_clock::now() + kLongestPiece;
    while (seqPlaying_ && !waitsEnded_ && std::chrono::steady_clock::now() < giveUp)
      seqEnded_.wait_for(lock, kWaitSlice);
    return kMciNoError;
  }
  return kMciErrInvalidDeviceId;
}

MciError SdlMediaDevice::Stop(MciDeviceId id, const MciFlags &flags) {
  const Finally later{[this] { ScheduleRelease(); }};
  bool wasPlaying = false;
  if (id != 0 && id == waveId_) {
    if (HaltWave()) waveSlot_.Fire(MciNotifyOutcome::Aborted);
  } else if (id != 0 && id == seqId_) {
    if (const MciError error = RequirePlayer()) return error;
    {
      std::lock_guard lock(seqMutex_);
      wasPlaying = seqPlaying_;
      seqPlaying_ = false;
      if (wasPlaying) queue_.push_back({SeqCommand::Stop, 0});
    }
    seqEnded_.notify_all();
    if (wasPlaying) seqSlot_.Fire(MciNotifyOutcome::Aborted);
  } else {
    return kMciErrInvalidDeviceId;
  }
  if (flags.notify) PostNotify(flags.callback, MciNotifyOutcome::Successful, id);
  return kMciNoError;
}

MciError SdlMediaDevice::Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) {
  if (to < 0) return kMciErrDeviceFailed;
  const Finally later{[this] { ScheduleRelease(); }};
  if (id != 0 && id == waveId_) {
    // A sound is only ever played whole, so a seek just stops it.
    if (HaltWave()) waveSlot_.Fire(MciNotifyOutcome::Aborted);
  } else if (id != 0 && id == seqId_) {
    if (const MciError error = RequirePlayer()) return error;
    bool wasPlaying = false;
    {
      std::lock_guard lock(seqMutex_);
      wasPlaying = seqPlaying_;
      seqPlaying_ = false;
      atEnd_ = false;
      if (wasPlaying) queue_.push_back({SeqCommand::Stop, 0});
      queue_.push_back({SeqCommand::Seek, int(to)});
    }
    seqEnded_.notify_all();
    if (wasPlaying) seqSlot_.Fire(MciNotifyOutcome::Aborted);
  } else {
    return kMciErrInvalidDeviceId;
  }
  if (flags.notify) PostNotify(flags.callback, MciNotifyOutcome::Successful, id);
  return kMciNoError;
}

MciError SdlMediaDevice::Mode(MciDeviceId id, TMPModes &mode) {
  if (id != 0 && id == waveId_) {
    std::lock_guard lock(waveMutex_);
    mode = wavePlaying_ ? mpPlaying : mpStopped;
    return kMciNoError;
  }
  if (id != 0 && id == seqId_) {
    std::lock_guard lock(seqMutex_);
    mode = seqPlaying_ ? mpPlaying : mpStopped;
    return kMciNoError;
  }
  return kMciErrInvalidDeviceId;
}

void SdlMediaDevice::OnChannelFinished(int channel) {
  if (channel != kWaveChannel) return;
  if (SdlMediaDevice *self = current.load()) self->ChannelFinished();
}

// On the audio thread, or on ours inside Mix_HaltChannel.
void SdlMediaDevice::ChannelFinished() {
  bool ended = false;
  {
    std::lock_guard lock(waveMutex_);
    ended = wavePlaying_;
    wavePlaying_ = false;
  }
  if (ended) {
    waveSlot_.Fire(MciNotifyOutcome::Successful);
    PostScheduleRelease();
  }
  waveEnded_.notify_all();
}

void SdlMediaDevice::MusicHook(void *self, std::uint8_t *stream, int len) {
  auto *device = static_cast<SdlMediaDevice *>(self);
  device->output_->Beat();
  device->RenderMusic(stream, len);
}

// On the output's thread: a sound that was playing will not end by itself.
// The piece stays where it was and plays on when the output is back.
void SdlMediaDevice::OnOutputLost(void *self) {
  auto *device = static_cast<SdlMediaDevice *>(self);
  bool wasPlaying = false;
  {
    std::lock_guard lock(device->waveMutex_);
    wasPlaying = device->wavePlaying_;
    device->wavePlaying_ = false;
  }
  if (wasPlaying) device->waveSlot_.Fire(MciNotifyOutcome::Failure);
  device->waveEnded_.notify_all();
}

// What sounds now, rendered on for five milliseconds and faded out, so that
// the stop does not cut the wave.
void SdlMediaDevice::FadeOut(unsigned char *stream, int len) {
  const int fade = std::min(len / 4, kFadeFrames);
  fluid_synth_write_s16(synth_, fade, stream, 0, 2, stream, 1, 2);
  auto *samples = reinterpret_cast<std::int16_t *>(stream);
  for (int i = 0; i < fade; ++i)
    for (int channel = 0; channel < 2; ++channel)
      samples[2 * i + channel] = std::int16_t(samples[2 * i + channel] * (fade - 1 - i) / fade);
}

// On the audio thread: run what the UI thread asked for, render, and look
// for the end of the piece.
void SdlMediaDevice::RenderMusic(unsigned char *stream, int len) {
  std::unique_lock lock(seqMutex_);
  if (!player_) return; // the mixer has already filled the stream with silence
  bool faded = false;
  for (const PendingCommand &pending : queue_) {
    switch (pending.command) {
    case SeqCommand::Play:
      fluid_player_play(player_);
      break;
    case SeqCommand::Stop:
      // Faded before the player stops: its stop silences the voices at once.
      if (!faded && fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING) {
        FadeOut(stream, len);
        faded = true;
      }
      fluid_player_stop(player_);
      fluid_synth_all_sounds_off(synth_, -1);
      break;
    case SeqCommand::Seek:
      fluid_player_seek(player_, pending.ticks);
      break;
    }
  }
  const bool playRequested =
      !queue_.empty() && queue_.back().command == SeqCommand::Play && seqPlaying_;
  queue_.clear();

  bool ended = false;
  if (playRequested && atEnd_) {
    // Played again at its end without a seek: it ends at once.
    fluid_player_stop(player_);
    seqPlaying_ = false;
    ended = true;
  }
  const int frames = len / 4;
  // While stopped the synth would only render the silence the mixer already
  // wrote, at a cost in CPU.
  if (!seqPlaying_ && !ended) return;
  fluid_synth_write_s16(synth_, frames, stream, 0, 2, stream, 1, 2);

  const int status = fluid_player_get_status(player_);
  if (seqPlaying_ && status == FLUID_PLAYER_DONE) {
    // The player gave up by itself, e.g. on a file that failed to load.
    seqPlaying_ = false;
    atEnd_ = true;
    ended = true;
  } else if (seqPlaying_ && status == FLUID_PLAYER_PLAYING) {
    const int total = fluid_player_get_total_ticks(player_);
    const int tick = fluid_player_get_current_tick(player_);
    if (tick < total)
      armed_ = true;
    else if (armed_ && total > 0) {
      // The player would linger for seconds after the last note; the piece is over now.
      fluid_player_stop(player_);
      seqPlaying_ = false;
      atEnd_ = true;
      ended = true;
    }
  }
  if (ended) {
    seqSlot_.Fire(MciNotifyOutcome::Successful);
    PostScheduleRelease();
    lock.unlock();
    seqEnded_.notify_all();
  }
}

} // namespace zanthorix
