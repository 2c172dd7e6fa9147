// CWidgetHostWnd: the window side both panel windows share, the device panels' and the custom
// panels'. It keeps the back buffer the widgets are drawn into and copies it to the screen,
// turns Qt's mouse, wheel and key events into the messages and virtual keys the widgets take,
// and holds the one edit box a widget's text is typed into. What goes to which widget, and
// what the box's keys do, is each panel window's own. UI thread only.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Types.h"

class CImage;
class QLineEdit;
class QPainter;

class CWidgetHostWnd : public QWidget {
 public:
  explicit CWidgetHostWnd(QWidget* parent = nullptr);
  ~CWidgetHostWnd() override;
  CWidgetHostWnd(const CWidgetHostWnd&) = delete;
  CWidgetHostWnd& operator=(const CWidgetHostWnd&) = delete;

  CImage* GetBackBuffer() const { return m_backBuffer.get(); }
  // The open edit box, null when none.
  QLineEdit* GetEditBox() const { return m_editBox; }

  // The virtual key of a Qt key the widgets act on (Enter, Escape, Backspace, Delete, the
  // arrows, Page Up and Page Down); 0 for the others.
  static int VirtualKeyOf(int qtKey);

 protected:
  // A new back buffer of the size, black; the old one goes. Sizes below 1 give 1.
  CImage& ResetBackBuffer(int width, int height);
  // Copies the back buffer over the region, rectangle by rectangle; what lies beyond it, or
  // all of it while there is none, is black.
  void PaintBackBuffer(QPainter& painter, const QRegion& region);
  // Marks the rectangle of the window for repainting.
  void InvalidateRect(const CRect& rect);

  // A mouse message of the window with its flags (the wheel's signed delta for WM_MOUSEWHEEL)
  // and client point: left and right button down, up and double click, moves and the wheel.
  virtual void OnMouseMessage(std::uint32_t message, std::uint32_t flags, CPoint point) = 0;

  // The edit box, a child of the window over the edited widget.
  struct EditBoxLook {
    CRect rect;
    std::string text;
    Qt::Alignment alignment;
    std::optional<QFont> font;  // none: the window's
    bool frame = true;
    int maxLength = 0;  // characters that may be typed (a paste goes in whole); 0: any number
    int minWidth = 1;
    int minHeight = 1;
    QString name;
  };
  // Opens the box with its text selected and the keyboard focus. A box still open goes first
  // without a word: callers end their edit before opening another.
  QLineEdit* OpenEditBox(const EditBoxLook& look);
  // Takes the box away and gives its text; nothing when none was open. Hiding it causes a
  // focus loss that reaches nobody.
  std::optional<std::string> TakeEditBox();
  // Enter (VK_RETURN) or Escape (VK_ESCAPE) pressed in the box.
  virtual void OnEditBoxKey(int key) = 0;
  // The box lost the keyboard focus for the reason.
  virtual void OnEditBoxFocusOut(Qt::FocusReason reason) = 0;
  // The characters of typed text the box may take; the base takes all.
  virtual QString FilterTypedText(const QString& text) const { return text; }

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  // The box's Enter and Escape, typed characters (through FilterTypedText, an input method's
  // too) and loss of focus.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The left or right button's message of a button event.
  void ButtonMessage(QMouseEvent* event, std::uint32_t left, std::uint32_t right);

  std::unique_ptr<CImage> m_backBuffer;
  QLineEdit* m_editBox = nullptr;
  int m_editMaxLength = 0;  // of what is typed into the box
};
