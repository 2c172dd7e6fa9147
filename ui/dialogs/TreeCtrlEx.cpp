// Item colours and fonts of the tree.
#include "ui/dialogs/TreeCtrlEx.h"

#include <QAbstractItemView>
#include <QStyledItemDelegate>

namespace {

// Marks an item that has its own text colour.
constexpr int kOwnColourRole = Qt::UserRole + 0x7E1;

// Draws an item with its own colour as unselected while the tree lacks the focus, so that the
// colour shows; with the focus, and for every other item, the tree's own selection look.
class COwnColourDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!index.data(kOwnColourRole).toBool()) return;
    const auto* view = qobject_cast<const QAbstractItemView*>(option->widget);
    if (view && view->hasFocus()) return;
    option->state &= ~QStyle::State_Selected;
  }
};

}  // namespace

CTreeCtrlEx::CTreeCtrlEx(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setItemDelegate(new COwnColourDelegate(this));
}

void CTreeCtrlEx::SetItemGrey(QTreeWidgetItem* item) {
  if (!item) return;
  item->setForeground(0, GreyColour());
  item->setData(0, kOwnColourRole, true);
}

void CTreeCtrlEx::SetItemBold(QTreeWidgetItem* item, bool bold) {
  if (!item) return;
  QFont f = item->font(0);
  f.setBold(bold);
  item->setFont(0, f);
}

bool CTreeCtrlEx::IsItemBold(const QTreeWidgetItem* item) { return item && item->font(0).bold(); }
