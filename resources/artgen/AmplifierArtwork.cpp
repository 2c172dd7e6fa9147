// Drawings of the amplifier families' images: the Zel amplifier's rack tile in the Zel colour
// and the breakout boxes' rack tiles, one colour per model line.
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

// Breakout box tiles: a slim rack ear with a screw, the model line's stripe on the left end,
// a network-port row on the right end beside the status LED's recess (x 6 to 16, y 7 to 17).
void BreakLeft(QPainter& p, QSize s, const QColor& line) {
  TileBody(p, s);
  p.fillRect(QRect(0, 1, 11, s.height() - 2), QColor(30, 32, 37));
  Screw(p, QPointF(5.5, s.height() / 2.0));
  p.fillRect(QRect(15, 4, 3, s.height() - 8), line);
}

void BreakRight(QPainter& p, QSize s) {
  TileBody(p, s);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(16, 17, 20), 1));
  p.setBrush(QColor(22, 24, 28));
  p.drawRoundedRect(QRectF(4.5, 5.5, 13, 13), 3, 3);
  // Network sockets between the recess and the ear on the wider ends.
  p.setRenderHint(QPainter::Antialiasing, false);
  for (int x = 20; x + 6 <= s.width() - 13; x += 7) {
    p.fillRect(QRect(x, 8, 5, 7), QColor(18, 19, 22));
    p.fillRect(QRect(x + 1, 9, 3, 2), QColor(70, 74, 82));
  }
  p.fillRect(QRect(s.width() - 11, 1, 11, s.height() - 2), QColor(30, 32, 37));
  Screw(p, QPointF(s.width() - 5.5, s.height() / 2.0));
}

void RegisterBreakSet(const char* set, QColor line) {
  const std::string base = std::string("tile_zel_break_") + set;
  ArtRegistry()[base + "_left"] = [line](QPainter& p, QSize s) { BreakLeft(p, s, line); };
  ArtRegistry()[base + "_right"] = [](QPainter& p, QSize s) { BreakRight(p, s); };
  ArtRegistry()[base + "_middle"] = [](QPainter& p, QSize s) { TileBody(p, s); };
}

const bool kBreakTilesRegistered = [] {
  RegisterBreakSet("xb", kZelOrange);
  RegisterBreakSet("fennick", QColor(47, 127, 208));
  RegisterBreakSet("quill", QColor(58, 160, 150));
  return true;
}();

}  // namespace
