// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/SdlMediaDevice.h"

#include "audio/SdlSequencer.h"
#include "audio/SdlWaveDevice.h"

#include <QTimer>

namespace zanthorix {

namespace {

// How long a command waits for the output to open. Opening takes 10 to 40 ms;
// a server that needs longer is stuck, and later commands do not wait again
// until it has answered.
constexpr auto kOpenWait = std::chrono::milliseconds(500);
// Long enough that a quick run of clicks keeps the output, so that only the
// first sound after a pause pays for opening it again.
constexpr auto kReleaseDelay = std::chrono::milliseconds(1500);

std::atomic<SdlMediaDevice *> current{nullptr};

// Runs its function when the scope ends, however it ends.
template <class F> struct Finally {
  F f;
  ~Finally() { f(); }
};
// Clang before 17 deduces no template arguments for an aggregate by itself.
template <class F> Finally(F) -> Finally<F>;

} // namespace

SdlMediaDevice::SdlMediaDevice(QString soundfont)
    : releaseTimer_(std::make_unique<QTimer>()),
      output_(std::make_unique<AudioOutput>(
          AudioOutput::Client{&SdlMediaDevice::MusicHook, &SdlMediaDevice::OnChannelFinished,
                              &SdlMediaDevice::OnOutputLost, this})),
      wave_(std::make_unique<SdlWaveDevice>(static_cast<SdlHost &>(*this))),
      sequencer_(
          std::make_unique<SdlSequencer>(static_cast<SdlHost &>(*this), std::move(soundfont))) {
  releaseTimer_->setSingleShot(true);
  releaseTimer_->setInterval(kReleaseDelay);
  QObject::connect(releaseTimer_.get(), &QTimer::timeout, [this] {
    if (Silent()) ReleaseAudio();
  });
}

SdlMediaDevice::~SdlMediaDevice() {
  releaseTimer_->stop();
  wave_->Forget();
  sequencer_->Forget();
  // The sound and the piece may outlive the output that played them.
  wave_->Close();
  wave_->FreeKept();
  sequencer_->Close();
  // Once the output is gone nothing calls back into the synthesizer, which
  // goes with the sequencer.
  output_->Shutdown();
  sequencer_.reset();
  SdlMediaDevice *self = this;
  current.compare_exchange_strong(self, nullptr);
}

bool SdlMediaDevice::Claim() {
  SdlMediaDevice *none = nullptr;
  return current.compare_exchange_strong(none, this) || none == this;
}

AudioOutput::Status SdlMediaDevice::StartAudio(AudioOutput::Next next) {
  return output_->Acquire(waitsEnded_ ? std::chrono::milliseconds(0) : kOpenWait, next);
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
bool SdlMediaDevice::Silent() { return !wave_->Playing() && !sequencer_->Playing(); }

void SdlMediaDevice::SetReleaseDelay(std::chrono::milliseconds delay) {
  releaseTimer_->setInterval(delay);
}

void SdlMediaDevice::EndWaits() { waitsEnded_ = true; }

MciDeviceId SdlMediaDevice::NextId() {
  const MciDeviceId id = nextId_++;
  if (nextId_ == 0) nextId_ = 1;
  return id;
}

SdlKind *SdlMediaDevice::Kind(MciDeviceId id) {
  if (id == 0) return nullptr;
  if (id == wave_->Id()) return wave_.get();
  if (id == sequencer_->Id()) return sequencer_.get();
  return nullptr;
}

MciError SdlMediaDevice::Open(const QString &type, const QString &fileName, const MciFlags &flags,
                              MciDeviceId &id) {
  const Finally later{[this] { ScheduleRelease(); }};
  MciError error = kMciErrUnknownDeviceType;
  if (type == QLatin1String("WaveAudio")) error = wave_->Open(fileName, id);
  if (type == QLatin1String("Sequencer")) error = sequencer_->Open(fileName, id);
  if (flags.notify)
    PostNotify(flags.callback, error ? MciNotifyOutcome::Failure : MciNotifyOutcome::Successful,
               id);
  return error;
}

MciError SdlMediaDevice::Close(MciDeviceId id, const MciFlags &flags) {
  SdlKind *kind = Kind(id);
  if (!kind) return kMciErrInvalidDeviceId;
  const Finally later{[this] { ScheduleRelease(); }};
  kind->Close();
  if (flags.notify) PostNotify(flags.callback, MciNotifyOutcome::Successful, id);
  return kMciNoError;
}

MciError SdlMediaDevice::Play(MciDeviceId id, const MciFlags &flags) {
  const Finally later{[this] { ScheduleRelease(); }};
  SdlKind *kind = Kind(id);
  return kind ? kind->Play(flags) : kMciErrInvalidDeviceId;
}

template <class F>
MciError SdlMediaDevice::StopOrSeek(MciDeviceId id, const MciFlags &flags, F command) {
  const Finally later{[this] { ScheduleRelease(); }};
  SdlKind *kind = Kind(id);
  if (!kind) return kMciErrInvalidDeviceId;
  if (const MciError error = command(*kind)) return error;
  if (flags.notify) PostNotify(flags.callback, MciNotifyOutcome::Successful, id);
  return kMciNoError;
}

MciError SdlMediaDevice::Stop(MciDeviceId id, const MciFlags &flags) {
  return StopOrSeek(id, flags, [](SdlKind &kind) { return kind.Stop(); });
}

MciError SdlMediaDevice::Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) {
  if (to < 0) return kMciErrDeviceFailed;
  return StopOrSeek(id, flags, [to](SdlKind &kind) { return kind.Seek(to); });
}

MciError SdlMediaDevice::Mode(MciDeviceId id, TMPModes &mode) {
  SdlKind *kind = Kind(id);
  if (!kind) return kMciErrInvalidDeviceId;
  mode = kind->Playing() ? mpPlaying : mpStopped;
  return kMciNoError;
}

void SdlMediaDevice::OnChannelFinished(int channel) {
  if (channel != AudioOutput::WaveChannel) return;
  if (SdlMediaDevice *self = current.load()) self->wave_->ChannelFinished();
}

void SdlMediaDevice::MusicHook(void *self, std::uint8_t *stream, int len) {
  auto *device = static_cast<SdlMediaDevice *>(self);
  device->output_->Beat();
  device->sequencer_->Render(stream, len);
}

// On the output's thread. The piece stays where it was and plays on when
// the output is back.
void SdlMediaDevice::OnOutputLost(void *self) {
  static_cast<SdlMediaDevice *>(self)->wave_->OutputLost();
}

} // namespace zanthorix
