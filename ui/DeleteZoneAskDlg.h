// "Delete Zone": asks whether the devices of the zone go with it.
#pragma once

#include <QDialog>
#include <cstdint>

class QPushButton;

class CDeleteZoneAskDlg : public QDialog {
 public:
  explicit CDeleteZoneAskDlg(QWidget* parent = nullptr);

  // 1 "Delete Devices", 0 "Don't Delete Devices" (after OK); 0 before the dialog ends.
  std::int32_t m_bDeleteDevices = 0;

  QPushButton* DeleteButton() const { return m_delete; }
  QPushButton* KeepButton() const { return m_keep; }
  QPushButton* CancelButton() const { return m_cancel; }

 private:
  QPushButton* m_delete;
  QPushButton* m_keep;
  QPushButton* m_cancel;
};
