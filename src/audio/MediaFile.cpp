// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/MediaFile.h"

#include <QFile>
#include <QFileInfo>

namespace zanthorix {

MciError ReadMediaFile(const QString &fileName, qint64 largest, MciError tooLarge,
                       QByteArray &bytes) {
  const QFileInfo info(fileName);
  if (!info.isFile()) return kMciErrFileNotFound;
  if (info.size() > largest) return tooLarge;
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return kMciErrCannotReadFile;
  bytes = file.read(largest + 1); // it may have grown since
  if (file.error() != QFileDevice::NoError) return kMciErrCannotReadFile;
  if (bytes.size() > largest) return tooLarge;
  return kMciNoError;
}

} // namespace zanthorix
