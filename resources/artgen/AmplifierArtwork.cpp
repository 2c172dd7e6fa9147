// Drawings of the amplifier families' images: the Zel amplifier's rack tile in the Zel colour.
#include <QLinearGradient>
#include <QRadialGradient>

#include "resources/artgen/ArtKit.h"

namespace {

const QColor kZelOrange(224, 123, 32);

void Body(QPainter& p, QSize s) {
  QLinearGradient g(0, 0, 0, s.height());
  g.setColorAt(0.0, QColor(74, 78, 86));
  g.setColorAt(0.5, QColor(48, 51, 58));
  g.setColorAt(1.0, QColor(34, 36, 41));
  p.fillRect(QRect(QPoint(0, 0), s), g);
  p.fillRect(QRect(0, 0, s.width(), 1), QColor(108, 113, 122));
  p.fillRect(QRect(0, s.height() - 1, s.width(), 1), QColor(14, 15, 18));
}

void Screw(QPainter& p, QPointF c) {
  QRadialGradient g(c - QPointF(1, 1), 4);
  g.setColorAt(0.0, QColor(220, 224, 230));
  g.setColorAt(1.0, QColor(120, 126, 136));
  p.setPen(QPen(QColor(20, 22, 26), 1));
  p.setBrush(g);
  p.drawEllipse(c, 3.0, 3.0);
  p.setPen(QPen(QColor(40, 44, 50), 1.2));
  p.drawLine(c + QPointF(-1.8, 0), c + QPointF(1.8, 0));
}

// Rack ear with a screw, the Zel stripe and a short vent grille before the name.
const ArtRegistrar kLeft("tile_zel_amp_left", [](QPainter& p, QSize s) {
  Body(p, s);
  p.fillRect(QRect(0, 1, 12, s.height() - 2), QColor(30, 32, 37));
  Screw(p, QPointF(6, s.height() / 2.0));
  p.fillRect(QRect(15, 4, 3, s.height() - 8), kZelOrange);
  for (int y = 7; y < s.height() - 6; y += 3) p.fillRect(QRect(21, y, 5, 1), QColor(22, 24, 28));
});

// The status LED's recess (x 0 to 10, y 10 to 20) and the right rack ear.
const ArtRegistrar kRight("tile_zel_amp_right", [](QPainter& p, QSize s) {
  Body(p, s);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(16, 17, 20), 1));
  p.setBrush(QColor(22, 24, 28));
  p.drawRoundedRect(QRectF(-1.5, 8.5, 13, 13), 3, 3);
  p.fillRect(QRect(s.width() - 12, 1, 12, s.height() - 2), QColor(30, 32, 37));
  Screw(p, QPointF(s.width() - 6, s.height() / 2.0));
});

const ArtRegistrar kMiddle("tile_zel_amp_middle", [](QPainter& p, QSize s) { Body(p, s); });

}  // namespace
