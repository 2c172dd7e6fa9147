// The tip that says why an edit was refused: a small window under what was edited, the label
// "Error" in bold, then the message. It takes no focus. UI thread.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;

class CErrorTip : public QWidget {
 public:
  explicit CErrorTip(QWidget* parent);

  // Shows message with the tip's top-left corner at anchor (screen coordinates), width wide
  // and as high as the message needs.
  void ShowAt(const QPoint& anchor, int width, const QString& message);
  QString Message() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QLabel* m_label;
  QLabel* m_text;
};
