// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/SdlSequencer.h"

#include "audio/MediaFile.h"
#include "audio/MidiFile.h"

#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <algorithm>

namespace zanthorix {

namespace {

constexpr int kFrequency = AudioOutput::Frequency;
// Levels at the output (docs/PERFORMANCE.md tells how they were measured):
// the music's RMS about -25 dBFS, and its loudest peak plus a pop's under
// full scale, so that a pop over a loud passage does not clip.
constexpr double kMusicGain = 0.8; // the synthesizer's default is 0.2
// Five milliseconds: long enough not to click, too short to hear as a fade.
constexpr int kFadeFrames = kFrequency / 200;
constexpr auto kLongestPiece = std::chrono::minutes(30);
// Larger files are refused as invalid: a piece far longer than any tune.
// Read whole, and the synthesizer makes copies several times its size.
constexpr qint64 kLargestMidi = 8 << 20;

QString DefaultSoundfont() { return QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"); }

} // namespace

SdlSequencer::SdlSequencer(SdlHost &host, QString soundfont)
    : host_(host), soundfont_(soundfont.isEmpty() ? DefaultSoundfont() : std::move(soundfont)) {}

SdlSequencer::~SdlSequencer() {
  FinishSynth();
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
}

MciError SdlSequencer::BeginSynth() {
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

MciError SdlSequencer::FinishSynth() {
  if (loader_.joinable()) {
    loader_.join();
    std::lock_guard lock(mutex_);
    settings_ = loadedSettings_;
    synth_ = loadedSynth_;
    loadedSettings_ = nullptr;
    loadedSynth_ = nullptr;
    loadFailed_ = synth_ == nullptr;
  }
  return synth_ ? kMciNoError : kMciErrNoSoundfont;
}

MciError SdlSequencer::RequirePlayer() {
  if (const MciError error = FinishSynth()) return error;
  std::lock_guard lock(mutex_);
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

MciError SdlSequencer::Open(const QString &fileName, MciDeviceId &id) {
  if (id_) return kMciErrDeviceBusy;
  QByteArray bytes;
  if (const MciError error = ReadMediaFile(fileName, kLargestMidi, kMciErrNotMidiFile, bytes))
    return error;
  // The player itself takes anything and only fails later, on the audio thread.
  if (!IsMidiFile(bytes.constData(), size_t(bytes.size()))) return kMciErrNotMidiFile;
  if (!host_.Claim()) return kMciErrDeviceBusy;
  if (host_.StartAudio(AudioOutput::Next::Nothing) == AudioOutput::Status::Refused)
    return kMciErrNoAudioOutput;
  if (const MciError error = BeginSynth()) return error;

  std::lock_guard lock(mutex_);
  midi_ = bytes;
  playing_ = armed_ = atEnd_ = false;
  queue_.clear();
  id_ = id = host_.NextId();
  return kMciNoError;
}

void SdlSequencer::Close() {
  FinishSynth();
  bool wasPlaying = false;
  {
    std::lock_guard lock(mutex_);
    wasPlaying = playing_;
    playing_ = false;
    queue_.clear();
    if (player_) {
      fluid_player_stop(player_);
      // The hook cannot be inside the player while we hold the lock.
      delete_fluid_player(player_);
      player_ = nullptr;
      fluid_synth_all_sounds_off(synth_, -1);
    }
    id_ = 0;
    midi_.clear();
  }
  ended_.notify_all();
  if (wasPlaying) slot_.Fire(MciNotifyOutcome::Aborted);
  slot_.Drop();
}

MciError SdlSequencer::Play(const MciFlags &flags) {
  if (const MciError error = RequirePlayer()) return error;
  // Without an output the piece waits for one: the output is kept wanted,
  // and the music starts as soon as the sound server lets it.
  host_.StartAudio(AudioOutput::Next::Nothing);
  slot_.Arm(flags, id_);
  std::unique_lock lock(mutex_);
  if (!playing_) {
    playing_ = true;
    armed_ = false;
    queue_.push_back({Command::Play, 0});
  }
  if (!flags.wait) return kMciNoError;
  const auto giveUp = std::chrono::steady_clock::now() + kLongestPiece;
  while (playing_ && !host_.WaitsEnded() && std::chrono::steady_clock::now() < giveUp)
    ended_.wait_for(lock, kWaitSlice);
  return kMciNoError;
}

MciError SdlSequencer::StopAt(std::optional<std::int32_t> to) {
  if (const MciError error = RequirePlayer()) return error;
  bool wasPlaying = false;
  {
    std::lock_guard lock(mutex_);
    wasPlaying = playing_;
    playing_ = false;
    if (to) atEnd_ = false;
    if (wasPlaying) queue_.push_back({Command::Stop, 0});
    if (to) queue_.push_back({Command::Seek, int(*to)});
  }
  ended_.notify_all();
  if (wasPlaying) slot_.Fire(MciNotifyOutcome::Aborted);
  return kMciNoError;
}

bool SdlSequencer::Playing() {
  std::lock_guard lock(mutex_);
  return playing_;
}

// What sounds now, rendered on for five milliseconds and faded out, so that
// the stop does not cut the wave.
void SdlSequencer::FadeOut(unsigned char *stream, int len) {
  const int fade = std::min(len / 4, kFadeFrames);
  fluid_synth_write_s16(synth_, fade, stream, 0, 2, stream, 1, 2);
  auto *samples = reinterpret_cast<std::int16_t *>(stream);
  for (int i = 0; i < fade; ++i)
    for (int channel = 0; channel < 2; ++channel)
      samples[2 * i + channel] = std::int16_t(samples[2 * i + channel] * (fade - 1 - i) / fade);
}

void SdlSequencer::Render(unsigned char *stream, int len) {
  std::unique_lock lock(mutex_);
  if (!player_) return; // the mixer has already filled the stream with silence
  bool faded = false;
  for (const Pending &pending : queue_) {
    switch (pending.command) {
    case Command::Play:
      fluid_player_play(player_);
      break;
    case Command::Stop:
      // Faded before the player stops: its stop silences the voices at once.
      if (!faded && fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING) {
        FadeOut(stream, len);
        faded = true;
      }
      fluid_player_stop(player_);
      fluid_synth_all_sounds_off(synth_, -1);
      break;
    case Command::Seek:
      fluid_player_seek(player_, pending.ticks);
      break;
    }
  }
  const bool playRequested = !queue_.empty() && queue_.back().command == Command::Play && playing_;
  queue_.clear();

  bool ended = false;
  if (playRequested && atEnd_) {
    // Played again at its end without a seek: it ends at once.
    fluid_player_stop(player_);
    playing_ = false;
    ended = true;
  }
  const int frames = len / 4;
  // While stopped the synth would only render the silence the mixer already
  // wrote, at a cost in CPU.
  if (!playing_ && !ended) return;
  fluid_synth_write_s16(synth_, frames, stream, 0, 2, stream, 1, 2);

  const int status = fluid_player_get_status(player_);
  if (playing_ && status == FLUID_PLAYER_DONE) {
    // The player gave up by itself, e.g. on a file that failed to load.
    playing_ = false;
    atEnd_ = true;
    ended = true;
  } else if (playing_ && status == FLUID_PLAYER_PLAYING) {
    const int total = fluid_player_get_total_ticks(player_);
    const int tick = fluid_player_get_current_tick(player_);
    if (tick < total)
      armed_ = true;
    else if (armed_ && total > 0) {
      // The player would linger for seconds after the last note; the piece is over now.
      fluid_player_stop(player_);
      playing_ = false;
      atEnd_ = true;
      ended = true;
    }
  }
  if (ended) {
    slot_.Fire(MciNotifyOutcome::Successful);
    host_.PostScheduleRelease();
    lock.unlock();
    ended_.notify_all();
  }
}

} // namespace zanthorix
