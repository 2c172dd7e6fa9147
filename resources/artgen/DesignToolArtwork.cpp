// The custom panel frame's design toolbar: one 16 x 16 button per design tool, in the toolbar's
// order (select, the six widget kinds, grid, snap, delete, the four z-order moves).
#include <QPainterPath>

#include "resources/artgen/ArtKit.h"

namespace {
using namespace art;

void GlyphSelect(QPainter& p) {
  QPainterPath arrow;
  arrow.moveTo(4.5, 1.5);
  arrow.lineTo(4.5, 13.5);
  arrow.lineTo(7.5, 10.5);
  arrow.lineTo(10, 14.5);
  arrow.lineTo(11.8, 13.6);
  arrow.lineTo(9.4, 9.6);
  arrow.lineTo(13.5, 9.6);
  arrow.closeSubpath();
  p.setPen(Pen(kOutline));
  p.setBrush(kPaper);
  p.drawPath(arrow);
}

void GlyphText(QPainter& p) {
  p.setFont(Font(14, true));
  p.setPen(kBlue);
  p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("T"));
}

void GlyphKnob(QPainter& p) {
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(90, 94, 100));
  p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
  p.setPen(Pen(kBlue.lighter(140), 2.0));
  p.drawLine(QPointF(8, 8), QPointF(11, 5));
}

void GlyphFader(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kOutline);
  p.drawRect(QRectF(7, 1, 2, 14));
  p.setPen(Pen(kOutline));
  p.setBrush(kBlue);
  p.drawRect(QRectF(3.5, 5.5, 9, 4));
}

void GlyphBitmap(QPainter& p) {
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(200, 225, 250));
  p.drawRect(QRectF(1.5, 2.5, 13, 11));
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawPolygon(QPolygonF({QPointF(2, 13), QPointF(7, 7), QPointF(10, 10), QPointF(14, 6), QPointF(14, 13)}));
}

void GlyphLed(QPainter& p) {
  p.setPen(Pen(kRed.darker(150)));
  p.setBrush(kRed);
  p.drawEllipse(QRectF(3.5, 3.5, 9, 9));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 190, 190));
  p.drawEllipse(QRectF(5.5, 5.5, 3, 3));
}

void GlyphButton(QPainter& p) {
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(215, 215, 218));
  p.drawRoundedRect(QRectF(1.5, 4.5, 13, 8), 2, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawRect(QRectF(5, 7, 6, 3));
}

void GlyphGrid(QPainter& p) {
  p.setPen(Pen(kGrey));
  for (double i = 2.5; i < 15; i += 4) {
    p.drawLine(QPointF(i, 2.5), QPointF(i, 14.5));
    p.drawLine(QPointF(2.5, i), QPointF(14.5, i));
  }
}

void GlyphSnap(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kOutline);
  for (int x = 3; x <= 13; x += 5)
    for (int y = 3; y <= 13; y += 5) p.drawRect(QRectF(x - 0.5, y - 0.5, 1.5, 1.5));
  p.setBrush(kBlue);
  p.drawRect(QRectF(8, 8, 5, 5));
}

void GlyphDelete(QPainter& p) {
  p.setPen(Pen(kRed, 2.2));
  p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
  p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

// A triangle pointing up or down at y, with a bar on its far side when bar is set.
void Arrow(QPainter& p, bool up, double y, bool bar) {
  QPainterPath path;
  path.moveTo(8, up ? y : y + 5);
  path.lineTo(13, up ? y + 5 : y);
  path.lineTo(3, up ? y + 5 : y);
  path.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawPath(path);
  p.setBrush(kOutline);
  if (bar) p.drawRect(QRectF(3, up ? y - 3 : y + 7, 10, 2));
}

const ArtRegistrar kToolbarDesignTools("toolbar_design_tools", [](QPainter& p, QSize) {
  DrawStrip(p, {GlyphSelect, GlyphText, GlyphKnob, GlyphFader, GlyphBitmap, GlyphLed, GlyphButton, GlyphGrid,
                GlyphSnap, GlyphDelete, [](QPainter& q) { Arrow(q, true, 5, false); },
                [](QPainter& q) { Arrow(q, false, 5, false); }, [](QPainter& q) { Arrow(q, true, 7, true); },
                [](QPainter& q) { Arrow(q, false, 4, true); }});
});

}  // namespace
