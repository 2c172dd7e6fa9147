// Registry and helpers of the artwork generator.
#include "resources/artgen/ArtKit.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

std::map<std::string, ArtDrawer>& ArtRegistry() {
  static std::map<std::string, ArtDrawer> registry;
  return registry;
}

namespace art {

QFont Font(int pixelSize, bool bold) {
  QFont f(QStringLiteral("Liberation Sans"));
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  return f;
}

void Caption(QPainter& p, const QRectF& r, const QString& text, int pixels, int align, const QColor& ink, bool bold) {
  p.setPen(ink);
  p.setFont(Font(pixels, bold));
  p.drawText(r, align, text);
}

void Recess(QPainter& p, const QRectF& r, double radius, const QColor& fill) {
  p.setPen(QPen(QColor(10, 11, 13), 1));
  p.setBrush(fill);
  p.drawRoundedRect(r, radius, radius);
  p.setPen(QPen(QColor(255, 255, 255, 28), 1));
  p.drawLine(QPointF(r.left() + radius, r.bottom() + 1), QPointF(r.right() - radius, r.bottom() + 1));
}

void BrushedFront(QPainter& p, QSize s) {
  QLinearGradient g(0, 0, 0, s.height());
  g.setColorAt(0.0, QColor(66, 71, 80));
  g.setColorAt(0.15, QColor(48, 52, 59));
  g.setColorAt(1.0, QColor(30, 32, 37));
  p.fillRect(QRect(QPoint(0, 0), s), g);
  for (int y = 0; y < s.height(); y += 2) p.fillRect(QRect(0, y, s.width(), 1), QColor(255, 255, 255, 5));
  p.setPen(QPen(QColor(12, 13, 15), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1));
}

void ShadedFace(QPainter& p, const QRect& r, const QColor& top, const QColor& bottom) {
  QLinearGradient g(0, r.top(), 0, r.bottom());
  g.setColorAt(0.0, top);
  g.setColorAt(1.0, bottom);
  p.fillRect(r, g);
  for (int y = r.top(); y < r.bottom(); y += 2) p.fillRect(QRect(r.left(), y, r.width(), 1), QColor(255, 255, 255, 4));
}

void RaisedFace(QPainter& p, const QRectF& span, const QRectF& r, double radius, const QColor& top,
                const QColor& bottom, const QColor& outline, const QColor& light, const QLineF& line) {
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, span.top(), 0, span.bottom());
  g.setColorAt(0.0, top);
  g.setColorAt(1.0, bottom);
  p.setPen(QPen(outline, 1));
  p.setBrush(g);
  p.drawRoundedRect(r, radius, radius);
  p.setPen(QPen(light, 1));
  p.drawLine(line);
}

QPen Pen(const QColor& c, double width) {
  QPen pen(c, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

void DrawStrip(QPainter& p, const std::vector<Glyph>& glyphs) {
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    p.save();
    p.translate(16.0 * double(i), 0.0);
    p.setClipRect(QRectF(0, 0, 16, 16));
    glyphs[i](p);
    p.restore();
  }
}

void Page(QPainter& p, QRectF r) {
  // A sheet with a folded top-right corner; r is the sheet's outline on pixel centres.
  const double fold = 4.0;
  QPainterPath sheet;
  sheet.moveTo(r.left(), r.top());
  sheet.lineTo(r.right() - fold, r.top());
  sheet.lineTo(r.right(), r.top() + fold);
  sheet.lineTo(r.right(), r.bottom());
  sheet.lineTo(r.left(), r.bottom());
  sheet.closeSubpath();
  p.setPen(Pen(kOutline));
  p.setBrush(kPaper);
  p.drawPath(sheet);
  QPainterPath corner;
  corner.moveTo(r.right() - fold, r.top());
  corner.lineTo(r.right() - fold, r.top() + fold);
  corner.lineTo(r.right(), r.top() + fold);
  p.setBrush(Qt::NoBrush);
  p.drawPath(corner);
}

namespace {
// A round badge in the cell's bottom-right quarter, centred on (12, 12).
void Badge(QPainter& p, const QColor& fill) {
  p.setPen(Pen(Qt::white, 1.0));
  p.setBrush(fill);
  p.drawEllipse(QRectF(7.5, 7.5, 9, 9));
}
}  // namespace

void PlusBadge(QPainter& p) {
  Badge(p, kGreen);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(11, 9, 2, 6));
  p.drawRect(QRectF(9, 11, 6, 2));
}

void CrossBadge(QPainter& p) {
  Badge(p, kRed);
  p.setPen(Pen(Qt::white, 1.8));
  p.drawLine(QPointF(10, 10), QPointF(14, 14));
  p.drawLine(QPointF(14, 10), QPointF(10, 14));
}

void CheckBadge(QPainter& p) {
  Badge(p, kGreen);
  p.setPen(Pen(Qt::white, 1.6));
  p.drawLine(QPointF(9.5, 12), QPointF(11.5, 14));
  p.drawLine(QPointF(11.5, 14), QPointF(14.5, 10));
}

void PencilBadge(QPainter& p) {
  p.save();
  p.translate(12, 12);
  p.rotate(45);
  p.setPen(Pen(kOutline, 1.0));
  p.setBrush(kFolder);
  p.drawRect(QRectF(-1.5, -6, 3, 8));
  QPainterPath tip;
  tip.moveTo(-1.5, 2);
  tip.lineTo(1.5, 2);
  tip.lineTo(0, 5);
  tip.closeSubpath();
  p.setBrush(kPaper);
  p.drawPath(tip);
  p.restore();
}

void TileBody(QPainter& p, QSize s) {
  QLinearGradient g(0, 0, 0, s.height());
  g.setColorAt(0.0, QColor(78, 84, 94));
  g.setColorAt(0.5, QColor(52, 56, 64));
  g.setColorAt(1.0, QColor(38, 41, 47));
  p.fillRect(QRect(QPoint(0, 0), s), g);
  p.fillRect(QRect(0, 0, s.width(), 1), QColor(112, 118, 128));
  p.fillRect(QRect(0, s.height() - 1, s.width(), 1), QColor(16, 17, 20));
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

}  // namespace art
