// SPDX-License-Identifier: GPL-3.0-or-later
// A status bar of fixed panels, drawn by us so that each panel starts exactly
// where its width says, whatever margins the style would add.
#pragma once

#include <QStatusBar>
#include <QStringList>

namespace zanthorix {

class TStatusBar : public QStatusBar {
  Q_OBJECT
public:
  static constexpr int PanelWidth = 100;
  static constexpr int PanelCount = 2;
  static constexpr int BarHeight = 20;

  explicit TStatusBar(QWidget *parent = nullptr);

  QString PanelText(int panel) const { return texts_.value(panel); }
  void SetPanelText(int panel, const QString &text);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QStringList texts_;
};

} // namespace zanthorix
