// SPDX-License-Identifier: GPL-3.0-or-later
// Errors that a handler lets through when no event brought it there.
#pragma once

#include <exception>

namespace zanthorix {

// The application object shows the error box through this.
class ExceptionHandler {
public:
  virtual void HandleException(const std::exception &error) = 0;

protected:
  ~ExceptionHandler() = default;
};

// Shows the error box for error, as the event loop would.
void ReportException(const std::exception &error);

// Runs a handler that is not reached through an event (a window's create and
// destroy steps), reporting what it throws as the event loop would.
template <typename F> void Guarded(F &&handler) {
  try {
    handler();
  } catch (const std::exception &error) {
    ReportException(error);
  }
}

} // namespace zanthorix
