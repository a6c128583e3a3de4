// SPDX-License-Identifier: GPL-3.0-or-later
// A media device that plays nothing: it records every command, answers with
// the codes a test sets, and ends a piece when the test says so.
#pragma once

#include "media/MediaDevice.h"
#include "media/MediaPlayer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

namespace zanthorix {

class FakeMediaDevice : public MediaDevice {
public:
  struct Command {
    QString name; // "open", "close", "play", "stop", "seek", "mode"
    MciDeviceId id = 0;
    bool notify = false;
    bool wait = false;
    QString detail; // the file of an open, the position of a seek
    QString type;   // of the device the command went to
  };
  struct Device {
    QString type;
    QString file;
    TMPModes mode = mpStopped;
    std::int32_t position = 0;
    std::unique_ptr<NotifySlot> slot = std::make_unique<NotifySlot>();
  };

  std::vector<Command> commands;
  std::map<MciDeviceId, Device> devices;
  // Codes the next open, play or stop returns instead of succeeding.
  MciError openError = kMciNoError, playError = kMciNoError, stopError = kMciNoError;
  // Runs while a waiting play "plays".
  std::function<void(MciDeviceId)> onWaitingPlay;

  MciError Open(const QString &type, const QString &fileName, const MciFlags &flags,
                MciDeviceId &id) override {
    commands.push_back({"open", 0, flags.notify, flags.wait, fileName, type});
    if (openError) return openError;
    id = nextId_++;
    typeOf_[id] = type;
    Device &device = devices[id];
    device.type = type;
    device.file = fileName;
    if (flags.notify) PostNotify(flags.callback, MciNotifyOutcome::Successful, id);
    return kMciNoError;
  }
  MciError Close(MciDeviceId id, const MciFlags &flags) override {
    commands.push_back({"close", id, flags.notify, flags.wait, {}, typeOf_[id]});
    auto it = devices.find(id);
    if (it == devices.end()) return kMciErrInvalidDeviceId;
    it->second.slot->Fire(MciNotifyOutcome::Aborted);
    devices.erase(it);
    if (flags.notify) PostNotify(flags.callback, MciNotifyOutcome::Successful, id);
    return kMciNoError;
  }
  MciError Play(MciDeviceId id, const MciFlags &flags) override {
    commands.push_back({"play", id, flags.notify, flags.wait, {}, typeOf_[id]});
    Device *device = Find(id);
    if (!device) return kMciErrInvalidDeviceId;
    if (playError) return playError;
    device->slot->Arm(flags, id);
    device->mode = mpPlaying;
    if (flags.wait) {
      if (onWaitingPlay) onWaitingPlay(id);
      if (Find(id)) End(id);
    }
    return kMciNoError;
  }
  MciError Stop(MciDeviceId id, const MciFlags &flags) override {
    commands.push_back({"stop", id, flags.notify, flags.wait, {}, typeOf_[id]});
    Device *device = Find(id);
    if (!device) return kMciErrInvalidDeviceId;
    if (stopError) return stopError;
    if (device->mode == mpPlaying) device->slot->Fire(MciNotifyOutcome::Aborted);
    device->mode = mpStopped;
    if (flags.notify) PostNotify(flags.callback, MciNotifyOutcome::Successful, id);
    return kMciNoError;
  }
  MciError Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) override {
    commands.push_back({"seek", id, flags.notify, flags.wait, QString::number(to), typeOf_[id]});
    Device *device = Find(id);
    if (!device) return kMciErrInvalidDeviceId;
    if (device->mode == mpPlaying) device->slot->Fire(MciNotifyOutcome::Aborted);
    device->mode = mpStopped;
    device->position = to;
    if (flags.notify) PostNotify(flags.callback, MciNotifyOutcome::Successful, id);
    return kMciNoError;
  }
  MciError Mode(MciDeviceId id, TMPModes &mode) override {
    commands.push_back({"mode", id, false, true, {}, typeOf_[id]});
    Device *device = Find(id);
    if (!device) return kMciErrInvalidDeviceId;
    mode = device->mode;
    return kMciNoError;
  }

  // The piece on device id reaches its end.
  void End(MciDeviceId id) {
    Device *device = Find(id);
    if (!device || device->mode != mpPlaying) return;
    device->mode = mpStopped;
    device->slot->Fire(MciNotifyOutcome::Successful);
  }
  Device *Find(MciDeviceId id) {
    auto it = devices.find(id);
    return it == devices.end() ? nullptr : &it->second;
  }
  // The commands sent, as "name" or "name+notify" / "name+wait", without the
  // mode queries; only those to devices of the type when one is given.
  QStringList Sent(const QString &type = QString()) const {
    QStringList out;
    for (const Command &c : commands) {
      if (c.name == QLatin1String("mode")) continue;
      if (!type.isEmpty() && c.type != type) continue;
      QString s = c.name;
      if (c.notify) s += QLatin1String("+notify");
      if (c.wait) s += QLatin1String("+wait");
      out << s;
    }
    return out;
  }

  // The device of the type that is open now, 0 if none.
  MciDeviceId OpenOf(const QString &type) const {
    for (const auto &[id, device] : devices)
      if (device.type == type) return id;
    return 0;
  }
  void Clear() { commands.clear(); }

private:
  MciDeviceId nextId_ = 1;
  std::map<MciDeviceId, QString> typeOf_;
};

// Delivers what a device posted to the player and counts its notifications.
inline int Deliver(TMediaPlayer &player) {
  int count = 0;
  auto old = player.OnNotify;
  player.OnNotify = [&count](QObject *) { ++count; };
  QCoreApplication::sendPostedEvents(&player);
  player.OnNotify = old;
  return count;
}

} // namespace zanthorix
