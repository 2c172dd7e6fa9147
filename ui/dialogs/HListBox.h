// A list box whose horizontal scroll extent follows its widest row.
#pragma once

#include <QListWidget>

class CHListBox : public QListWidget {
 public:
  explicit CHListBox(QWidget* parent = nullptr);

  // Adds the row at the end; widens the extent when the row is wider. Returns its index.
  int AddString(const QString& text);
  // Deletes the row and recomputes the extent from the rows left; the count left, or -1 (and
  // nothing changes) for an index out of range.
  int DeleteString(int index);
  // Empties the list and starts the widest row's width again from 0.
  void ResetContent();
  // The widest row's width in pixels: its text plus three border widths.
  int GetHorizontalExtent() const { return m_extent; }

 private:
  int RowWidth(const QString& text) const;
  void ApplyExtent();

  int m_extent = 0;
};
