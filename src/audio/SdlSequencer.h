// SPDX-License-Identifier: GPL-3.0-or-later
// MIDI pieces, played by FluidSynth's own player and rendered into the
// mixer's music hook. Commands reach the hook through a queue that it runs
// before it renders; the hook tells the end of the piece itself, right after
// the last note.
#pragma once

#include "audio/SdlKind.h"

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_player_t;

namespace zanthorix {

class SdlSequencer final : public SdlKind {
public:
  // soundfont: the General MIDI soundfont; empty means the system's default one.
  SdlSequencer(SdlHost &host, QString soundfont);
  // Only once the output has shut down: nothing calls the hook then.
  ~SdlSequencer() override;
  SdlSequencer(const SdlSequencer &) = delete;
  SdlSequencer &operator=(const SdlSequencer &) = delete;

  MciError Open(const QString &fileName, MciDeviceId &id) override;
  void Close() override;
  MciError Play(const MciFlags &flags) override;
  MciError Stop() override { return StopAt(std::nullopt); }
  MciError Seek(std::int32_t to) override { return StopAt(to); }
  bool Playing() override;
  void Forget() override { slot_.Drop(); }

  // On the audio thread: run what the UI thread asked for, render, and look
  // for the end of the piece.
  void Render(unsigned char *stream, int len);

private:
  enum class Command { Play, Stop, Seek };
  struct Pending {
    Command command;
    int ticks;
  };

  // The soundfont loads in the background from the first open on, so that
  // opening the music does not hold up the first paint; the first command
  // that needs the synthesizer waits for it.
  MciError BeginSynth();
  MciError FinishSynth();
  // The player of the open piece, made on its first command.
  MciError RequirePlayer();
  // Stops the piece where it is, and moves it to a position when given one.
  MciError StopAt(std::optional<std::int32_t> to);
  // Renders the start of the buffer from what is sounding, fading to nothing.
  void FadeOut(unsigned char *stream, int len);

  SdlHost &host_;
  QString soundfont_;
  std::mutex mutex_;
  std::condition_variable ended_;
  std::thread loader_;
  _fluid_hashtable_t *loadedSettings_ = nullptr; // the loader's, until joined
  _fluid_synth_t *loadedSynth_ = nullptr;
  bool loadFailed_ = false;
  _fluid_hashtable_t *settings_ = nullptr;
  _fluid_synth_t *synth_ = nullptr;
  _fluid_player_t *player_ = nullptr;
  QByteArray midi_;
  bool playing_ = false; // our own flag: the player's DONE means stopped or ended
  bool armed_ = false;   // a tick short of the end has been seen since play
  bool atEnd_ = false;   // ended and not sought since
  std::vector<Pending> queue_;
  NotifySlot slot_;
};

} // namespace zanthorix
