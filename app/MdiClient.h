// The frame's central area for panel windows: black, with the logo centred and unscaled.
#pragma once

#include <QImage>
#include <QMdiArea>
#include <functional>

class QPushButton;

class CMdiClient : public QMdiArea {
 public:
  explicit CMdiClient(QWidget* parent = nullptr);

  // The logo (null: plain black). UI thread.
  void SetLogo(const QImage& logo);
  // The cached background at the current client size.
  const QImage& GetBackground() const { return m_background; }
  // Called after every change of the area's size (the frame's full-screen step waits for it).
  void SetResizeHandler(std::function<void()> handler) { m_onResize = std::move(handler); }
  // The "Close Full Screen" button at the area's top-right corner, above the panel windows:
  // shown while the frame is full screen; a click runs the handler.
  void ShowCloseFullScreen(bool shown);
  void SetCloseFullScreenHandler(std::function<void()> handler) { m_onCloseFullScreen = std::move(handler); }
  QPushButton* GetCloseFullScreenButton() const { return m_closeFullScreen; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Redraws the cache at the viewport's size and invalidates the client area.
  void OnSizeMDIClient();
  void PlaceCloseFullScreen();

  QImage m_logo;
  QImage m_background;
  std::function<void()> m_onResize;
  QPushButton* m_closeFullScreen = nullptr;
  std::function<void()> m_onCloseFullScreen;
};
