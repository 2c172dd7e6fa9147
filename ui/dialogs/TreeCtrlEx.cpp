// Item colours and fonts of the tree.
#include "ui/dialogs/TreeCtrlEx.h"

#include <QApplication>

CTreeCtrlEx::CTreeCtrlEx(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(true);
  // The tree keeps the application's colours inside a skinned dialog too (its branch marks
  // are drawn in the window-text colour).
  QPalette own = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText})
      own.setColor(group, role, QApplication::palette().color(group, role));
  }
  setPalette(own);
}

void CTreeCtrlEx::SetItemGrey(QTreeWidgetItem* item) {
  if (item) item->setForeground(0, GreyColour());
}

void CTreeCtrlEx::SetItemBold(QTreeWidgetItem* item, bool bold) {
  if (!item) return;
  QFont f = item->font(0);
  f.setBold(bold);
  item->setFont(0, f);
}

bool CTreeCtrlEx::IsItemBold(const QTreeWidgetItem* item) { return item && item->font(0).bold(); }
