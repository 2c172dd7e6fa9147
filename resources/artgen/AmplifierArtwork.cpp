// Drawings of the amplifier families' images: the Zel amplifier's rack tile in the Zel colour.
#include "resources/artgen/ArtKit.h"

using namespace art;

namespace {

const QColor kZelOrange(224, 123, 32);

// Rack ear with a screw, the Zel stripe and a short vent grille before the name.
const ArtRegistrar kLeft("tile_zel_amp_left", [](QPainter& p, QSize s) {
  TileBody(p, s);
  p.fillRect(QRect(0, 1, 12, s.height() - 2), QColor(30, 32, 37));
  Screw(p, QPointF(6, s.height() / 2.0));
  p.fillRect(QRect(15, 4, 3, s.height() - 8), kZelOrange);
  for (int y = 7; y < s.height() - 6; y += 3) p.fillRect(QRect(21, y, 5, 1), QColor(22, 24, 28));
});

// The status LED's recess (x 0 to 10, y 10 to 20) and the right rack ear.
const ArtRegistrar kRight("tile_zel_amp_right", [](QPainter& p, QSize s) {
  TileBody(p, s);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(16, 17, 20), 1));
  p.setBrush(QColor(22, 24, 28));
  p.drawRoundedRect(QRectF(-1.5, 8.5, 13, 13), 3, 3);
  p.fillRect(QRect(s.width() - 12, 1, 12, s.height() - 2), QColor(30, 32, 37));
  Screw(p, QPointF(s.width() - 6, s.height() / 2.0));
});

const ArtRegistrar kMiddle("tile_zel_amp_middle", [](QPainter& p, QSize s) { TileBody(p, s); });

}  // namespace
