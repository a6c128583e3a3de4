// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SessionEnd.h"

#include "gui/HiddenWindow.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zanthorix {

namespace {

const wchar_t WindowClass[] = L"ZanthorixSessionEnd";

} // namespace

// A hidden top-level window of our own: Windows asks every top-level window
// whether the session may end, whatever Qt's platform draws the game with.
struct SessionEnd::Watch {
  HWND window = nullptr;
  SessionEnd *owner = nullptr;

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto *watch = reinterpret_cast<Watch *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_QUERYENDSESSION:
      return TRUE; // nothing is lost by ending: the answer is always yes
    case WM_ENDSESSION:
      // The process ends as soon as this returns: close and save now.
      if (wParam && watch && watch->owner) {
        RunSignalHook(); // a waiting sound ends before the answer
        if (watch->owner->onEnd_) watch->owner->onEnd_();
        if (watch->owner->onFinal_) watch->owner->onFinal_();
      }
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
  }
};

// Nothing outlives the process here: afterwards has nothing to restore.
SessionEnd::SessionEnd(std::function<void()> onEnd, Afterwards afterwards,
                       std::function<void()> onFinal, QObject *parent)
    : QObject(parent), onEnd_(std::move(onEnd)), onFinal_(std::move(onFinal)),
      afterwards_(afterwards), watch_(std::make_unique<Watch>()) {
  watch_->owner = this;
  watch_->window = MakeHiddenWindow(WindowClass, &Watch::Procedure, WS_EX_TOOLWINDOW, WS_POPUP,
                                    nullptr, watch_.get());
}

SessionEnd::~SessionEnd() {
  if (watch_->window) ::DestroyWindow(watch_->window);
}

} // namespace zanthorix
