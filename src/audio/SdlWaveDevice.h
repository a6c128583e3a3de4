// SPDX-License-Identifier: GPL-3.0-or-later
// Wave sounds: the file as an SDL2_mixer chunk, played on the output's
// reserved channel. A waiting play blocks until the channel-finished
// callback tells the end.
#pragma once

#include "audio/SdlKind.h"

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <vector>

struct Mix_Chunk;

namespace zanthorix {

class SdlWaveDevice final : public SdlKind {
public:
  explicit SdlWaveDevice(SdlHost &host) : host_(host) {}
  SdlWaveDevice(const SdlWaveDevice &) = delete;
  SdlWaveDevice &operator=(const SdlWaveDevice &) = delete;

  MciError Open(const QString &fileName, MciDeviceId &id) override;
  void Close() override;
  // Plays the sound and, when asked to, waits for its end: the sound's
  // length while the output takes sound, a moment when it stops taking any.
  MciError Play(const MciFlags &flags) override;
  MciError Stop() override;
  MciError Seek(std::int32_t to) override;
  bool Playing() override;
  void Forget() override { slot_.Drop(); }

  // The mixer's word that the channel has ended; on the audio thread, or on
  // ours inside Mix_HaltChannel.
  void ChannelFinished();
  // On the output's thread: a sound that was playing will not end by itself.
  void OutputLost();

  // Frees the sounds kept for their next open; before the output goes.
  void FreeKept();

  // True when a file is a RIFF wave file.
  static bool IsWaveFile(const QByteArray &bytes);

private:
  // The open sound as a chunk in the output's format, made once the output
  // is there; false when it is not.
  bool RequireChunk(MciError &error);
  // Marks the sound ended; true when it was playing.
  bool EndPlaying();
  // Ends the sound on the channel; true when it was playing.
  bool Halt();
  void Release();
  // A sound closed is kept as a chunk for its next open, which then need
  // not convert it while the output's first buffer waits. The output's
  // format never changes, so a chunk stays good.
  struct Kept {
    QByteArray file;
    Mix_Chunk *chunk;
  };
  Mix_Chunk *TakeKept(const QByteArray &file);
  void Keep(QByteArray file, Mix_Chunk *chunk);

  SdlHost &host_;
  // The reserved channel's state, shared with the audio thread.
  std::mutex mutex_;
  std::condition_variable ended_;
  Mix_Chunk *chunk_ = nullptr;
  QByteArray file_;        // the open sound's file, which keys its chunk
  std::vector<Kept> kept_; // the game's two sounds, oldest first; UI thread only
  bool playing_ = false;
  NotifySlot slot_;
};

} // namespace zanthorix
