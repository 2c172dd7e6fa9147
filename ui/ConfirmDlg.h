// The confirmation question box with its box for never asking again, and the question asker
// that the main frame gives the system object.
#pragma once

#include <QDialog>
#include <QString>

#include "core/model/Confirm.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;

// What the question boxes share: the question mark beside the question, and buttons with room
// around their texts, none narrower than 80 pixels.
QHBoxLayout* MakeQuestionRow(QWidget* owner, QWidget* question);
void PadQuestionButton(QPushButton* button);

// Modal box: the question, the OK button relabelled, "Cancel" and "Don't bother me with this
// dialog box ever again". OK stores the state of the check box for the caller to read.
class CConfirmDlg : public QDialog {
 public:
  CConfirmDlg(const QString& caption, const QString& question, const QString& okText,
              QWidget* parent = nullptr);

  // The check box's state at OK; false until OK was pressed.
  bool GetNeverAgain() const { return m_neverAgain; }

  QLabel* QuestionLabel() const { return m_question; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }
  QCheckBox* NeverAgainBox() const { return m_neverAgainBox; }

  void accept() override;

 private:
  QLabel* m_question;
  QPushButton* m_ok;
  QPushButton* m_cancel;
  QCheckBox* m_neverAgainBox;
  bool m_neverAgain = false;
};

// Asks with CConfirmDlg over the owner window. UI thread.
class CQtConfirmPrompt {
 public:
  explicit CQtConfirmPrompt(QWidget* owner) : m_owner(owner) {}
  bool AskConfirm(const std::string& caption, const std::string& question, const std::string& okText,
                  bool& neverAgain);

 private:
  QWidget* m_owner;
};
