// SPDX-License-Identifier: GPL-3.0-or-later
// Windows: a window of ours that is never shown, for the messages the system
// sends only to windows (the session's end, MCI's notifications).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zanthorix {

// Registers className on first use (a second registration fails harmlessly)
// and makes the window, with data as its user data; null when it cannot be made.
inline HWND MakeHiddenWindow(const wchar_t *className, WNDPROC procedure, DWORD extendedStyle,
                             DWORD style, HWND parent, void *data) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = className;
  ::RegisterClassW(&windowClass);
  const HWND window = ::CreateWindowExW(extendedStyle, className, L"", style, 0, 0, 0, 0, parent,
                                        nullptr, instance, nullptr);
  if (window) ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
  return window;
}

} // namespace zanthorix
