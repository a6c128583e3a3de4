// SPDX-License-Identifier: GPL-3.0-or-later
// The media device on Windows: the system's Media Control Interface itself,
// through mciSendCommandW, with its own error codes and texts.
#pragma once

#include "media/MediaDevice.h"

#include <QPointer>

#include <vector>

namespace zanthorix {

class MciMediaDevice final : public MediaDevice {
public:
  // Makes the hidden window that MCI posts its notifications to: construct
  // on the UI thread.
  MciMediaDevice();
  // Closes what is still open.
  ~MciMediaDevice() override;

  MciError Open(const QString &type, const QString &fileName, const MciFlags &flags,
                MciDeviceId &id) override;
  MciError Close(MciDeviceId id, const MciFlags &flags) override;
  MciError Play(MciDeviceId id, const MciFlags &flags) override;
  MciError Stop(MciDeviceId id, const MciFlags &flags) override;
  MciError Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) override;
  MciError Mode(MciDeviceId id, TMPModes &mode) override;
  QString ErrorText(MciError code) override;

private:
  // MCI gives a closed device's number to the next open, so the players see
  // numbers of our own, one per open: a notification still queued from an
  // earlier open then never passes for one of the new device.
  struct Device {
    MciDeviceId id = 0;       // ours
    unsigned int mci = 0;     // the system's
    QPointer<QObject> target; // where its notifications go
  };
  Device *Find(MciDeviceId id);
  Device *FindMci(unsigned int mci);
  // The system's flags of a command, noting where its notification goes.
  unsigned long Prepare(Device *device, const MciFlags &flags);
  MciError Send(Device *device, unsigned int command, const MciFlags &flags, void *params);
  // Hands the notifications MCI has posted so far to the players.
  void DeliverPosted();
  void Deliver(unsigned int mci, unsigned int result);

  void *window_ = nullptr;
  std::vector<Device> devices_;
  MciDeviceId lastId_ = 0;

  friend struct MciWindow;
};

} // namespace zanthorix
