// "Confirm Dialogs", the last page of the Settings sheet: which risky actions ask first.
#pragma once

#include <QWidget>
#include <array>

class QCheckBox;

class CConfirmDialogsDlg : public QWidget {
 public:
  static constexpr int kBoxCount = 10;

  explicit CConfirmDialogsDlg(QWidget* parent = nullptr);

  // The page's title in the sheet.
  static QString Title();
  // Shows each bit of "ConfirmDialogs" in its box (done at construction too).
  void OnInitDialog();
  // Writes each box to its bit.
  void OnApply();

  // Box i, in the order of the page (kConfirmBits).
  QCheckBox* Box(int i) const { return m_boxes[std::size_t(i)]; }

 private:
  std::array<QCheckBox*, kBoxCount> m_boxes{};
};
