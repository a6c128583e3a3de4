// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/LazyMediaDevice.h"

#include "media/MciMediaDevice.h"

namespace zanthorix {

MediaDevice &LazyMediaDevice::Real() {
  if (real_) return *real_;
  real_ = std::make_unique<MciMediaDevice>();
  live_ = real_.get();
  if (waitsEnded_) real_->EndWaits();
  return *real_;
}

// MCI answers every command itself, also for a device that was never open.
MediaDevice *LazyMediaDevice::Existing() { return &Real(); }

} // namespace zanthorix
