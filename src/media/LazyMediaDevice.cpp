#include "media/LazyMediaDevice.h"

#include <QFile>

#include <dlfcn.h>

namespace zanthorix {

namespace {
std::atomic<LazyMediaDevice *> instance{nullptr};
}

LazyMediaDevice::LazyMediaDevice(QString folder) : folder_(std::move(folder)) {
  LazyMediaDevice *none = nullptr;
  instance.compare_exchange_strong(none, this);
}

// The module stays loaded: its audio thread is gone once the device is, but
// unloading sound libraries at exit gains nothing.
LazyMediaDevice::~LazyMediaDevice() {
  LazyMediaDevice *self = this;
  instance.compare_exchange_strong(self, nullptr);
  live_ = nullptr;
}

void LazyMediaDevice::EndWaits() {
  waitsEnded_ = true;
  if (MediaDevice *real = live_.load()) real->EndWaits();
}

void LazyMediaDevice::EndAllWaits() {
  if (LazyMediaDevice *device = instance.load()) device->EndWaits();
}

MediaDevice &LazyMediaDevice::Real() {
  if (real_) return *real_;
  using Factory = MediaDevice *(*)();
  const QByteArray path = QFile::encodeName(folder_ + QLatin1String(ModuleName));
  if (void *module = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL)) {
    if (auto factory = reinterpret_cast<Factory>(dlsym(module, FactoryName)))
      real_.reset(factory());
  }
  // Without the module the game has no sound, as on a machine without any.
  if (!real_) real_ = std::make_unique<NoMediaDevice>();
  live_ = real_.get();
  if (waitsEnded_) real_->EndWaits();
  return *real_;
}

MciError LazyMediaDevice::Open(const QString &type, const QString &fileName, const MciFlags &flags,
                               MciDeviceId &id) {
  return Real().Open(type, fileName, flags, id);
}
// Until something is opened no device exists: the commands need not load
// the module to say so.
MciError LazyMediaDevice::Close(MciDeviceId id, const MciFlags &flags) {
  return real_ ? real_->Close(id, flags) : kMciErrInvalidDeviceId;
}
MciError LazyMediaDevice::Play(MciDeviceId id, const MciFlags &flags) {
  return real_ ? real_->Play(id, flags) : kMciErrInvalidDeviceId;
}
MciError LazyMediaDevice::Stop(MciDeviceId id, const MciFlags &flags) {
  return real_ ? real_->Stop(id, flags) : kMciErrInvalidDeviceId;
}
MciError LazyMediaDevice::Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) {
  return real_ ? real_->Seek(id, to, flags) : kMciErrInvalidDeviceId;
}
MciError LazyMediaDevice::Mode(MciDeviceId id, TMPModes &mode) {
  return real_ ? real_->Mode(id, mode) : kMciErrInvalidDeviceId;
}
QString LazyMediaDevice::ErrorText(MciError code) { return Real().ErrorText(code); }

} // namespace zanthorix
