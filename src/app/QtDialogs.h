// SPDX-License-Identifier: GPL-3.0-or-later
// The real modal boxes, on Qt's widgets.
#pragma once

#include "gui/Dialogs.h"

namespace zanthorix {

class QtDialogs final : public Dialogs {
public:
  MsgResult MessageBox(const QString &text, const QString &caption, MsgButtons buttons,
                       MsgIcon icon) override;
  QString InputBox(const QString &caption, const QString &prompt, const QString &initial) override;
};

} // namespace zanthorix
