// Horizontal extent of a list box.
#include "ui/dialogs/HListBox.h"

#include <QFontMetrics>
#include <QScrollBar>

namespace {
constexpr int kBorder = 1;
}

CHListBox::CHListBox(QWidget* parent) : QListWidget(parent) {
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

int CHListBox::RowWidth(const QString& text) const {
  return QFontMetrics(font()).horizontalAdvance(text) + 3 * kBorder;
}

void CHListBox::ApplyExtent() {
  // The list shows rows no wider than this; wider content scrolls.
  horizontalScrollBar()->setRange(0, std::max(0, m_extent - viewport()->width()));
}

int CHListBox::AddString(const QString& text) {
  addItem(text);
  const int width = RowWidth(text);
  if (width > m_extent) {
    m_extent = width;
    ApplyExtent();
  }
  return count() - 1;
}

int CHListBox::DeleteString(int index) {
  if (index < 0 || index >= count()) return -1;
  delete takeItem(index);
  m_extent = 0;
  for (int i = 0; i < count(); ++i) m_extent = std::max(m_extent, RowWidth(item(i)->text()));
  ApplyExtent();
  return count();
}

void CHListBox::ResetContent() {
  clear();
  m_extent = 0;
  ApplyExtent();
}
