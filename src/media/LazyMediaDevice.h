// SPDX-License-Identifier: GPL-3.0-or-later
// The real media device, loaded from the audio module beside the program the
// first time a device is opened: the sound libraries then cost nothing until
// the board is on screen. On Windows the device is MCI, part of the system,
// made directly.
#pragma once

#include "media/MediaDevice.h"

#include <atomic>
#include <memory>

namespace zanthorix {

class LazyMediaDevice final : public MediaDevice {
public:
  // folder holds the module; it ends in a separator.
  explicit LazyMediaDevice(QString folder);
  ~LazyMediaDevice() override;

  MciError Open(const QString &type, const QString &fileName, const MciFlags &flags,
                MciDeviceId &id) override;
  MciError Close(MciDeviceId id, const MciFlags &flags) override;
  MciError Play(MciDeviceId id, const MciFlags &flags) override;
  MciError Stop(MciDeviceId id, const MciFlags &flags) override;
  MciError Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) override;
  MciError Mode(MciDeviceId id, TMPModes &mode) override;
  QString ErrorText(MciError code) override;
  void EndWaits() override;
  // EndWaits of the device given, if any; for a signal handler.
  static void EndWaitsOf(void *device);

private:
  MediaDevice &Real();
  // The real device when it costs nothing to have; otherwise the one made by
  // an open, if any.
  MediaDevice *Existing();

  QString folder_;
  std::unique_ptr<MediaDevice> real_;
  std::atomic<MediaDevice *> live_{nullptr}; // real_, for a signal handler
  std::atomic<bool> waitsEnded_{false};
};

} // namespace zanthorix
