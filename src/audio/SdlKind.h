// SPDX-License-Identifier: GPL-3.0-or-later
// What the real media device and its devices of each kind (wave sounds,
// MIDI pieces) see of each other: the commands a kind carries out, and what
// the routing device keeps for all kinds.
#pragma once

#include "audio/AudioOutput.h"
#include "media/MediaDevice.h"

#include <chrono>

namespace zanthorix {

// Waits are cut into slices, so that the end of the game can end them.
inline constexpr auto kWaitSlice = std::chrono::milliseconds(10);

// What the kinds share; the routing device keeps it.
class SdlHost {
public:
  virtual AudioOutput &Output() = 0;
  // Sound output is the whole program's: one device layer has it.
  virtual bool Claim() = 0;
  // The output for a command: Refused when none can be had, Busy when the
  // sound server does not answer in time.
  virtual AudioOutput::Status StartAudio(AudioOutput::Next next) = 0;
  // The game is ending: no command waits any longer.
  virtual bool WaitsEnded() const = 0;
  // Identifiers are never 0, which means "not open", and never repeat
  // across the kinds.
  virtual MciDeviceId NextId() = 0;
  // From the audio thread: a sound has ended, and the output may go once
  // all is silent.
  virtual void PostScheduleRelease() = 0;

protected:
  ~SdlHost() = default;
};

// One kind of device, of which one may be open at a time. The routing
// device posts the notification of a command that completes at once; the
// kind posts those of its plays, which complete later.
class SdlKind {
public:
  virtual ~SdlKind() = default;
  // The open device, 0 if none.
  MciDeviceId Id() const { return id_; }
  virtual MciError Open(const QString &fileName, MciDeviceId &id) = 0;
  virtual void Close() = 0;
  virtual MciError Play(const MciFlags &flags) = 0;
  virtual MciError Stop() = 0;
  virtual MciError Seek(std::int32_t to) = 0;
  virtual bool Playing() = 0;
  // Forgets the notification a play asked for, without posting it.
  virtual void Forget() = 0;

protected:
  MciDeviceId id_ = 0;
};

} // namespace zanthorix
