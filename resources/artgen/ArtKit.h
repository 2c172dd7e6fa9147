// Shared pieces of the artwork generator: the registry of drawings by name and small drawing
// helpers for a plain, consistent look.
#pragma once

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <functional>
#include <map>
#include <string>

// Draws one picture into a transparent canvas of the table's size.
using ArtDrawer = std::function<void(QPainter& p, QSize size)>;

std::map<std::string, ArtDrawer>& ArtRegistry();

// Registers a drawing under the table name it draws (one static object per drawing).
struct ArtRegistrar {
  ArtRegistrar(const char* name, ArtDrawer drawer) { ArtRegistry()[name] = std::move(drawer); }
};

namespace art {

// Palette of the program's own artwork.
inline const QColor kOutline(48, 48, 52);
inline const QColor kPaper(250, 250, 250);
inline const QColor kFolder(232, 184, 74);
inline const QColor kBlue(52, 110, 190);
inline const QColor kGreen(46, 150, 70);
inline const QColor kRed(200, 56, 56);
inline const QColor kGrey(130, 134, 140);
inline const QColor kDark(28, 30, 34);

// The sans-serif face of the artwork at a pixel size.
QFont Font(int pixelSize, bool bold = false);

// Each 16 x 16 cell of a toolbar strip is drawn by one glyph, with the cell's origin at (0, 0).
using Glyph = std::function<void(QPainter& p)>;
void DrawStrip(QPainter& p, const std::vector<Glyph>& glyphs);

// Glyph pieces in a 16 x 16 cell.
void Page(QPainter& p, QRectF r);
void PlusBadge(QPainter& p);
void CrossBadge(QPainter& p);
void PencilBadge(QPainter& p);
void CheckBadge(QPainter& p);

// Rack tiles: a dark front panel of the tile's size, and a rack screw centred at c.
void TileBody(QPainter& p, QSize s);
void Screw(QPainter& p, QPointF c);

// Panel skins: a caption in the artwork's face, and a recessed well (dark fill, a faint
// highlight under its lower edge). Pass half-pixel rectangles for sharp edges.
void Caption(QPainter& p, const QRectF& r, const QString& text, int pixels, int align, const QColor& ink,
             bool bold = true);
void Recess(QPainter& p, const QRectF& r, double radius, const QColor& fill);
// A brushed front panel over the whole picture, lighter at the top, with its outline.
void BrushedFront(QPainter& p, QSize s);
// A panel face over r shaded from top to bottom, with faint brushed lines on every other row.
void ShadedFace(QPainter& p, const QRect& r, const QColor& top, const QColor& bottom);
// A raised face: the rounded rectangle r with its outline, filled with a shade from top to
// bottom across the span's height, and a light line along one edge.
void RaisedFace(QPainter& p, const QRectF& span, const QRectF& r, double radius, const QColor& top,
                const QColor& bottom, const QColor& outline, const QColor& light, const QLineF& line);

// A 1-pixel-sharp outline pen.
QPen Pen(const QColor& c, double width = 1.0);

}  // namespace art
