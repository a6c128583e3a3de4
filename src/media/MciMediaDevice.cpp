// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MciMediaDevice.h"

#include "gui/HiddenWindow.h"

#include <QDir>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <mmsystem.h>

namespace zanthorix {

namespace {

const wchar_t WindowClass[] = L"ZanthorixMciNotify";

MciNotifyOutcome Outcome(unsigned int result) {
  switch (result) {
  case MCI_NOTIFY_SUCCESSFUL:
    return MciNotifyOutcome::Successful;
  case MCI_NOTIFY_SUPERSEDED:
    return MciNotifyOutcome::Superseded;
  case MCI_NOTIFY_ABORTED:
    return MciNotifyOutcome::Aborted;
  default:
    return MciNotifyOutcome::Failure;
  }
}

// MCI may pass a file name through the ANSI code page (Wine does): a name
// with letters outside it goes as the file's short name, where the volume
// keeps one. A name that fits stays as it is.
std::wstring ElementName(const QString &fileName) {
  const std::wstring name = QDir::toNativeSeparators(fileName).toStdWString();
  BOOL lossy = FALSE;
  if (name.empty() ||
      ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), int(name.size()), nullptr,
                            0, nullptr, &lossy) == 0 ||
      !lossy)
    return name;
  std::wstring shortName(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetShortPathNameW(name.c_str(), shortName.data(), DWORD(shortName.size()));
    if (length == 0) return name;
    if (length < shortName.size()) {
      shortName.resize(length);
      return shortName;
    }
    shortName.resize(length);
  }
}

} // namespace

struct MciWindow {
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY) {
      if (auto *device =
              reinterpret_cast<MciMediaDevice *>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
        device->Deliver(unsigned(lParam), unsigned(wParam));
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
};

MciMediaDevice::MciMediaDevice() {
  window_ = MakeHiddenWindow(WindowClass, &MciWindow::Procedure, 0, 0, HWND_MESSAGE, this);
}

MciMediaDevice::~MciMediaDevice() {
  for (const Device &device : devices_)
    ::mciSendCommandW(device.mci, MCI_CLOSE, MCI_WAIT, 0);
  if (window_) ::DestroyWindow(static_cast<HWND>(window_));
}

MciMediaDevice::Device *MciMediaDevice::Find(MciDeviceId id) {
  for (Device &device : devices_)
    if (device.id == id) return &device;
  return nullptr;
}

MciMediaDevice::Device *MciMediaDevice::FindMci(unsigned int mci) {
  for (Device &device : devices_)
    if (device.mci == mci) return &device;
  return nullptr;
}

unsigned long MciMediaDevice::Prepare(Device *device, const MciFlags &flags) {
  unsigned long system = 0;
  if (flags.wait) system |= MCI_WAIT;
  if (flags.notify) {
    system |= MCI_NOTIFY;
    if (device) device->target = flags.callback;
  }
  return system;
}

MciError MciMediaDevice::Send(Device *device, unsigned int command, const MciFlags &flags,
                              void *params) {
  // An unknown device goes to the system as none, which answers with its own
  // code for that.
  const DWORD system = Prepare(device, flags);
  return ::mciSendCommandW(device ? device->mci : 0, command, system,
                           reinterpret_cast<DWORD_PTR>(params));
}

MciError MciMediaDevice::Open(const QString &type, const QString &fileName, const MciFlags &flags,
                              MciDeviceId &id) {
  const std::wstring typeName = type.toStdWString();
  const std::wstring element = ElementName(fileName);
  MCI_OPEN_PARMSW params{};
  params.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
  params.lpstrDeviceType = typeName.c_str();
  params.lpstrElementName = element.c_str();
  const MciError error =
      ::mciSendCommandW(0, MCI_OPEN, Prepare(nullptr, flags) | MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                        reinterpret_cast<DWORD_PTR>(&params));
  if (error != 0) return error;
  // What an earlier device of that number left in the queue is its own.
  DeliverPosted();
  if (Device *old = FindMci(params.wDeviceID)) *old = Device{};
  std::erase_if(devices_, [](const Device &device) { return device.mci == 0; });
  do
    ++lastId_;
  while (lastId_ == 0 || Find(lastId_));
  devices_.push_back(Device{lastId_, params.wDeviceID, nullptr});
  Prepare(&devices_.back(), flags);
  id = lastId_;
  return 0;
}

MciError MciMediaDevice::Close(MciDeviceId id, const MciFlags &flags) {
  Device *device = Find(id);
  MCI_GENERIC_PARMS params{};
  params.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
  const MciError error = Send(device, MCI_CLOSE, flags, &params);
  if (error != 0 || !device) return error;
  // The close ended what was pending: those notifications go out now, while
  // the number is still known to be this device's.
  DeliverPosted();
  std::erase_if(devices_, [id](const Device &each) { return each.id == id; });
  return 0;
}

MciError MciMediaDevice::Play(MciDeviceId id, const MciFlags &flags) {
  MCI_PLAY_PARMS params{};
  params.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
  return Send(Find(id), MCI_PLAY, flags, &params);
}

MciError MciMediaDevice::Stop(MciDeviceId id, const MciFlags &flags) {
  MCI_GENERIC_PARMS params{};
  params.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
  return Send(Find(id), MCI_STOP, flags, &params);
}

MciError MciMediaDevice::Seek(MciDeviceId id, std::int32_t to, const MciFlags &flags) {
  MCI_SEEK_PARMS params{};
  params.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
  params.dwTo = DWORD(to);
  Device *device = Find(id);
  const DWORD system = Prepare(device, flags) | MCI_TO;
  return ::mciSendCommandW(device ? device->mci : 0, MCI_SEEK, system,
                           reinterpret_cast<DWORD_PTR>(&params));
}

MciError MciMediaDevice::Mode(MciDeviceId id, TMPModes &mode) {
  const Device *device = Find(id);
  MCI_STATUS_PARMS params{};
  params.dwItem = MCI_STATUS_MODE;
  const MciError error =
      ::mciSendCommandW(device ? device->mci : 0, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT,
                        reinterpret_cast<DWORD_PTR>(&params));
  if (error != 0) return error;
  const DWORD_PTR reported = params.dwReturn - MCI_MODE_NOT_READY;
  mode = reported <= mpOpen ? TMPModes(reported) : mpNotReady;
  return 0;
}

QString MciMediaDevice::ErrorText(MciError code) {
  wchar_t text[4096];
  if (!::mciGetErrorStringW(code, text, UINT(std::size(text)))) return QString();
  return QString::fromWCharArray(text);
}

void MciMediaDevice::DeliverPosted() {
  MSG message;
  while (
      ::PeekMessageW(&message, static_cast<HWND>(window_), MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE))
    Deliver(unsigned(message.lParam), unsigned(message.wParam));
}

void MciMediaDevice::Deliver(unsigned int mci, unsigned int result) {
  // A device closed since, by its player or with it, has nobody to tell.
  const Device *device = FindMci(mci);
  if (device && device->target) PostNotify(device->target, Outcome(result), device->id);
}

} // namespace zanthorix
