// Base of the skinned dialogs: captionless, rounded, fades in on opening and out on closing,
// with an optional drawn title bar and close box.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

#include "widgets/DialogFade.h"

class CBitmapDialogEx : public QDialog {
 public:
  explicit CBitmapDialogEx(QWidget* parent = nullptr, const QString& title = QString());

  void SetTitle(const QString& title) { m_title = title; update(); }
  const QString& GetTitle() const { return m_title; }
  void SetCloseBoxShown(bool shown) { m_closeBoxShown = shown; }
  void SetTargetOpacity(float opacity) { m_fade.SetTarget(opacity); }
  // Non-zero: the fade-out starts by itself this long after opening.
  void SetAutoCloseDelay(std::uint32_t ms) { m_autoCloseMs = ms; }

  float GetOpacity() const { return m_fade.GetOpacity(); }
  bool IsFadingIn() const { return m_fade.IsFadingIn(); }
  bool IsCloseBoxShown() const { return m_closeBoxShown; }
  bool IsCloseBoxHot() const { return m_closeBoxHot; }

  // OK and Cancel start the fade-out; the dialog ends when it is done (IDOK unless only
  // Cancel ran).
  void accept() override;
  void reject() override;

  // Timer ids of the fade (20 ms steps) and of the auto-close.
  static constexpr int kFadeTimer = 97;
  static constexpr int kAutoCloseTimer = 98;
  // One fade tick; public so that tests step the fade without waiting.
  void FadeStep();
  // Starts the fade-out without touching how the dialog ends (IDCANCEL unless accept() ran):
  // for derived dialogs whose own accept() and reject() do not close them.
  void StartFadeOut();

  // The close box's hit rectangle in client co-ordinates.
  QRect CloseBoxRect() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  // Every push button with a text keeps 12 pixels each side of it (buttons of a fixed width
  // are left as they are).
  void PadButtons();
  void StartFadeTimer();
  void ApplyOpacity();

  QString m_title;
  std::uint32_t m_autoCloseMs = 0;
  bool m_closeBoxShown = false;
  bool m_closeBoxHot = false;
  CDialogFade m_fade;
  bool m_endWithCancel = true;
  bool m_initialised = false;
  int m_fadeTimerId = 0;
  int m_autoCloseTimerId = 0;
};
