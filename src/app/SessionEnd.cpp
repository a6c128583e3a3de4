#include "app/SessionEnd.h"

#include <QApplication>
#include <QDialog>

namespace zanthorix {

void CloseOpenBoxes() {
  for (int popups = 0; popups < 16 && QApplication::activePopupWidget(); ++popups)
    QApplication::activePopupWidget()->close();
  for (QWidget *window : QApplication::topLevelWidgets()) {
    if (auto *box = qobject_cast<QDialog *>(window); box && box->isVisible()) box->reject();
  }
}

} // namespace zanthorix
