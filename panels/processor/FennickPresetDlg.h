// The Fennick panel's preset name dialog: one name of at most 16 characters, "Save" or
// "Cancel". Opened for a store ("Store Preset") and a rename ("Rename Preset").
#pragma once

#include <QString>

#include "widgets/BitmapDialogEx.h"

class QLineEdit;
class QPushButton;

class CFennickPresetDlg : public CBitmapDialogEx {
 public:
  // Placed at (x, y) from the parent's top-left corner (on the screen when there is none).
  CFennickPresetDlg(QWidget* parent, int x, int y, const QString& caption);

  static constexpr int kNameLength = 16;

  // The name shown on entry; after "Save" the typed one.
  QString m_name;
  QString GetPresetName() const { return m_name; }

  QLineEdit* NameEdit() const { return m_edit; }
  QPushButton* SaveButton() const { return m_save; }
  QPushButton* CancelButton() const { return m_cancel; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* m_edit;
  QPushButton* m_save;
  QPushButton* m_cancel;
  QPoint m_offset;
  bool m_opened = false;
};
