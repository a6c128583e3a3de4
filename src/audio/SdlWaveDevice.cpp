// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/SdlWaveDevice.h"

#include "audio/MediaFile.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstring>
#include <utility>

namespace zanthorix {

namespace {

// How much longer than its length a waiting play may take before we give
// up on the driver.
constexpr auto kWaveGrace = std::chrono::seconds(2);
// An output that has asked for no sound for this long is not playing: the
// sink is suspended or the server has stopped. The audio thread asks every
// 11.6 ms.
constexpr auto kStall = std::chrono::milliseconds(250);
// Larger files are refused as invalid: a sound of three minutes in CD
// quality. Read whole, and the mixer makes copies several times its size.
constexpr qint64 kLargestWave = 32 << 20;
// The game's sounds are kept (a pop and the other pop); a long sound is not,
// file and chunk together no larger than this.
constexpr size_t kKeptSounds = 2;
constexpr qint64 kLargestKept = 4 << 20;

} // namespace

bool SdlWaveDevice::IsWaveFile(const QByteArray &bytes) {
  return bytes.size() >= 12 && std::memcmp(bytes.constData(), "RIFF", 4) == 0 &&
         std::memcmp(bytes.constData() + 8, "WAVE", 4) == 0;
}

MciError SdlWaveDevice::Open(const QString &fileName, MciDeviceId &id) {
  if (id_) return kMciErrDeviceBusy;
  QByteArray bytes;
  if (const MciError error = ReadMediaFile(fileName, kLargestWave, kMciErrNotWaveFile, bytes))
    return error;
  // The mixer would take other formats too; this device plays wave files only.
  if (!IsWaveFile(bytes)) return kMciErrNotWaveFile;
  if (!host_.Claim()) return kMciErrDeviceBusy;
  // A server that does not answer in time leaves the sound to its play.
  if (host_.StartAudio(AudioOutput::Next::Sound) == AudioOutput::Status::Refused)
    return kMciErrNoAudioOutput;
  {
    std::lock_guard lock(mutex_);
    chunk_ = TakeKept(bytes);
    file_ = bytes;
    playing_ = false;
  }
  MciError error = kMciNoError;
  if (!RequireChunk(error) && error) {
    std::lock_guard lock(mutex_);
    file_.clear();
    return error;
  }
  std::lock_guard lock(mutex_);
  id_ = id = host_.NextId();
  return kMciNoError;
}

bool SdlWaveDevice::RequireChunk(MciError &error) {
  error = kMciNoError;
  if (chunk_) return true;
  Mix_Chunk *chunk = nullptr;
  const bool open = host_.Output().WithMixer([&] {
    SDL_RWops *rw = SDL_RWFromConstMem(file_.constData(), int(file_.size()));
    chunk = rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
  });
  if (!open) return false;
  if (!chunk) {
    error = kMciErrNotWaveFile;
    return false;
  }
  std::lock_guard lock(mutex_);
  chunk_ = chunk;
  return true;
}

void SdlWaveDevice::Close() {
  Stop();
  Release();
}

bool SdlWaveDevice::EndPlaying() {
  std::lock_guard lock(mutex_);
  return std::exchange(playing_, false);
}

bool SdlWaveDevice::Halt() {
  const bool wasPlaying = EndPlaying();
  // The finished callback may run on this thread now: no lock of ours held.
  // A closed output has no sound on its channel.
  if (wasPlaying) host_.Output().Halt();
  ended_.notify_all();
  return wasPlaying;
}

void SdlWaveDevice::Release() {
  Halt();
  Mix_Chunk *chunk = nullptr;
  QByteArray file;
  {
    std::lock_guard lock(mutex_);
    chunk = std::exchange(chunk_, nullptr);
    file = std::exchange(file_, {});
    id_ = 0;
  }
  Keep(std::move(file), chunk);
  slot_.Drop();
}

Mix_Chunk *SdlWaveDevice::TakeKept(const QByteArray &file) {
  for (auto kept = kept_.begin(); kept != kept_.end(); ++kept)
    if (kept->file == file) {
      Mix_Chunk *chunk = kept->chunk;
      kept_.erase(kept);
      return chunk;
    }
  return nullptr;
}

void SdlWaveDevice::Keep(QByteArray file, Mix_Chunk *chunk) {
  if (!chunk) return;
  if (file.size() + qint64(chunk->alen) > kLargestKept) {
    host_.Output().Free(chunk);
    return;
  }
  kept_.push_back({std::move(file), chunk});
  if (kept_.size() > kKeptSounds) {
    host_.Output().Free(kept_.front().chunk);
    kept_.erase(kept_.begin());
  }
}

void SdlWaveDevice::FreeKept() {
  for (const Kept &kept : kept_)
    host_.Output().Free(kept.chunk);
  kept_.clear();
}

MciError SdlWaveDevice::Play(const MciFlags &flags) {
  const auto fail = [&](MciError error) {
    slot_.Arm(flags, id_);
    slot_.Fire(MciNotifyOutcome::Failure);
    return error;
  };
  AudioOutput &output = host_.Output();
  const AudioOutput::Status status = host_.StartAudio(AudioOutput::Next::Sound);
  if (status == AudioOutput::Status::Refused) return fail(kMciErrNoAudioOutput);
  MciError error = kMciNoError;
  if (status == AudioOutput::Status::Busy || !RequireChunk(error))
    return fail(error ? error : kMciErrDeviceFailed);
  // Suspended: nothing would be heard, and nothing would end the sound.
  if (output.Stalled(kStall)) return fail(kMciErrDeviceFailed);

  std::unique_lock lock(mutex_);
  slot_.Arm(flags, id_);
  if (!playing_) {
    playing_ = true;
    lock.unlock();
    const bool started = output.Start(chunk_);
    lock.lock();
    if (!started) {
      playing_ = false;
      lock.unlock();
      slot_.Fire(MciNotifyOutcome::Failure);
      return kMciErrDeviceFailed;
    }
  }
  if (!flags.wait) return kMciNoError;
  const auto length = std::chrono::milliseconds(std::int64_t(chunk_->alen) * 1000 /
                                                (std::int64_t(AudioOutput::Frequency) * 4));
  const auto giveUp = std::chrono::steady_clock::now() + length + kWaveGrace;
  while (playing_) {
    // The game is ending: the sound plays on until the window closes it.
    if (host_.WaitsEnded()) return kMciNoError;
    if (std::chrono::steady_clock::now() > giveUp || output.Stalled(kStall)) {
      // The driver never told us the end: do not hold the game any longer.
      lock.unlock();
      Halt();
      slot_.Fire(MciNotifyOutcome::Failure);
      return kMciErrDeviceFailed;
    }
    ended_.wait_for(lock, kWaitSlice);
  }
  return kMciNoError;
}

MciError SdlWaveDevice::Stop() {
  if (Halt()) slot_.Fire(MciNotifyOutcome::Aborted);
  return kMciNoError;
}

// A sound is only ever played whole, so a seek just stops it.
MciError SdlWaveDevice::Seek(std::int32_t) { return Stop(); }

bool SdlWaveDevice::Playing() {
  std::lock_guard lock(mutex_);
  return playing_;
}

void SdlWaveDevice::ChannelFinished() {
  if (EndPlaying()) {
    slot_.Fire(MciNotifyOutcome::Successful);
    host_.PostScheduleRelease();
  }
  ended_.notify_all();
}

// The lock of the output is held here: its order is the output's, then ours.
void SdlWaveDevice::OutputLost() {
  if (EndPlaying()) slot_.Fire(MciNotifyOutcome::Failure);
  ended_.notify_all();
}

} // namespace zanthorix
