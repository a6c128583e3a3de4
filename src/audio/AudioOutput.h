// SPDX-License-Identifier: GPL-3.0-or-later
// The process's one SDL audio output, opened and closed by a thread of its
// own. The sound server decides how long those take: closing on a suspended
// sink waits for the whole suspension, and a hung server holds an open for
// ever. The game's thread asks for the output, waits a bounded time for it,
// and otherwise only calls the mixer while the output is open, which never
// waits on the server. When the server goes away under an open output, the
// thread closes it and opens it again as soon as a server answers.
#pragma once

#include "audio/FirstBuffer.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

struct Mix_Chunk;

namespace zanthorix {

class AudioOutput {
public:
  // What the mixer calls back; all run on the audio thread, or on the
  // calling thread inside a mixer call.
  struct Client {
    void (*music)(void *data, std::uint8_t *stream, int len) = nullptr;
    void (*channelFinished)(int channel) = nullptr;
    // The output went away with a sound on it; on the output's thread.
    void (*lost)(void *data) = nullptr;
    void *data = nullptr;
  };
  enum class Status { Open, Refused, Busy };
  // What follows a request. Sound: a sound is started right after it, so an
  // output opened for it keeps its first buffer for that sound.
  enum class Next { Nothing, Sound };

  static constexpr int Frequency = 44100;
  static constexpr int WaveChannel = 0;

  explicit AudioOutput(Client client);
  ~AudioOutput();
  // Ends the thread; gives up waiting for it after a moment, so that a
  // stuck server cannot hold the game's exit. Nothing calls the client
  // once this has begun.
  void Shutdown();
  AudioOutput(const AudioOutput &) = delete;
  AudioOutput &operator=(const AudioOutput &) = delete;

  // Asks for the output and waits for it at most `bound`; not at all while
  // the thread is still busy with what an earlier request gave up on.
  // Refused: no output can be had now. Busy: no answer in time.
  Status Acquire(std::chrono::milliseconds bound, Next next = Next::Nothing);
  // Lets the output go; returns at once.
  void Release();
  // True while the output is open, or being opened or closed.
  bool Held() const;
  // True while the output is wanted: a sound needs it, and the thread keeps
  // trying to get it back after a loss.
  bool Wanted() const;

  // Runs f while the output is open, with nothing else touching the mixer;
  // false, without running it, otherwise.
  template <class F> bool WithMixer(F &&f) {
    std::lock_guard lock(MixerMutex());
    if (!IsOpenLocked()) return false;
    f();
    return true;
  }
  // Starts a sound on the wave channel: in the first buffer when that waits
  // for it, else at once. False when the output is not open or the mixer
  // will not play it.
  bool Start(Mix_Chunk *chunk);
  // Ends the sound on the wave channel, if the output is open.
  void Halt();
  // Frees a chunk now if the output is open, else on the output's thread.
  void Free(Mix_Chunk *chunk);
  // Called by the music hook for every buffer the mixer fills.
  void Beat();
  // True when the output is open but has asked for no sound for `limit`
  // (longer before it has asked for any): the sink is suspended, or the
  // server has stopped taking sound.
  bool Stalled(std::chrono::milliseconds limit) const;

private:
  struct Shared;
  class Worker;
  std::mutex &MixerMutex();
  bool IsOpenLocked() const;
  static void Run(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
};

} // namespace zanthorix
