// SPDX-License-Identifier: GPL-3.0-or-later
// The entry of the audio module that the game loads on first use.
#include "audio/SdlMediaDevice.h"

extern "C" __attribute__((visibility("default"))) zanthorix::MediaDevice *
zanthorix_create_media_device() {
  return new zanthorix::SdlMediaDevice();
}
