// About box.
#include "app/AboutDlg.h"

#include <QLabel>
#include <QPushButton>
#include <boost/version.hpp>
#include <QtGlobal>

#include "app/AppResources.h"
#include "app/AppVersion.h"
#include "platform/Bitmap.h"

namespace {
constexpr int kWidth = 380;
}

CAboutDlg::CAboutDlg(QWidget* parent) : CBitmapDialogEx(parent) {
  const QString product = AppString(kStrProductName);
  setWindowTitle(QStringLiteral("About ") + product);

  m_product = new QLabel(product, this);
  QFont bold = m_product->font();
  bold.setBold(true);
  bold.setPointSize(bold.pointSize() + 2);
  m_product->setFont(bold);
  m_product->setGeometry(16, 30, 240, 22);
  m_version = new QLabel(GetAppVersionText(), this);
  m_version->setGeometry(16, 56, 240, 18);
  m_credits = new QLabel(CreditsText(), this);
  m_credits->setWordWrap(true);
  m_credits->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_credits->setGeometry(16, 110, kWidth - 32, kHeightWithCredits - 120);
  m_credits->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(kWidth - 96, 40, 80, 24);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);
  m_creditsButton = new QPushButton(QStringLiteral("Credits"), this);
  m_creditsButton->setGeometry(kWidth - 96, 72, 80, 24);
  connect(m_creditsButton, &QPushButton::clicked, this, &CAboutDlg::OnCredits);

  m_creditsShown = false;
  resize(kWidth, kHeightWithoutCredits);
}

void CAboutDlg::OnCredits() {
  m_creditsShown = !m_creditsShown;
  const QPoint position = pos();
  resize(width(), m_creditsShown ? kHeightWithCredits : kHeightWithoutCredits);
  move(position);
}

QString CAboutDlg::CreditsText() {
  const QString boost = QString::asprintf("Boost v%d.%d.%d - ", BOOST_VERSION / 100000,
                                          BOOST_VERSION / 100 % 1000, BOOST_VERSION % 100) +
                        QStringLiteral("https://www.boost.org");
  const QString qt = QStringLiteral("Qt v") + QString::fromLatin1(qVersion()) +
                     QStringLiteral(" - https://www.qt.io");
  const QString freeImage = QStringLiteral("FreeImage v") + QString::fromStdString(GetImageLibraryVersion()) +
                            QStringLiteral("\n") + QString::fromStdString(GetImageLibraryCopyright());
  return boost + QStringLiteral("\n\n") + qt + QStringLiteral("\n\n") + freeImage;
}
