// In-place rename of list rows.
#include "ui/dialogs/EditableListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <algorithm>

#include "widgets/TypedLength.h"

void CEditHelper::Report(bool commit) {
  if (m_onEnd) {
    // The handler may destroy this editor: take the callback first.
    const EndEdit onEnd = m_onEnd;
    onEnd(commit);
  }
}

void CEditHelper::SetTextLimit(int limit) {
  if (m_limit == 0) LimitTypedLength(this, limit);
  m_limit = limit;
}

void CEditHelper::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Report(true);
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    Report(false);
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void CEditHelper::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  Report(true);
}

CEditableListBox::CEditableListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
}

CEditableListBox::~CEditableListBox() {
  if (m_editor) {
    m_editor->Detach();
    delete m_editor;
  }
}

bool CEditableListBox::PointOnSelectedRow(const QPoint& point) const {
  const int row = currentRow();
  if (row < 0 || !item(row)->isSelected()) return false;
  return visualItemRect(item(row)).contains(point);
}

void CEditableListBox::BeginEdit() {
  const int row = currentRow();
  // The first row is never renamed.
  if (row <= 0 || m_editor) return;
  QRect r = visualItemRect(item(row)).adjusted(0, -2, 0, 2);
  m_editor = new CEditHelper(viewport(), [this](bool commit) { EndEdit(commit); });
  m_editor->setGeometry(r);
  m_editor->setFont(font());
  m_editor->setText(item(row)->text());
  m_editor->SetTextLimit(kMaxTextLength);
  m_editor->selectAll();
  m_editor->show();
  m_editor->setFocus();
  m_editIndex = row;
}

void CEditableListBox::EndEdit(bool commit) {
  if (!m_editor) return;
  // Forget the row and silence the editor first: the focus it loses on its way out, and the
  // scrolling that moving the row may cause, then find no edit and commit nothing (after
  // Escape as after Enter).
  CEditHelper* editor = m_editor;
  const int row = m_editIndex;
  m_editor = nullptr;
  m_editIndex = -1;
  editor->Detach();
  if (commit && row >= 0 && row < count()) {
    const QString oldText = item(row)->text();
    const QString newText = editor->text();
    if (oldText != newText) {
      // The row is put in again: its item data stays behind. Moving the row is no change of
      // selection by the user: the list's own notifications stay quiet meanwhile.
      const QSignalBlocker quiet(this);
      delete takeItem(row);
      int index = row;
      if (m_sorted) {
        index = 0;
        while (index < count() && QString::compare(item(index)->text(), newText, Qt::CaseInsensitive) <= 0) ++index;
      }
      insertItem(index, newText);
      setCurrentRow(index);
      if (m_notify && m_onRenamed) m_onRenamed(index, oldText);
    }
  }
  editor->hide();
  editor->deleteLater();
  setFocus();
}

void CEditableListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  // Not passed on: the double click only renames.
  if (PointOnSelectedRow(event->position().toPoint())) BeginEdit();
}

void CEditableListBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton && PointOnSelectedRow(event->position().toPoint())) BeginEdit();
  QListWidget::mouseReleaseEvent(event);
}

void CEditableListBox::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Insert) BeginEdit();
  QListWidget::keyReleaseEvent(event);
}

void CEditableListBox::scrollContentsBy(int dx, int dy) {
  EndEdit(true);
  QListWidget::scrollContentsBy(dx, dy);
}

void CEditableListBox::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  EndEdit(true);
}
