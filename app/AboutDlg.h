// The About box: product name, version and the credits of the libraries linked in.
#pragma once

#include "widgets/BitmapDialogEx.h"

class QLabel;
class QPushButton;

class CAboutDlg : public CBitmapDialogEx {
  Q_OBJECT  // the style sheet selects the box by its class name

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  // Heights of the box with the credits shown and hidden; width and position never change.
  static constexpr int kHeightWithCredits = 257;
  static constexpr int kHeightWithoutCredits = 110;

  // The "Credits" button (1098): shows or hides the credits.
  void OnCredits();
  bool AreCreditsShown() const { return m_creditsShown; }

  // Three blocks separated by blank lines: boost, Qt and FreeImage with the versions of the
  // libraries this program runs with.
  static QString CreditsText();

  QLabel* ProductLabel() const { return m_product; }
  QLabel* VersionLabel() const { return m_version; }
  QLabel* CreditsLabel() const { return m_credits; }
  QPushButton* CreditsButton() const { return m_creditsButton; }

 private:
  QLabel* m_product;
  QLabel* m_version;
  QLabel* m_credits;
  QPushButton* m_creditsButton;
  bool m_creditsShown = false;
};
