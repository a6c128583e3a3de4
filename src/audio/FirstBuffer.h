// SPDX-License-Identifier: GPL-3.0-or-later
// The first buffer of an output opened for a sound. SDL asks for it as soon
// as the output is open, before the game's thread has even heard that it is:
// filled at once it would be silence, and the sound would wait a whole
// buffer behind it. So the mixer's thread waits in that buffer, briefly, for
// the sound to be handed over, and starts it there.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

struct Mix_Chunk;

namespace zanthorix {

class FirstBuffer {
public:
  // The next buffer waits for a sound.
  void Arm();
  // In the mixer's callback, every buffer: if armed, waits at most `limit`
  // and returns the sound handed over, which the caller starts and reports
  // with Started; else nullptr at once.
  Mix_Chunk *Wait(std::chrono::milliseconds limit);
  void Started(bool started);
  // From the game's thread. True when a waiting buffer took the sound;
  // `started` then says whether the mixer started it. False when no buffer
  // waits (the sound is the caller's to start), and nothing waits after it.
  bool Hand(Mix_Chunk *sound, bool &started);
  // Lets a waiting buffer go on silent, before a call that needs the
  // mixer's lock, which the waiting buffer holds.
  void End();

private:
  enum class State { Off, Armed, Waiting, Handed, Done };
  std::mutex mutex_;
  std::condition_variable changed_;
  State state_ = State::Off;
  std::atomic<bool> armed_{false}; // state_ is not Off
  Mix_Chunk *sound_ = nullptr;
  bool started_ = false;
};

} // namespace zanthorix
