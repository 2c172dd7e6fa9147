// "Delete Zone": names the zone and how many devices it holds, and asks whether they go with it.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class QLabel;
class QPushButton;

class CDeleteZoneAskDlg : public QDialog {
 public:
  CDeleteZoneAskDlg(const QString& zoneName, int deviceCount, QWidget* parent = nullptr);

  // "Zone "<name>" holds <n> devices." (a long name cut short), then "Do you want to delete
  // the devices in this zone?".
  static QString QuestionText(const QString& zoneName, int deviceCount);
  QLabel* Question() const { return m_question; }

  // 1 "Delete Devices", 0 "Don't Delete Devices" (after OK); 0 before the dialog ends.
  std::int32_t m_bDeleteDevices = 0;

  QPushButton* DeleteButton() const { return m_delete; }
  QPushButton* KeepButton() const { return m_keep; }
  QPushButton* CancelButton() const { return m_cancel; }

 private:
  QLabel* m_question;
  QPushButton* m_delete;
  QPushButton* m_keep;
  QPushButton* m_cancel;
};
