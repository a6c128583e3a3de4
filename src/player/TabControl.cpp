// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/TabControl.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include <algorithm>

namespace zanthorix {

TTabControl::TTabControl(QWidget *parent) : QWidget(parent), bar_(new QTabBar(this)) {
  bar_->setShape(QTabBar::RoundedSouth);
  bar_->setExpanding(false);
  bar_->setDrawBase(false);
  bar_->setUsesScrollButtons(false);
  bar_->setElideMode(Qt::ElideNone);
  // Narrow tabs, so that all five fit along the bottom in one row.
  bar_->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 2px 6px; }"));
  connect(bar_, &QTabBar::currentChanged, this, [this] {
    if (!bar_->signalsBlocked()) emit Change();
  });
  PlaceBar();
}

QStringList TTabControl::tabs() const {
  QStringList captions;
  for (int i = 0; i < bar_->count(); ++i)
    captions << bar_->tabText(i);
  return captions;
}

void TTabControl::setTabs(const QStringList &captions) {
  const QSignalBlocker block(bar_);
  while (bar_->count() > 0)
    bar_->removeTab(0);
  for (const QString &caption : captions)
    bar_->addTab(caption);
  PlaceBar();
}

int TTabControl::tabIndex() const { return bar_->currentIndex(); }

void TTabControl::setTabIndex(int index) {
  const QSignalBlocker block(bar_);
  bar_->setCurrentIndex(index);
}

void TTabControl::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  PlaceBar();
}

void TTabControl::PlaceBar() {
  const int barHeight = bar_->sizeHint().height();
  bar_->setGeometry(0, height() - barHeight, width(), barHeight);
  bar_->raise();
}

void TTabControl::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  frame.shape = QTabBar::RoundedSouth;
  frame.tabBarSize = bar_->size();
  frame.rect = QRect(0, 0, width(), height() - bar_->height() + 2);
  style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

} // namespace zanthorix
