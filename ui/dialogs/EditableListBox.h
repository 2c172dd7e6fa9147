// A list box whose rows are renamed in place (double click, right click on the selected row or
// the Insert key; never the first row), and the single-line editor it puts over the row.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <functional>

// An in-place editor over another control: Enter commits, Escape cancels, losing the focus
// commits. It reports the end once, through the callback (the parent's end-of-edit message).
class CEditHelper : public QLineEdit {
 public:
  using EndEdit = std::function<void(bool commit)>;
  CEditHelper(QWidget* parent, EndEdit onEnd) : QLineEdit(parent), m_onEnd(std::move(onEnd)) {}
  // After this the editor reports nothing more (it is being destroyed).
  void Detach() { m_onEnd = nullptr; }
  // Typing stops at limit characters; a longer text already in the editor, or pasted into it,
  // stays whole (for the list's owner to refuse in words) and takes no more typed characters
  // until it is shorter than the limit. The first limit set holds.
  void SetTextLimit(int limit);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Report(bool commit);
  EndEdit m_onEnd;
  int m_limit = 0;  // 0: no limit
};

class CEditableListBox : public QListWidget {
 public:
  // Names and passwords are at most this long.
  static constexpr int kMaxTextLength = 8;

  explicit CEditableListBox(QWidget* parent = nullptr);
  ~CEditableListBox() override;

  // Row renamed (index after re-insertion, old text): the parent's rename message. Sent only
  // when notify is on and the text changed.
  void SetRowRenamedHandler(std::function<void(int index, const QString& oldText)> handler) {
    m_onRenamed = std::move(handler);
  }
  void SetSorted(bool sorted) { m_sorted = sorted; }
  void SetNotify(bool notify) { m_notify = notify; }

  // Starts the rename of the selected row (not of the first one).
  void BeginEdit();
  // Ends it; commit applies the typed text.
  void EndEdit(bool commit);
  bool IsEditing() const { return m_editor != nullptr; }
  int GetEditIndex() const { return m_editIndex; }
  CEditHelper* GetEditor() const { return m_editor; }

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool PointOnSelectedRow(const QPoint& point) const;

  QPointer<CEditHelper> m_editor;
  int m_editIndex = -1;
  bool m_sorted = false;
  bool m_notify = true;
  std::function<void(int, const QString&)> m_onRenamed;
};
