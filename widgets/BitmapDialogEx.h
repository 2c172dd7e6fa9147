// Base of the skinned dialogs: captionless, rounded, fades in on opening and out on closing,
// with an optional drawn title bar and close box.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "widgets/DialogFade.h"

class CBitmapImage;

class CBitmapDialogEx : public QDialog {
 public:
  explicit CBitmapDialogEx(QWidget* parent = nullptr, const QString& title = QString());
  ~CBitmapDialogEx() override;

  void SetTitle(const QString& title) { m_title = title; update(); }
  const QString& GetTitle() const { return m_title; }
  void SetCloseBoxShown(bool shown) { m_closeBoxShown = shown; }
  void SetTargetOpacity(float opacity) { m_fade.SetTarget(opacity); }
  // Non-zero: the fade-out starts by itself this long after opening.
  void SetAutoCloseDelay(std::uint32_t ms) { m_autoCloseMs = ms; }
  // Non-zero: the "BMP" resource of that number is drawn at its own size at the top-left
  // corner of the dialog, under the title bar and the frames. The bitmap is made from the
  // resource when the dialog is first sized; 0 (every dialog's choice so far): none.
  void SetBackgroundResource(std::uint16_t id) { m_backgroundId = id; }
  // The background bitmap; null before it is made, or with no resource or one that does not load.
  const CBitmapImage* GetBackgroundBitmap() const { return m_background.get(); }

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

  // How the dialog tells the person something: a warning box captioned with the dialog's
  // title unless replaced (tests).
  void SetMessageHandler(std::function<void(const QString&)> handler) { m_message = std::move(handler); }

 protected:
  void ShowWarning(const QString& text);
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

  std::unique_ptr<CBitmapImage> m_background;
  std::uint16_t m_backgroundId = 0;
  QString m_title;
  std::uint32_t m_autoCloseMs = 0;
  bool m_closeBoxShown = false;
  bool m_closeBoxHot = false;
  CDialogFade m_fade;
  bool m_endWithCancel = true;
  bool m_initialised = false;
  int m_fadeTimerId = 0;
  int m_autoCloseTimerId = 0;
  std::function<void(const QString&)> m_message;
};
