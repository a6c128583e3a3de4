// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a media file whole, with a bound on its size.
#pragma once

#include "media/MediaDevice.h"

#include <QByteArray>
#include <QString>

namespace zanthorix {

// Reads a file of at most `largest` bytes; a larger one is `tooLarge`,
// refused before anything is read.
MciError ReadMediaFile(const QString &fileName, qint64 largest, MciError tooLarge,
                       QByteArray &bytes);

} // namespace zanthorix
