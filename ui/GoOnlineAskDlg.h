// "Go Online": asks whether going online reads the units' settings or sends the file's.
#pragma once

#include <QDialog>
#include <cstdint>

class QRadioButton;
class QCheckBox;

class CGoOnlineAskDlg : public QDialog {
 public:
  explicit CGoOnlineAskDlg(QWidget* parent = nullptr);

  // 0 retrieve settings from the units, 1 send settings to the units.
  std::uint32_t GetChoice() const { return m_choice; }
  // "Always do this and don't ask me again".
  bool GetAlways() const { return m_always; }

  QRadioButton* RetrieveButton() const { return m_retrieve; }
  QRadioButton* SendButton() const { return m_send; }
  QCheckBox* AlwaysBox() const { return m_alwaysBox; }

 private:
  QRadioButton* m_retrieve;
  QRadioButton* m_send;
  QCheckBox* m_alwaysBox;
  std::uint32_t m_choice = 0;
  bool m_always = false;
};
