// The tip that says why an edit was refused: a small window under what was edited, the label
// "Error" in bold, then the message. It takes no focus. UI thread.
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

class QLabel;
class QTimer;

class CErrorTip : public QWidget {
 public:
  explicit CErrorTip(QWidget* parent);

  // Takes the message and sizes the tip for it: width wide and as high as the message needs,
  // wrapped at that width. The size.
  QSize Fit(int width, const QString& message);
  // Shows message with the tip's top-left corner at anchor (screen coordinates), sized as Fit
  // sizes it.
  void ShowAt(const QPoint& anchor, int width, const QString& message);
  // Shows message for ms milliseconds beside target, a rectangle of host in host's own
  // coordinates: under it, as wide as it and wide enough for a few words, kept inside host's
  // width; above it when host ends below it first, and over its lower part when neither fits.
  void ShowBeside(const QWidget& host, const QRect& target, const QString& message, int ms);
  QString Message() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* m_label;
  QLabel* m_text;
  QTimer* m_hide = nullptr;  // made at the first ShowBeside
};
