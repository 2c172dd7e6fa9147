// Drawings of the application core's images: icons, splash, logo, toolbar strips, the
// guidelines button and the processor rack tiles.
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "resources/artgen/ArtKit.h"

using namespace art;

namespace {

// ---------------------------------------------------------------------------------------------
// Toolbar glyphs (16 x 16 cells)

void GlyphNew(QPainter& p) { Page(p, QRectF(3.5, 1.5, 9, 13)); }

void GlyphOpen(QPainter& p) {
  QPainterPath back;
  back.moveTo(1.5, 13.5);
  back.lineTo(1.5, 3.5);
  back.lineTo(5.5, 3.5);
  back.lineTo(6.5, 4.5);
  back.lineTo(12.5, 4.5);
  back.lineTo(12.5, 6.5);
  p.setPen(Pen(kOutline));
  p.setBrush(kFolder.darker(115));
  p.drawPath(back);
  QPainterPath front;
  front.moveTo(1.5, 13.5);
  front.lineTo(4.5, 7.5);
  front.lineTo(15.0, 7.5);
  front.lineTo(12.5, 13.5);
  front.closeSubpath();
  p.setBrush(kFolder);
  p.drawPath(front);
}

void GlyphSave(QPainter& p) {
  p.setPen(Pen(kOutline));
  p.setBrush(kBlue);
  p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
  p.setBrush(kPaper);
  p.drawRect(QRectF(4.5, 1.5, 7, 5));
  p.setBrush(QColor(200, 205, 212));
  p.drawRect(QRectF(3.5, 9.5, 9, 5));
  p.setPen(Pen(kBlue));
  p.drawLine(QPointF(9.5, 2.5), QPointF(9.5, 5.5));
}

void GlyphCopy(QPainter& p) {
  Page(p, QRectF(1.5, 1.5, 8, 10));
  Page(p, QRectF(6.5, 4.5, 8, 10));
}

void GlyphPaste(QPainter& p) {
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(176, 124, 70));
  p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
  p.setBrush(kGrey);
  p.drawRect(QRectF(4.5, 1.5, 4, 2));
  Page(p, QRectF(6.5, 5.5, 8, 9));
}

void GlyphAbout(QPainter& p) {
  p.setPen(Pen(kBlue.darker(130)));
  p.setBrush(kBlue);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  p.setPen(Qt::white);
  p.setFont(Font(11, true));
  p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
}

void GlyphOnline(QPainter& p) {
  // Two plugs meeting.
  p.setPen(Pen(kOutline));
  p.setBrush(kGreen);
  p.drawRoundedRect(QRectF(1.5, 5.5, 6, 5), 1, 1);
  p.drawRoundedRect(QRectF(8.5, 5.5, 6, 5), 1, 1);
  p.setPen(Pen(kOutline, 1.5));
  p.drawLine(QPointF(7.5, 7), QPointF(8.5, 7));
  p.drawLine(QPointF(7.5, 9), QPointF(8.5, 9));
  p.drawLine(QPointF(0, 8), QPointF(1.5, 8));
  p.drawLine(QPointF(14.5, 8), QPointF(16, 8));
}

void GlyphOptions(QPainter& p) {
  // A cog.
  QPainterPath cog;
  const QPointF c(8, 8);
  for (int i = 0; i < 8; ++i) {
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotate(45.0 * i);
    cog.addPolygon(t.map(QPolygonF(QRectF(-1.5, -7.5, 3, 4))));
  }
  cog.addEllipse(c, 5.0, 5.0);
  cog.setFillRule(Qt::WindingFill);
  p.setPen(Pen(kOutline));
  p.setBrush(kGrey);
  p.drawPath(cog.simplified());
  p.setBrush(kPaper);
  p.drawEllipse(c, 2.0, 2.0);
}

void GlyphAutoscan(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  for (int i = 0; i < 4; ++i) p.drawRect(QRectF(1 + 3 * i, 12 - 2 * i, 2, 3 + 2 * i));
  p.setPen(Pen(kOutline, 1.0));
  p.setBrush(QColor(255, 255, 255, 150));
  p.drawEllipse(QRectF(6.5, 1.5, 7, 7));
  p.setPen(Pen(kOutline, 2.0));
  p.drawLine(QPointF(7.5, 7.5), QPointF(4.5, 10.5));
}

void Speaker(QPainter& p, const QColor& fill) {
  QPainterPath s;
  s.moveTo(1.5, 5.5);
  s.lineTo(4.5, 5.5);
  s.lineTo(8.5, 1.5);
  s.lineTo(8.5, 14.5);
  s.lineTo(4.5, 10.5);
  s.lineTo(1.5, 10.5);
  s.closeSubpath();
  p.setPen(Pen(kOutline));
  p.setBrush(fill);
  p.drawPath(s);
}

void GlyphGlobalMute(QPainter& p) {
  Speaker(p, kGrey);
  p.setPen(Pen(kRed, 2.0));
  p.drawLine(QPointF(10.5, 5.5), QPointF(14.5, 10.5));
  p.drawLine(QPointF(14.5, 5.5), QPointF(10.5, 10.5));
}

void ChainLinks(QPainter& p) {
  p.setBrush(Qt::NoBrush);
  p.setPen(Pen(kGrey.darker(140), 2.0));
  p.save();
  p.translate(8, 8);
  p.rotate(-45);
  p.drawRoundedRect(QRectF(-7, -2.5, 8, 5), 2.5, 2.5);
  p.setPen(Pen(kBlue, 2.0));
  p.drawRoundedRect(QRectF(-1, -2.5, 8, 5), 2.5, 2.5);
  p.restore();
}

void GlyphLinkManager(QPainter& p) { ChainLinks(p); }

void GlyphLinkingStatus(QPainter& p) {
  ChainLinks(p);
  CheckBadge(p);
}

void GlyphOperateMode(QPainter& p) {
  p.setPen(Pen(kGreen.darker(140)));
  p.setBrush(kGreen);
  QPainterPath play;
  play.moveTo(4.5, 2.5);
  play.lineTo(13.5, 8);
  play.lineTo(4.5, 13.5);
  play.closeSubpath();
  p.drawPath(play);
}

void GlyphDesignMode(QPainter& p) {
  // A set square with a pencil.
  QPainterPath square;
  square.moveTo(1.5, 1.5);
  square.lineTo(1.5, 14.5);
  square.lineTo(14.5, 14.5);
  square.closeSubpath();
  square.moveTo(4.5, 8.5);
  square.lineTo(4.5, 11.5);
  square.lineTo(7.5, 11.5);
  square.closeSubpath();
  square.setFillRule(Qt::OddEvenFill);
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(120, 180, 230));
  p.drawPath(square);
  p.save();
  p.translate(-3, -5);
  PencilBadge(p);
  p.restore();
}

void Picture(QPainter& p, QRectF r) {
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(150, 200, 240));
  p.drawRect(r);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 210, 60));
  p.drawEllipse(QPointF(r.right() - 3.5, r.top() + 3.5), 1.8, 1.8);
  QPainterPath hills;
  hills.moveTo(r.left() + 0.5, r.bottom() - 0.5);
  hills.lineTo(r.left() + 4.5, r.bottom() - 6);
  hills.lineTo(r.left() + 8, r.bottom() - 2.5);
  hills.lineTo(r.left() + 10, r.bottom() - 4.5);
  hills.lineTo(r.right() - 0.5, r.bottom() - 0.5);
  hills.closeSubpath();
  p.setBrush(kGreen);
  p.drawPath(hills);
}

void GlyphImageLibrary(QPainter& p) {
  Picture(p, QRectF(3.5, 1.5, 11, 9));
  Picture(p, QRectF(1.5, 5.5, 11, 9));
}

void Panel(QPainter& p) {
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(70, 76, 86));
  p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1, 1);
  p.setPen(Pen(QColor(240, 200, 80), 1.5));
  p.drawLine(QPointF(4.5, 5), QPointF(4.5, 11));
  p.drawLine(QPointF(8, 5), QPointF(8, 11));
  p.setPen(Qt::NoPen);
  p.setBrush(kPaper);
  p.drawRect(QRectF(3, 7, 3, 2));
  p.drawRect(QRectF(6.5, 5, 3, 2));
  p.setBrush(kGreen);
  p.drawEllipse(QPointF(11.5, 6), 1.5, 1.5);
}

void GlyphPanel(QPainter& p) { Panel(p); }
void GlyphNewPanel(QPainter& p) {
  Panel(p);
  PlusBadge(p);
}
void GlyphDeletePanel(QPainter& p) {
  Panel(p);
  CrossBadge(p);
}

void Camera(QPainter& p) {
  p.setPen(Pen(kOutline));
  p.setBrush(kGrey);
  p.drawRect(QRectF(4.5, 3.5, 4, 2));
  p.setBrush(QColor(90, 96, 106));
  p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
  p.setBrush(QColor(150, 200, 240));
  p.drawEllipse(QPointF(8, 9), 3, 3);
}

void GlyphSnapshot(QPainter& p) { Camera(p); }
void GlyphNewSnapshot(QPainter& p) {
  Camera(p);
  PlusBadge(p);
}
void GlyphDeleteSnapshot(QPainter& p) {
  Camera(p);
  CrossBadge(p);
}
void GlyphRenameSnapshot(QPainter& p) {
  Camera(p);
  PencilBadge(p);
}

void GlyphProperties(QPainter& p) {
  p.setPen(Pen(kOutline));
  p.setBrush(kPaper);
  p.drawRect(QRectF(1.5, 1.5, 13, 13));
  p.setPen(Pen(kBlue, 1.0));
  for (int i = 0; i < 4; ++i) {
    const double y = 4.5 + 3 * i;
    p.drawLine(QPointF(3.5, y), QPointF(5.5, y));
    p.drawLine(QPointF(7.5, y), QPointF(12.5, y));
  }
}

void RackUnit(QPainter& p, double top) {
  p.setPen(Pen(kOutline));
  p.setBrush(QColor(70, 76, 86));
  p.drawRect(QRectF(0.5, top, 14, 5));
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawEllipse(QPointF(11.5, top + 2.5), 1.2, 1.2);
  p.setBrush(QColor(200, 205, 212));
  p.drawRect(QRectF(2.5, top + 2, 6, 1));
}

void GlyphAddDevice(QPainter& p) {
  RackUnit(p, 4.5);
  PlusBadge(p);
}
void GlyphDeleteDevice(QPainter& p) {
  RackUnit(p, 4.5);
  CrossBadge(p);
}
void Zone(QPainter& p) {
  RackUnit(p, 0.5);
  RackUnit(p, 6.5);
}
void GlyphAddZone(QPainter& p) {
  Zone(p);
  PlusBadge(p);
}
void GlyphDeleteZone(QPainter& p) {
  Zone(p);
  CrossBadge(p);
}

const ArtRegistrar kToolbarFile("toolbar_file", [](QPainter& p, QSize) {
  DrawStrip(p, {GlyphNew, GlyphOpen, GlyphSave, GlyphCopy, GlyphPaste, GlyphAbout});
});
const ArtRegistrar kToolbarComms("toolbar_comms",
                                 [](QPainter& p, QSize) { DrawStrip(p, {GlyphOnline, GlyphOptions, GlyphAutoscan}); });
const ArtRegistrar kToolbarMute("toolbar_global_mute", [](QPainter& p, QSize) { DrawStrip(p, {GlyphGlobalMute}); });
const ArtRegistrar kToolbarDesign("toolbar_design", [](QPainter& p, QSize) {
  DrawStrip(p, {GlyphLinkManager, GlyphLinkingStatus, GlyphOperateMode, GlyphDesignMode, GlyphImageLibrary});
});
const ArtRegistrar kToolbarPanels("toolbar_custom_panels", [](QPainter& p, QSize) {
  DrawStrip(p, {GlyphPanel, GlyphNewPanel, GlyphDeletePanel});
});
const ArtRegistrar kToolbarSnapshot("toolbar_snapshot", [](QPainter& p, QSize) {
  DrawStrip(p, {GlyphSnapshot, GlyphNewSnapshot, GlyphDeleteSnapshot, GlyphRenameSnapshot});
});
const ArtRegistrar kToolbarDeviceView("toolbar_device_view", [](QPainter& p, QSize) {
  DrawStrip(p, {GlyphProperties, GlyphAddDevice, GlyphDeleteDevice, GlyphAddZone, GlyphDeleteZone});
});

// ---------------------------------------------------------------------------------------------
// Icons

const ArtRegistrar kDeviceViewIcon("device_view_icon", [](QPainter& p, QSize) {
  RackUnit(p, 1.5);
  RackUnit(p, 8.5);
});

const ArtRegistrar kOutputIcon("output_icon", [](QPainter& p, QSize) {
  p.setPen(Pen(kOutline));
  p.setBrush(kDark);
  p.drawRoundedRect(QRectF(0.5, 1.5, 15, 13), 1.5, 1.5);
  p.setPen(Pen(kGreen.lighter(140), 1.0));
  p.drawLine(QPointF(2.5, 5.5), QPointF(10.5, 5.5));
  p.drawLine(QPointF(2.5, 8.5), QPointF(12.5, 8.5));
  p.drawLine(QPointF(2.5, 11.5), QPointF(7.5, 11.5));
});

// A ring with three level bars: the program's mark.
void Mark(QPainter& p, QRectF r) {
  const double w = r.width();
  QRadialGradient g(r.center(), w / 2);
  g.setColorAt(0.0, QColor(60, 66, 78));
  g.setColorAt(1.0, QColor(20, 22, 28));
  p.setPen(QPen(QColor(200, 205, 212), w / 12));
  p.setBrush(g);
  p.drawEllipse(r.adjusted(w / 24, w / 24, -w / 24, -w / 24));
  const QColor bars[3] = {QColor(60, 190, 90), QColor(240, 200, 60), QColor(230, 70, 60)};
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i) {
    const double bw = w * 0.12;
    const double h = w * (0.22 + 0.14 * i);
    const double x = r.left() + w * 0.27 + i * w * 0.17;
    p.setBrush(bars[i]);
    p.drawRect(QRectF(x, r.top() + w * 0.72 - h, bw, h));
  }
}

const ArtRegistrar kAppIcon("app_icon", [](QPainter& p, QSize s) { Mark(p, QRectF(QPointF(0, 0), s)); });

// ---------------------------------------------------------------------------------------------
// Logo and splash

void Wordmark(QPainter& p, QRectF r, int pixelSize) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0.0, QColor(255, 255, 255));
  g.setColorAt(1.0, QColor(170, 178, 190));
  QFont f = Font(pixelSize, true);
  f.setLetterSpacing(QFont::AbsoluteSpacing, pixelSize / 10.0);
  p.setFont(f);
  p.setPen(QPen(QBrush(g), 1));
  p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ORVAK"));
}

const ArtRegistrar kLogo("logo", [](QPainter& p, QSize s) {
  p.fillRect(QRect(QPoint(0, 0), s), Qt::black);
  Mark(p, QRectF(24, 32, 96, 96));
  Wordmark(p, QRectF(136, 34, 260, 72), 54);
  p.setPen(QColor(150, 156, 166));
  p.setFont(Font(16));
  p.drawText(QRectF(140, 104, 250, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("System Control"));
});

const ArtRegistrar kSplash("splash", [](QPainter& p, QSize s) {
  QLinearGradient bg(0, 0, 0, s.height());
  bg.setColorAt(0.0, QColor(30, 38, 52));
  bg.setColorAt(1.0, QColor(6, 8, 12));
  p.fillRect(QRect(QPoint(0, 0), s), bg);
  Mark(p, QRectF(60, 90, 120, 120));
  Wordmark(p, QRectF(200, 95, 380, 90), 80);
  p.setPen(QColor(160, 168, 180));
  p.setFont(Font(18));
  p.drawText(QRectF(206, 180, 380, 30), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Audio device monitoring and control"));
  // A thin accent line above the version text, which the program draws at (378, 290).
  QLinearGradient line(40, 0, s.width() - 40, 0);
  line.setColorAt(0.0, QColor(60, 190, 90, 0));
  line.setColorAt(0.5, QColor(60, 190, 90));
  line.setColorAt(1.0, QColor(60, 190, 90, 0));
  p.fillRect(QRectF(40, 270, s.width() - 80, 2), line);
});

// ---------------------------------------------------------------------------------------------
// Comms page guidelines button

const ArtRegistrar kGuidelines("guidelines_button", [](QPainter& p, QSize s) {
  const QRectF r(1.5, 1.5, s.width() - 3, s.height() - 3);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0.0, kBlue.lighter(130));
  g.setColorAt(1.0, kBlue.darker(120));
  p.setPen(Pen(kBlue.darker(160)));
  p.setBrush(g);
  p.drawEllipse(r);
  p.setPen(Qt::white);
  p.setFont(Font(16, true));
  p.drawText(QRectF(0, 0, s.width(), s.height()), Qt::AlignCenter, QStringLiteral("i"));
});

// ---------------------------------------------------------------------------------------------
// Processor rack tiles: a dark front panel, a rack ear with a screw at each end, the family's
// colour stripe on the left end and a recess for the status LED (drawn by the program at 6 to
// 16 pixels from the right end's left edge, 10 to 20 from the top) on the right end.

void TileLeft(QPainter& p, QSize s, const QColor& family) {
  TileBody(p, s);
  p.fillRect(QRect(0, 1, 12, s.height() - 2), QColor(34, 36, 41));
  Screw(p, QPointF(6, s.height() / 2.0));
  p.fillRect(QRect(s.width() - 6, 4, 3, s.height() - 8), family);
}

void TileRight(QPainter& p, QSize s) {
  TileBody(p, s);
  p.setPen(QPen(QColor(20, 22, 26), 1));
  p.setBrush(QColor(24, 26, 30));
  p.drawRoundedRect(QRectF(4.5, 8.5, 13, 13), 3, 3);
  p.fillRect(QRect(s.width() - 12, 1, 12, s.height() - 2), QColor(34, 36, 41));
  Screw(p, QPointF(s.width() - 6, s.height() / 2.0));
}

void RegisterTileSet(const char* set, QColor family) {
  const std::string base = std::string("tile_") + set;
  ArtRegistry()[base + "_left"] = [family](QPainter& p, QSize s) { TileLeft(p, s, family); };
  ArtRegistry()[base + "_right"] = [](QPainter& p, QSize s) { TileRight(p, s); };
  ArtRegistry()[base + "_middle"] = [](QPainter& p, QSize s) { TileBody(p, s); };
}

const bool kTilesRegistered = [] {
  RegisterTileSet("fennick", QColor(47, 127, 208));
  RegisterTileSet("zel_fennick", QColor(224, 123, 32));
  RegisterTileSet("hollin2", QColor(58, 160, 90));
  RegisterTileSet("calder", QColor(138, 92, 200));
  RegisterTileSet("nerex", QColor(200, 60, 60));
  return true;
}();

}  // namespace
