// SPDX-License-Identifier: GPL-3.0-or-later
// Opens one help file in the real viewer, as Help, Index does, and prints how
// long it took until the text was laid out and painted, and the peak memory.
#include "app/QtDialogs.h"
#include "player/HelpViewer.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

using namespace zanthorix;

namespace {
class PrintingDialogs final : public Dialogs {
public:
  MsgResult MessageBox(const QString &text, const QString &, MsgButtons, MsgIcon) override {
    std::printf("box: %s\n", qPrintable(text));
    return MsgResult::Ok;
  }
  QString InputBox(const QString &, const QString &, const QString &initial) override {
    return initial;
  }
};
} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_help FILE\n");
    return 2;
  }
  const QFileInfo file(QString::fromLocal8Bit(argv[1]));
  PrintingDialogs dialogs;
  QtHelpViewer viewer(dialogs, file.absolutePath() + QLatin1Char('/'));
  const auto start = std::chrono::steady_clock::now();
  viewer.Help(nullptr, file.fileName(), HELP_FINDER, 0);
  if (HelpWindow *window = viewer.Window()) {
    QApplication::processEvents();
    window->grab(); // lays out and paints what is visible
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  QFile bytes(file.filePath());
  const bool plain = bytes.open(QIODevice::ReadOnly) &&
                     ParseHelpDocument(QString::fromUtf8(bytes.readAll())).plain;
  std::printf("%.1f ms, %.1f MiB peak%s\n", ms, double(usage.ru_maxrss) / 1024.0,
              plain ? ", shown as bare text" : "");
  return 0;
}
