// A tree whose items can have their own text colour and font: greyed members of a link, the
// master drawn bold. A selected item shows the tree's own selection colours while the tree has
// the focus; without it, a grey item is drawn in its grey on the tree's ground.
#pragma once

#include <QColor>
#include <QTreeWidget>

class CTreeCtrlEx : public QTreeWidget {
 public:
  // RGB 150, 150, 150.
  static QColor GreyColour() { return QColor(150, 150, 150); }

  explicit CTreeCtrlEx(QWidget* parent = nullptr);

  void SetItemGrey(QTreeWidgetItem* item);
  void SetItemBold(QTreeWidgetItem* item, bool bold);
  static bool IsItemBold(const QTreeWidgetItem* item);
};
