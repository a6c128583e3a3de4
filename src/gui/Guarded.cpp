// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/Guarded.h"

#include <QCoreApplication>
#include <QtGlobal>

namespace zanthorix {

void ReportException(const std::exception &error) {
  if (auto *handler = dynamic_cast<ExceptionHandler *>(QCoreApplication::instance())) {
    handler->HandleException(error);
    return;
  }
  // No game application object (a tool or a test of its own): say it at least.
  qWarning("%s", error.what());
}

} // namespace zanthorix
