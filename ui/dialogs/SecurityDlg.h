// "Checking Security..." / "Updating Security...": the window through which the comms worker
// talks to the person at the console during a security pass. It shows the worker's progress
// lines and how far its check of the units is, asks for the Admin password of secured devices
// and whether to import the network's users; the worker decides, waits for the answer and
// finally sets the finished flag, on which the dialog fades out by itself.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "widgets/BitmapDialogEx.h"

class CSystem;
class CSecurityDialogLink;
struct CSecurityRequest;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class CSecurityDlg : public CBitmapDialogEx {
 public:
  // Timer that watches the finished flag, and its period.
  static constexpr int kFinishedTimer = 1992;
  static constexpr int kFinishedWatchMs = 100;

  explicit CSecurityDlg(CSystem& system, QWidget* parent = nullptr);
  ~CSecurityDlg() override;

  // Ok or Enter: the answer becomes Ok (Import). The dialog stays open.
  void accept() override;
  // Cancel or Escape: the answer becomes Cancel (Don't Import). The dialog stays open.
  void reject() override;
  void OnBnClickedAbort();

  // What the worker reads. UI thread.
  std::int32_t GetAnswer() const;
  QString GetPasswordText() const;
  // The link handed to the system when the dialog opened; null before.
  const std::shared_ptr<CSecurityDialogLink>& GetLink() const { return m_link; }

  QLabel* HeaderLine() const { return m_header; }
  QLabel* PromptLine() const { return m_prompt; }
  QLabel* MessageArea() const { return m_message; }
  QListWidget* DeviceList() const { return m_devices; }
  QLineEdit* PasswordEdit() const { return m_password; }
  QPushButton* CancelButton() const { return m_cancel; }
  QPushButton* AbortButton() const { return m_abort; }
  QPushButton* OkButton() const { return m_ok; }

 protected:
  void showEvent(QShowEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void done(int result) override;

 private:
  class Inbox;
  // Takes every request the worker has queued and shows them in order.
  void TakeRequests();
  void OnSecurityProgress(const CSecurityRequest& request);
  void SetAnswer(std::int32_t answer);
  // The dialog is going: the worker stops waiting on it and posts nothing more.
  void CloseLink();

  CSystem& m_system;
  std::unique_ptr<Inbox> m_inbox;
  std::shared_ptr<CSecurityDialogLink> m_link;
  bool m_initialised = false;
  int m_finishedTimerId = 0;

  QLabel* m_header;
  QLabel* m_prompt;
  QLabel* m_message;
  QListWidget* m_devices;
  QLineEdit* m_password;
  QPushButton* m_cancel;
  QPushButton* m_abort;
  QPushButton* m_ok;
};
