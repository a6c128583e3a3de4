// SPDX-License-Identifier: GPL-3.0-or-later
// A tab control in the old sense: one client area shared by all tabs, the
// tabs only telling which data it shows. The tabs run along the bottom edge.
#pragma once

#include <QStringList>
#include <QWidget>

class QTabBar;

namespace zanthorix {

class TTabControl : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QStringList tabs READ tabs WRITE setTabs)
  Q_PROPERTY(int tabIndex READ tabIndex WRITE setTabIndex)
public:
  explicit TTabControl(QWidget *parent = nullptr);

  QStringList tabs() const;
  void setTabs(const QStringList &captions);
  int tabIndex() const;
  // Selecting from the program does not report a change.
  void setTabIndex(int index);
  QTabBar *tabBar() const { return bar_; }

signals:
  // The player picked another tab.
  void Change();

protected:
  void resizeEvent(QResizeEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

private:
  void PlaceBar();
  QTabBar *bar_;
};

} // namespace zanthorix
