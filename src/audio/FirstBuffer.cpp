// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/FirstBuffer.h"

namespace zanthorix {

void FirstBuffer::Arm() {
  std::lock_guard lock(mutex_);
  state_ = State::Armed;
  armed_ = true;
}

Mix_Chunk *FirstBuffer::Wait(std::chrono::milliseconds limit) {
  if (!armed_.load(std::memory_order_relaxed)) return nullptr;
  std::unique_lock lock(mutex_);
  if (state_ != State::Armed) return nullptr;
  state_ = State::Waiting;
  changed_.wait_for(lock, limit, [this] { return state_ != State::Waiting; });
  if (state_ == State::Handed) return sound_;
  state_ = State::Off;
  armed_ = false;
  return nullptr;
}

void FirstBuffer::Started(bool started) {
  std::lock_guard lock(mutex_);
  started_ = started;
  state_ = State::Done;
  armed_ = false;
  changed_.notify_all();
}

bool FirstBuffer::Hand(Mix_Chunk *sound, bool &started) {
  std::unique_lock lock(mutex_);
  if (state_ != State::Waiting) {
    // Not reached yet: a sound started now is in that buffer anyway.
    state_ = State::Off;
    armed_ = false;
    return false;
  }
  sound_ = sound;
  state_ = State::Handed;
  changed_.notify_all();
  // The waiting buffer has woken and starts it now.
  changed_.wait(lock, [this] { return state_ == State::Done; });
  started = started_;
  state_ = State::Off;
  sound_ = nullptr;
  return true;
}

void FirstBuffer::End() {
  std::lock_guard lock(mutex_);
  if (state_ != State::Armed && state_ != State::Waiting) return;
  state_ = State::Off;
  armed_ = false;
  changed_.notify_all();
}

} // namespace zanthorix
