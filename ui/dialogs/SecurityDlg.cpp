// The security dialog and its hand-over with the comms worker.
#include "core/comms/CommsWorker.h"
#include "ui/dialogs/SecurityDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimerEvent>

#include "core/comms/SecurityDialog.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "platform/WindowMessages.h"

namespace {

constexpr int kWidth = 340;
constexpr int kHeight = 252;

const char* const kNeedPasswords = "The following devices need passwords to connect :";
const char* const kEnterAdminPassword = "Please enter Admin password (case sensitive) :";
const char* const kImportQuestion =
    "You are connecting to a secure network.\n\nWould you like to import the user data from the network?";
const char* const kImportPassword =
    "\n\n\nPlease enter the Admin password\nto import the user settings from\nthe network (case sensitive) :";

}  // namespace

// Where the worker's link posts FrameMsg::kSecurityProgress: delivered on the UI thread through
// the event loop.
class CSecurityDlg::Inbox : public CMessageTarget {
 public:
  explicit Inbox(CSecurityDlg& dialog) : m_dialog(dialog) {}

 protected:
  void OnMessage(const CPostedMessage& message) override {
    if (message.message == FrameMsg::kSecurityProgress) m_dialog.TakeRequests();
  }

 private:
  CSecurityDlg& m_dialog;
};

CSecurityDlg::CSecurityDlg(CSystem& system, QWidget* parent)
    : CBitmapDialogEx(parent), m_system(system), m_inbox(std::make_unique<Inbox>(*this)) {

  m_header = new QLabel(QString::fromLatin1(kNeedPasswords), this);
  m_header->setAlignment(Qt::AlignCenter);
  m_header->setAttribute(Qt::WA_TranslucentBackground);
  m_header->setGeometry(10, 32, kWidth - 20, 18);

  m_devices = new QListWidget(this);
  m_devices->setSelectionMode(QAbstractItemView::NoSelection);
  m_devices->setFocusPolicy(Qt::NoFocus);
  m_devices->setGeometry(50, 54, kWidth - 100, 78);

  m_prompt = new QLabel(QString::fromLatin1(kEnterAdminPassword), this);
  m_prompt->setAlignment(Qt::AlignCenter);
  m_prompt->setGeometry(10, 138, kWidth - 20, 18);

  m_message = new QLabel(this);
  m_message->setAlignment(Qt::AlignCenter);
  m_message->setWordWrap(true);
  m_message->setGeometry(16, 30, kWidth - 32, 126);

  m_password = new QLineEdit(this);
  m_password->setEchoMode(QLineEdit::Password);
  m_password->setGeometry((kWidth - 170) / 2, 162, 170, 24);

  const int buttonY = kHeight - 46;
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_cancel->setGeometry(24, buttonY, 90, 26);
  m_abort = new QPushButton(QStringLiteral("Abort"), this);
  m_abort->setGeometry((kWidth - 90) / 2, buttonY, 90, 26);
  m_ok = new QPushButton(QStringLiteral("Ok"), this);
  m_ok->setGeometry(kWidth - 24 - 90, buttonY, 90, 26);
  for (QPushButton* button : {m_cancel, m_abort, m_ok}) button->setAutoDefault(false);

  connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(m_abort, &QPushButton::clicked, this, [this] { OnBnClickedAbort(); });
  connect(m_ok, &QPushButton::clicked, this, [this] { accept(); });
  connect(m_password, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (m_link) m_link->SetPasswordText(text.toStdString());
  });
  resize(kWidth, kHeight);
}

CSecurityDlg::~CSecurityDlg() { CloseLink(); }

void CSecurityDlg::showEvent(QShowEvent* event) {
  CBitmapDialogEx::showEvent(event);
  if (m_initialised) return;
  m_initialised = true;
  m_finishedTimerId = startTimer(kFinishedWatchMs);
  // Only the title and "Abort" until the worker asks for something.
  for (QWidget* w : {static_cast<QWidget*>(m_header), static_cast<QWidget*>(m_prompt),
                     static_cast<QWidget*>(m_message), static_cast<QWidget*>(m_password),
                     static_cast<QWidget*>(m_devices), static_cast<QWidget*>(m_cancel), static_cast<QWidget*>(m_ok)})
    w->hide();
  m_link = std::make_shared<CSecurityDialogLink>(m_inbox.get());
  m_system.GetComms().Security().SetDialog(m_link);
}

void CSecurityDlg::TakeRequests() {
  if (!m_link) return;
  CSecurityRequest request;
  while (m_link->TakeRequest(request)) OnSecurityProgress(request);
}

void CSecurityDlg::OnSecurityProgress(const CSecurityRequest& request) {
  auto show = [](std::initializer_list<QWidget*> shown, std::initializer_list<QWidget*> hidden) {
    for (QWidget* w : hidden) w->hide();
    for (QWidget* w : shown) w->show();
  };
  switch (request.kind) {
    case kSecurityAskPasswords:
      show({m_header, m_prompt, m_devices, m_password, m_cancel, m_ok}, {m_message});
      m_header->setText(QString::fromLatin1(kNeedPasswords));
      m_prompt->setText(QString::fromLatin1(kEnterAdminPassword));
      m_devices->clear();
      for (const std::string& name : request.deviceNames) m_devices->addItem(QString::fromStdString(name));
      m_cancel->setText(QStringLiteral("Cancel"));
      m_ok->setText(QStringLiteral("Ok"));
      m_password->clear();
      m_password->setFocus();
      break;
    case kSecurityProgressLine:
    case kSecurityProgressCount:
      show({m_message}, {m_header, m_prompt, m_password, m_devices, m_cancel, m_ok});
      m_message->setText(QString::fromStdString(request.text));
      break;
    case kSecurityAskImport:
      show({m_message, m_cancel, m_ok}, {m_header, m_prompt, m_password, m_devices});
      m_message->setText(QString::fromLatin1(kImportQuestion));
      m_cancel->setText(QStringLiteral("Don't Import"));
      m_ok->setText(QStringLiteral("Import"));
      break;
    case kSecurityAskImportPassword:
      show({m_message, m_password, m_cancel, m_ok}, {m_header, m_prompt, m_devices});
      m_message->setText(QString::fromLatin1(kImportPassword));
      m_cancel->setText(QStringLiteral("Cancel"));
      m_ok->setText(QStringLiteral("Ok"));
      m_password->clear();
      m_password->setFocus();
      break;
    default: break;
  }
  // Taking the request has already forgotten any earlier answer (a count keeps it).
}

void CSecurityDlg::SetAnswer(std::int32_t answer) {
  if (!m_link) return;
  if (answer == kSecurityAnswerOk) m_link->SetPasswordText(m_password->text().toStdString());
  m_link->SetAnswer(answer);
}

void CSecurityDlg::accept() { SetAnswer(kSecurityAnswerOk); }

void CSecurityDlg::reject() { SetAnswer(kSecurityAnswerSkip); }

void CSecurityDlg::OnBnClickedAbort() { SetAnswer(kSecurityAnswerAbort); }

std::int32_t CSecurityDlg::GetAnswer() const { return m_link ? m_link->GetAnswer() : kSecurityAnswerNone; }

QString CSecurityDlg::GetPasswordText() const { return m_password->text(); }

void CSecurityDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: accept(); return;
    case Qt::Key_Escape: reject(); return;
    default: CBitmapDialogEx::keyPressEvent(event);
  }
}

void CSecurityDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_finishedTimerId && m_link && m_link->IsFinished()) {
    killTimer(m_finishedTimerId);
    m_finishedTimerId = 0;
    StartFadeOut();
    return;
  }
  CBitmapDialogEx::timerEvent(event);
}

void CSecurityDlg::done(int result) {
  CloseLink();
  CBitmapDialogEx::done(result);
}

void CSecurityDlg::CloseLink() {
  if (!m_link) return;
  m_link->Close();
}
