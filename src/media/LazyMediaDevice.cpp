// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/LazyMediaDevice.h"

namespace zanthorix {

LazyMediaDevice::LazyMediaDevice(QString folder) : folder_(std::move(folder)) {}

// The module stays loaded: its audio thread is gone once the device is, but
// unloading sound libraries at exit gains nothing.
LazyMediaDevice::~LazyMediaDevice() { live_ = nullptr; }

void LazyMediaDevice::EndWaits() {
  waitsEnded_ = true;
  if (MediaDevice *real = live_.load()) real->EndWaits();
}

void LazyMediaDevice::EndWaitsOf(void *device) {
  if (device) static_cast<LazyMediaDevice *>(device)->EndWaits();
}

MciError LazyMediaDevice::Open(const QString &type, const QString &fileName, const MciFlags &flags,
                               MciDeviceId &id) {
  return Real().Open(type, fileName, flags, id);
}
// Until something is opened no device exists: the commands need not load
// the module to say so.
MciError LazyMediaDevice::Close(MciDeviceId id, const MciFlags &flags) {
  MediaDevice *device = Existing();
  return device ? device->Close(id, flags) : kMciErrInvalidDeviceId;
}
MciError LazyMediaDevice::Play(MciDeviceId id, const MciFlags &flags) {
  MediaDevice *device = Existing();
  return device ? device->Play(id, flags) : kMciErrInvalidDeviceId;
}
MciError LazyMediaDevice::Stop(MciDeviceId id, const MciFlags &flags) {
  MediaDevice *device = Existing();
  return device ? device->Stop(id, flags) : kMciErrInvalidDeviceId;
}
MciError LazyMediaDevice::Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) {
  MediaDevice *device = Existing();
  return device ? device->Seek(id, to, flags) : kMciErrInvalidDeviceId;
}
MciError LazyMediaDevice::Mode(MciDeviceId id, TMPModes &mode) {
  MediaDevice *device = Existing();
  return device ? device->Mode(id, mode) : kMciErrInvalidDeviceId;
}
QString LazyMediaDevice::ErrorText(MciError code) { return Real().ErrorText(code); }

} // namespace zanthorix
