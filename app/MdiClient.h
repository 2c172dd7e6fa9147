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
  // The "Close Full Screen" button, shown while the frame is full screen, at the right end of a
  // bar of its own: the frame lays the bar out above the area, so the button never hides a
  // part of a panel window or a scroll bar. The bar is made as the area's child and hidden; it
  // is shown and hidden with the button. A click runs the handler.
  void ShowCloseFullScreen(bool shown);
  void SetCloseFullScreenHandler(std::function<void()> handler) { m_onCloseFullScreen = std::move(handler); }
  QPushButton* GetCloseFullScreenButton() const { return m_closeFullScreen; }
  QWidget* GetCloseFullScreenBar() const { return m_closeFullScreenBar; }

  // Moves a panel window that was just opened so that the right end of its title bar, where
  // its close button is, lies in the visible part of the area, and its top too: a window wider
  // than the area leaves its left part to the scroll bar instead, one that fits is moved wholly
  // into view; the scroll bars the windows then bring are reckoned, so that none covers the
  // button. Nothing while the area is not shown (its size is not known yet).
  void BringCloseButtonIntoView(QWidget* window);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Redraws the cache at the viewport's size and invalidates the client area.
  void OnSizeMDIClient();

  QImage m_logo;
  QImage m_background;
  std::function<void()> m_onResize;
  QWidget* m_closeFullScreenBar = nullptr;
  QPushButton* m_closeFullScreen = nullptr;
  std::function<void()> m_onCloseFullScreen;
};
