// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/LazyMediaDevice.h"

#include <QFile>

#include <dlfcn.h>

namespace zanthorix {

namespace {
// Built beside the program from src/audio, with this entry.
constexpr const char *ModuleName = "libzanthorix_audio.so";
constexpr const char *FactoryName = "zanthorix_create_media_device";
} // namespace

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

MediaDevice *LazyMediaDevice::Existing() { return real_.get(); }

} // namespace zanthorix
