// Item colours and fonts of the tree.
#include "ui/dialogs/TreeCtrlEx.h"

CTreeCtrlEx::CTreeCtrlEx(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(true);
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
