// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioOutput.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <QByteArray>
#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <thread>
#include <utility>
#include <vector>

namespace zanthorix {

namespace {

using Clock = std::chrono::steady_clock;

// A pop waits for up to two buffers before it is heard: at 11.6 ms each a
// press is answered within about 25 ms, at some cost while music plays.
constexpr int kChunkFrames = 512;
constexpr int kWaveVolume = 100; // of MIX_MAX_VOLUME (128): -2 dB; see docs/PERFORMANCE.md
// After a loss the server is asked again at growing intervals: a restart
// takes about a second, and asking a missing server costs next to nothing.
constexpr auto kFirstRetry = std::chrono::milliseconds(250);
constexpr auto kLongestRetry = std::chrono::seconds(2);
constexpr auto kExitWait = std::chrono::seconds(1);
// A new stream may take a second before the server asks for sound.
constexpr auto kFirstSound = std::chrono::milliseconds(1500);
// How long the first buffer waits for its sound: the game's thread plays it
// right after the open, unless the machine is very busy. Nothing is heard
// before it anyway.
constexpr auto kFirstBufferWait = std::chrono::milliseconds(100);

std::int64_t Now() { return Clock::now().time_since_epoch().count(); }

// What a desktop's volume mixer shows for the game's stream, and the role
// that its rules go by. SDL's PulseAudio output (also the one used under
// PipeWire) sets neither, but the client library takes both from here; a
// player's own setting of a key comes later and wins.
void DescribeStream() {
  static const char kProperties[] = "application.icon_name=zanthorix media.role=game";
  const QByteArray own = qgetenv("PULSE_PROP");
  if (own.contains("application.icon_name") && own.contains("media.role")) return;
  qputenv("PULSE_PROP", own.isEmpty() ? QByteArray(kProperties) : kProperties + (' ' + own));
}

} // namespace

struct AudioOutput::Shared {
  enum class State { Closed, Opening, Open, Closing };
  std::mutex mutex;
  std::condition_variable changed;
  State state = State::Closed;
  Client client;
  bool want = false;      // a sound needs the output
  bool poke = false;      // try to open now, whatever the last try said
  bool lost = false;      // the server let the open output go
  bool refused = false;   // the last try to open failed
  bool holdFirst = false; // a sound follows the open being asked for
  bool stuck = false;     // a request gave up waiting; cleared when the thread is done
  bool quit = false;
  bool finished = false;
  std::uint64_t attempts = 0;
  std::vector<Mix_Chunk *> garbage;
  std::atomic<std::int64_t> lastBeat{0};
  std::atomic<bool> open{false};    // state == Open, for readers that take no lock
  std::atomic<bool> started{false}; // the mixer has asked for sound since the open
  std::atomic<bool> hooked{false};  // the client's music is called; only while open
  FirstBuffer first;
  std::thread thread;
};

AudioOutput::AudioOutput(Client client) : shared_(std::make_shared<Shared>()) {
  DescribeStream();
  shared_->client = client;
  shared_->thread = std::thread(&AudioOutput::Run, shared_);
}

AudioOutput::~AudioOutput() { Shutdown(); }

void AudioOutput::Shutdown() {
  Shared &s = *shared_;
  std::unique_lock lock(s.mutex);
  if (s.quit) return;
  // Nothing calls the client once this returns.
  s.first.End();
  s.hooked = false;
  if (s.state == Shared::State::Open) {
    Mix_HookMusic(nullptr, nullptr);
    Mix_ChannelFinished(nullptr);
  }
  s.client = Client();
  s.quit = true;
  s.want = false;
  s.changed.notify_all();
  if (s.changed.wait_for(lock, kExitWait, [&s] { return s.finished; })) {
    lock.unlock();
    s.thread.join();
  } else {
    // Still waiting on the server: it keeps its share of the state.
    s.thread.detach();
  }
}

std::mutex &AudioOutput::MixerMutex() { return shared_->mutex; }

bool AudioOutput::IsOpenLocked() const { return shared_->state == Shared::State::Open; }

AudioOutput::Status AudioOutput::Acquire(std::chrono::milliseconds bound, Next next) {
  Shared &s = *shared_;
  std::unique_lock lock(s.mutex);
  s.want = true;
  if (s.state == Shared::State::Open) return Status::Open;
  if (s.stuck) return Status::Busy;
  // An open already under way is not held for this sound.
  if (s.state != Shared::State::Opening) s.holdFirst = next == Next::Sound;
  s.poke = true;
  const std::uint64_t attempts = s.attempts;
  s.changed.notify_all();
  if (!s.changed.wait_for(
          lock, bound, [&] { return s.state == Shared::State::Open || s.attempts != attempts; })) {
    s.stuck = true;
    return Status::Busy;
  }
  return s.state == Shared::State::Open ? Status::Open : Status::Refused;
}

void AudioOutput::Release() {
  std::lock_guard lock(shared_->mutex);
  shared_->want = false;
  shared_->changed.notify_all();
}

bool AudioOutput::Held() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->state != Shared::State::Closed;
}

bool AudioOutput::Wanted() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->want;
}

bool AudioOutput::Start(Mix_Chunk *chunk) {
  bool started = false;
  if (shared_->first.Hand(chunk, started)) return started;
  WithMixer([&] { started = Mix_PlayChannel(WaveChannel, chunk, 0) >= 0; });
  return started;
}

void AudioOutput::Halt() {
  shared_->first.End();
  WithMixer([] { Mix_HaltChannel(WaveChannel); });
}

void AudioOutput::Free(Mix_Chunk *chunk) {
  if (!chunk) return;
  shared_->first.End();
  std::lock_guard lock(shared_->mutex);
  if (shared_->state == Shared::State::Open) {
    Mix_FreeChunk(chunk);
  } else {
    shared_->garbage.push_back(chunk);
    shared_->changed.notify_all();
  }
}

void AudioOutput::Beat() {
  shared_->lastBeat.store(Now(), std::memory_order_relaxed);
  shared_->started.store(true, std::memory_order_relaxed);
}

bool AudioOutput::Stalled(std::chrono::milliseconds limit) const {
  const auto since = Clock::duration(Now() - shared_->lastBeat.load(std::memory_order_relaxed));
  const bool started = shared_->started.load(std::memory_order_relaxed);
  return shared_->open.load() && since > (started ? Clock::duration(limit) : kFirstSound);
}

// The output's thread, step by step. It holds the mutex throughout, but for
// SDL's own open and close, which wait on the sound server.
class AudioOutput::Worker {
public:
  explicit Worker(Shared &s) : s_(s), lock_(s.mutex) {}
  void Run();

private:
  using State = Shared::State;
  // SDL tells of a lost output through its event queue, from the audio thread.
  static int Watch(void *data, SDL_Event *event);
  // The mixer's music hook, set before each open so that it has the first
  // buffer: the sound waited for, then the client's music once open.
  static void Mix(void *data, std::uint8_t *stream, int len);
  void FreeGarbage();
  // Closes the open output: after a quiet spell, at the end, or once the
  // server has let it go.
  void Close();
  // The server let the output go under a sound: asked again at once.
  void ReopenSoon();
  // Opens the output for the sound that wants it.
  void Open();
  // Sets SDL up before the first open; without the lock.
  bool InitSdl();
  void Opened();
  // Kept trying while a sound needs the output: the server may come back.
  void RetryLater();
  // Waits for a request, or for the time of the next try.
  void Wait();
  void Finish();

  Shared &s_;
  std::unique_lock<std::mutex> lock_;
  bool init_ = false;
  Clock::duration backoff_ = kFirstRetry;
  Clock::time_point retryAt_ = Clock::time_point::max();
};

void AudioOutput::Run(std::shared_ptr<Shared> shared) { Worker(*shared).Run(); }

void AudioOutput::Worker::Run() {
  for (;;) {
    if (s_.state == State::Closed) FreeGarbage();
    if (s_.state == State::Open && (s_.lost || !s_.want || s_.quit))
      Close();
    else if (s_.quit)
      break;
    else if (s_.state == State::Closed && s_.want && (s_.poke || Clock::now() >= retryAt_))
      Open();
    else
      Wait();
  }
  Finish();
}

int AudioOutput::Worker::Watch(void *data, SDL_Event *event) {
  if (event->type != SDL_AUDIODEVICEREMOVED || event->adevice.iscapture || !event->adevice.which)
    return 0;
  auto &s = *static_cast<Shared *>(data);
  std::lock_guard lock(s.mutex);
  if (s.state == State::Open) s.lost = true;
  s.changed.notify_all();
  return 0;
}

// Only with the output closed: no lock of the mixer's.
void AudioOutput::Worker::FreeGarbage() {
  for (Mix_Chunk *chunk : s_.garbage)
    Mix_FreeChunk(chunk);
  s_.garbage.clear();
}

void AudioOutput::Worker::Mix(void *data, std::uint8_t *stream, int len) {
  auto &s = *static_cast<Shared *>(data);
  if (Mix_Chunk *sound = s.first.Wait(kFirstBufferWait))
    s.first.Started(Mix_PlayChannel(WaveChannel, sound, 0) >= 0);
  if (s.hooked.load(std::memory_order_acquire)) s.client.music(s.client.data, stream, len);
}

void AudioOutput::Worker::Close() {
  s_.first.End();
  s_.hooked = false;
  s_.state = State::Closing;
  s_.open = false;
  Mix_HookMusic(nullptr, nullptr);
  Mix_ChannelFinished(nullptr);
  if (s_.lost && s_.client.lost) s_.client.lost(s_.client.data);
  const bool lost = s_.lost;
  lock_.unlock();
  // Waits for the audio thread, which waits for the server.
  Mix_CloseAudio();
  lock_.lock();
  s_.state = State::Closed;
  s_.lost = false;
  s_.stuck = false;
  if (lost) ReopenSoon();
  s_.changed.notify_all();
}

void AudioOutput::Worker::ReopenSoon() {
  s_.poke = true;
  backoff_ = kFirstRetry;
}

void AudioOutput::Worker::Open() {
  s_.poke = false;
  if (std::exchange(s_.holdFirst, false)) s_.first.Arm();
  // Set before the open, which may ask for the first buffer at once, and
  // left in place by it. With no output open these take no lock; once it
  // is open the first buffer may hold the mixer's lock until the game's
  // thread hands its sound over, so nothing here may wait for that lock.
  Mix_HookMusic(&Worker::Mix, &s_);
  if (s_.client.music) Mix_ChannelFinished(s_.client.channelFinished);
  s_.state = State::Opening;
  lock_.unlock();
  if (!init_) init_ = InitSdl();
  // No format changes allowed: SDL converts, so the hook always writes
  // 16-bit stereo at our rate, and chunks stay valid across reopening.
  const bool open =
      init_ && Mix_OpenAudioDevice(Frequency, AUDIO_S16SYS, 2, kChunkFrames, nullptr, 0) == 0;
  lock_.lock();
  ++s_.attempts;
  s_.stuck = false;
  s_.refused = !open;
  if (open)
    Opened();
  else
    RetryLater();
  s_.changed.notify_all();
}

bool AudioOutput::Worker::InitSdl() {
  // A termination request must reach the game, not SDL.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_APP_NAME, "Zanthorix");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Zanthorix");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Zanthorix");
  // Read by SDL's PipeWire output; its PulseAudio one reads PULSE_PROP.
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "game");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AddEventWatch(&Worker::Watch, &s_);
  return true;
}

void AudioOutput::Worker::Opened() {
  // Neither takes the mixer's lock. A sound waited for starts only once the
  // game's thread hears of the open, which comes after this.
  if (s_.client.music) {
    Mix_ReserveChannels(1);
    Mix_Volume(WaveChannel, kWaveVolume);
    s_.hooked.store(true, std::memory_order_release);
  }
  s_.lastBeat.store(Now(), std::memory_order_relaxed);
  s_.started = false;
  s_.state = State::Open;
  s_.open = true;
  retryAt_ = Clock::time_point::max();
  backoff_ = kFirstRetry;
}

void AudioOutput::Worker::RetryLater() {
  s_.first.End();
  s_.state = State::Closed;
  retryAt_ = Clock::now() + backoff_;
  backoff_ = std::min<Clock::duration>(backoff_ * 2, kLongestRetry);
}

void AudioOutput::Worker::Wait() {
  if (s_.state == State::Closed && s_.want && s_.refused)
    s_.changed.wait_until(lock_, retryAt_);
  else
    s_.changed.wait(lock_);
}

void AudioOutput::Worker::Finish() {
  lock_.unlock();
  if (init_) {
    SDL_DelEventWatch(&Worker::Watch, &s_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  lock_.lock();
  FreeGarbage();
  // SDL keeps its error text per thread, and frees it only when told.
  SDL_TLSCleanup();
  s_.finished = true;
  s_.changed.notify_all();
}

} // namespace zanthorix
