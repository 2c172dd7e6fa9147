// Drawings of the Nerex-series processor panels (Nerex, Calder48 and Hollin2 skins) and of the
// widget pictures every processor panel shares: fader cap, level meter, LEDs and overlays.
// Everything is placed to line up with the panel's widget rectangles (panel coordinates are
// noted where a picture is drawn at a fixed place).
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include <span>

#include "resources/NerexPanelLayout.h"
#include "resources/artgen/ArtKit.h"

using namespace art;
namespace L = nerex_layout;

namespace {

// --- Palette ---
const QColor kPanelTop(60, 65, 74);
const QColor kPanelBottom(34, 37, 43);
const QColor kStripTop(96, 103, 114);
const QColor kStripBottom(74, 80, 90);
const QColor kWellFill(22, 24, 28);
const QColor kPlateFill(214, 217, 222);
const QColor kInk(228, 231, 236);
const QColor kSoftInk(168, 174, 184);

// One model line's look: its brand and accent, and its header's page tabs.
struct Skin {
  const char* brand;
  const char* line;  // second brand line
  QColor accent;
  bool threeTabs;  // Calder48 and Hollin2: Mixer, Input PEQ, Output PEQ only
};
const Skin kNerex{"NEREX", "SERIES", QColor(200, 60, 60), false};
const Skin kCalder{"CALDER", "SERIES", QColor(138, 92, 200), true};
const Skin kHollin{"HOLLIN", "2", QColor(58, 160, 90), true};

QRectF Rect(const L::Box& b) { return QRectF(b.left, b.top, b.Width(), b.Height()); }
// The well around a page's caption.
QRectF CaptionWell(const L::Box& caption) { return Rect(caption).adjusted(-5, -5, 5, 5); }

QFont Condensed(int pixels, bool bold = true) {
  QFont f(QStringLiteral("DejaVu Sans Condensed"));
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

void Text(QPainter& p, const QRectF& r, const QString& text, int pixels, int align, const QColor& ink,
          bool bold = true) {
  p.setPen(ink);
  p.setFont(Condensed(pixels, bold));
  p.drawText(r, align, text);
}

// A recessed dark well for light value texts: shadow on top, highlight along the bottom.
void Well(QPainter& p, const QRectF& r, double radius = 2.5) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(8, 9, 11), 1));
  p.setBrush(kWellFill);
  p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  p.setPen(QPen(QColor(255, 255, 255, 40), 1));
  p.drawLine(QPointF(r.left() + radius, r.bottom() + 0.5), QPointF(r.right() - radius, r.bottom() + 0.5));
}

// A light plate for dark texts (names, limiter levels, channel letters).
void Plate(QPainter& p, const QRectF& r, double radius = 2.5) {
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0.0, QColor(236, 238, 242));
  g.setColorAt(1.0, kPlateFill);
  p.setPen(QPen(QColor(30, 32, 36), 1));
  p.setBrush(g);
  p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// The brushed, shaded panel face over a rectangle.
void PanelFace(QPainter& p, const QRect& r) { ShadedFace(p, r, kPanelTop, kPanelBottom); }

// --- Header (panel 0,0 to 280,112): brand, Presets face, name well and page tabs ---

std::span<const L::Button> TabsOf(const Skin& skin) {
  if (skin.threeTabs) return L::kThreePageTabs;
  return L::kPageTabs;
}

const char* TabCaption(int page) {
  switch (page) {
    case L::kPageInputGeq: return "INPUT GEQ";
    case L::kPageInputPeq: return "INPUT PEQ";
    case L::kPageMixer: return "MIXER";
    default: return "OUTPUT PEQ";
  }
}

// A raised button face; lit ones take the accent.
void ButtonFace(QPainter& p, const QRectF& r, const QColor& accent, bool lit) {
  const QColor top = lit ? accent.lighter(135) : QColor(92, 98, 108);
  const QColor bottom = lit ? accent.darker(130) : QColor(54, 58, 66);
  RaisedFace(p, r, r.adjusted(0.5, 0.5, -0.5, -0.5), 3, top, bottom, QColor(12, 13, 15),
             QColor(255, 255, 255, lit ? 90 : 45), QLineF(r.left() + 3, r.top() + 1.5, r.right() - 3, r.top() + 1.5));
}

// The brand, the Presets face and the device name's well, which every header shows.
void HeaderTop(QPainter& p, const Skin& skin) {
  // Brand: the model line in the accent with its second word beside it.
  p.setFont(Condensed(22, true));
  p.setPen(skin.accent);
  const QString brand = QString::fromLatin1(skin.brand);
  p.drawText(QRectF(24, 6, 180, 28), Qt::AlignLeft | Qt::AlignVCenter, brand);
  const int brandWidth = QFontMetrics(p.font()).horizontalAdvance(brand);
  Text(p, QRectF(30 + brandWidth, 6, 80, 28), QString::fromLatin1(skin.line), 12, Qt::AlignLeft | Qt::AlignVCenter,
       kSoftInk);
  ButtonFace(p, Rect(L::kPresetManager), skin.accent, false);
  Text(p, Rect(L::kPresetManager), QStringLiteral("PRESETS"), 9, Qt::AlignCenter, kInk);
  Well(p, QRectF(24, 36, 241, 30), 4);
}

void PageTab(QPainter& p, const Skin& skin, const L::Box& box, int page, bool lit) {
  ButtonFace(p, Rect(box), skin.accent, lit);
  Text(p, Rect(box), QString::fromLatin1(TabCaption(page)), skin.threeTabs ? 9 : 8, Qt::AlignCenter,
       lit ? QColor(255, 255, 255) : kSoftInk);
}

void Header(QPainter& p, const Skin& skin, int page) {
  PanelFace(p, QRect(0, 0, 280, 112));
  HeaderTop(p, skin);
  for (const L::Button& tab : TabsOf(skin)) PageTab(p, skin, tab.box, tab.id, tab.id == page);
  p.fillRect(QRect(12, 110, 266, 1), QColor(0, 0, 0, 90));
}

// The compact view's header, wide and tall enough for the preset display: the page tabs in the
// lower row (none lit: the view is no tab's page) and the display's well round its text. The
// display's buttons bring their own faces.
void CompactHeader(QPainter& p, QSize s, const Skin& skin) {
  PanelFace(p, QRect(0, 0, s.width(), s.height() - 2));
  HeaderTop(p, skin);
  for (const L::Button& tab : TabsOf(skin)) PageTab(p, skin, L::CompactTab(tab.box, L::kCompactTabsTop), tab.id, false);
  Well(p, Rect(L::kLcdText).adjusted(-4, -2, 4, 2), 4);
  p.fillRect(QRect(12, s.height() - 4, s.width() - 24, 1), QColor(0, 0, 0, 90));
}

// The faces of the preset display's buttons: Recall, and the arrows that step to the next
// (up) and the previous (down) stored preset.
void LcdRecallFace(QPainter& p, QSize s) {
  const QRectF r(0, 0, s.width(), s.height());
  ButtonFace(p, r, kInk, false);
  Text(p, r, QStringLiteral("RECALL"), 9, Qt::AlignCenter, kInk);
}

void LcdStepFace(QPainter& p, QSize s, bool up) {
  const QRectF r(0, 0, s.width(), s.height());
  ButtonFace(p, r, kInk, false);
  const double cx = s.width() / 2.0, half = 4.0, tip = up ? 2.5 : s.height() - 2.5,
               base = up ? s.height() - 3.0 : 3.0;
  QPainterPath arrow;
  arrow.moveTo(cx - half, base);
  arrow.lineTo(cx + half, base);
  arrow.lineTo(cx, tip);
  arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawPath(arrow);
}

// --- Background ---

void Background(QPainter& p, QSize s, const Skin& skin) {
  PanelFace(p, QRect(QPoint(0, 0), s));
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(12, 13, 15), 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(1, 1, s.width() - 2, s.height() - 2));
  p.fillRect(QRect(2, 2, s.width() - 4, 1), QColor(255, 255, 255, 30));
  // The accent line along the foot of the panel.
  p.fillRect(QRect(12, s.height() - 4, s.width() - 24, 2), skin.accent.darker(140));
}

// --- Page images ---

void MixerPage(QPainter& p, const Skin& skin) { Header(p, skin, L::kPageMixer); }

const char* const kGeqLabels[28] = {"31",   "40",  "50",  "63",  "80",  "100",   "125",  "160", "200", "250",
                                    "315",  "400", "500", "630", "800", "1k",    "1.25k", "1.6k", "2k", "2.5k",
                                    "3.15k", "4k", "5k",  "6.3k", "8k", "10k",   "12.5k", "16k"};

void InputGeqPage(QPainter& p, const Skin& skin) {
  PanelFace(p, QRect(0, 0, 850, 340));
  Header(p, skin, L::kPageInputGeq);
  Well(p, CaptionWell(L::kInputCaption), 3);
  // No wells under the channel selectors: one picture serves every model, and the panel shows
  // only the selectors of the channels the model has.
  // The Q shape list, bypass and flat buttons, captioned on their left.
  const L::Box& shape = L::kGeqShape;
  Text(p, QRectF(shape.left - 70, shape.top, 66, shape.Height()), QStringLiteral("Q SHAPE"), 9,
       Qt::AlignRight | Qt::AlignVCenter, kSoftInk);
  Text(p, QRectF(430, L::kGeqBypass.y, L::kGeqBypass.x - 437, 18), QStringLiteral("BYPASS"), 9,
       Qt::AlignRight | Qt::AlignVCenter, kSoftInk);
  Text(p, QRectF(430, L::kGeqFlat.y, L::kGeqFlat.x - 436, 19), QStringLiteral("FLAT"), 9,
       Qt::AlignRight | Qt::AlignVCenter, kSoftInk);
  // The fader bed; the cap centre spans 15 below the faders' top (+12) to 16 above their
  // bottom (-12).
  Well(p, QRectF(24, 124, 802, 216), 5);
  const double top = L::GeqFader(0).top + 15.0, bottom = L::GeqFader(0).bottom - 16.0;
  for (int db = -12; db <= 12; db += 6) {
    const double y = bottom - (db + 12) / 24.0 * (bottom - top);
    p.fillRect(QRectF(56, y, 748, 1), QColor(255, 255, 255, db == 0 ? 60 : 22));
    const QString label = db > 0 ? QStringLiteral("+%1").arg(db) : QString::number(db);
    Text(p, QRectF(26, y - 6, 28, 12), label, 9, Qt::AlignRight | Qt::AlignVCenter, kSoftInk, false);
    Text(p, QRectF(800, y - 6, 24, 12), label, 9, Qt::AlignLeft | Qt::AlignVCenter, kSoftInk, false);
  }
  const double labelTop = L::GeqFader(0).bottom + 3;
  for (int b = 0; b < L::kGeqBands; ++b) {
    const double cx = L::GeqFader(b).left + L::GeqFader(b).Width() / 2.0;
    Text(p, QRectF(cx - 13, labelTop, 26, 12), QString::fromLatin1(kGeqLabels[b]), 8, Qt::AlignCenter, kInk, false);
  }
  Text(p, QRectF(26, labelTop, 30, 12), QStringLiteral("Hz"), 8, Qt::AlignRight | Qt::AlignVCenter, kSoftInk, false);
}

// The band table of the equaliser pages: column heads, band numbers and the value wells under
// the frequency, Q and gain readouts.
void BandTable(QPainter& p, int bands) {
  Well(p, QRectF(L::kBandFrameLeft - 4, 2, 412, L::BandRowTop(bands) + 2), 5);
  const struct {
    L::Column column;
    const char* caption;
  } heads[] = {{{L::kBandFrameLeft, 468}, "BAND"}, {L::kBandFrequency, "FREQ"}, {L::kBandQ, "Q"},
               {L::kBandGain, "GAIN"},             {L::kBandType, "TYPE"},      {{798, 830}, "BYP"}};
  for (const auto& h : heads)
    Text(p, QRectF(h.column.left, 5, h.column.right - h.column.left, 15), QString::fromLatin1(h.caption), 9,
         Qt::AlignCenter, kSoftInk);
  for (int b = 0; b < bands; ++b) {
    const int top = L::BandRowTop(b);
    Text(p, QRectF(L::kBandFrameLeft, top, 30, L::kBandRowHeight), QString::number(b + 1), 10, Qt::AlignCenter, kInk);
    for (const L::Column& column : {L::kBandFrequency, L::kBandQ, L::kBandGain}) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(48, 52, 60));
      p.drawRoundedRect(Rect(L::BandCell(column, b)), 2, 2);
    }
  }
}

void InputPeqPage(QPainter& p, const Skin& skin) {
  PanelFace(p, QRect(0, 0, 850, 210));
  Header(p, skin, L::kPageInputPeq);
  Well(p, CaptionWell(L::kInputCaption), 3);
  BandTable(p, L::kInputPeqBands);
}

void OutputPeqPage(QPainter& p, const Skin& skin) {
  PanelFace(p, QRect(0, 0, 850, 210));
  Header(p, skin, L::kPageOutputEq);
  Well(p, CaptionWell(L::kOutputCaption), 3);
  // Crossover: each filter's caption above its frequency's well.
  const int left = L::kHighPassFrequency.left;
  Well(p, QRectF(left - 7, 34, 146, 168), 5);
  Text(p, QRectF(left, 38, 133, 14), QStringLiteral("CROSSOVER"), 10, Qt::AlignLeft | Qt::AlignVCenter, kInk);
  for (const auto& [frequency, caption] :
       {std::pair{L::kHighPassFrequency, "HIGH PASS"}, std::pair{L::kLowPassFrequency, "LOW PASS"}}) {
    Text(p, QRectF(left, frequency.top - 17, 133, 14), QString::fromLatin1(caption), 9,
         Qt::AlignLeft | Qt::AlignVCenter, kSoftInk);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(48, 52, 60));
    p.drawRoundedRect(Rect(frequency), 2, 2);
  }
  BandTable(p, L::kOutputPeqBands);
}

// --- Side tabs (panel 285..313, 25..250; buttons at 289..309: Linking 30..100, Limiters
// 103..173, Source 176..246) ---

void SideTabs(QPainter& p, QSize s, const Skin& skin, int lit) {
  const int dx = (s.width() - 28) / 2;
  const struct {
    int id;
    int top;
    const char* caption;
  } tabs[] = {{297, 5, "LINKING"}, {296, 78, "LIMITERS"}, {295, 151, "SOURCE"}};
  for (const auto& t : tabs) {
    const bool on = t.id == lit;
    const QRectF r(dx + 3, t.top + dx, 22, 70);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0.0, on ? skin.accent.lighter(130) : QColor(84, 90, 100));
    g.setColorAt(1.0, on ? skin.accent.darker(125) : QColor(52, 56, 64));
    p.setPen(QPen(QColor(12, 13, 15), 1));
    p.setBrush(g);
    QPainterPath path;
    path.addRoundedRect(r.adjusted(0.5, 0.5, 4, -0.5), 4, 4);
    p.drawPath(path);
    p.save();
    p.translate(r.center());
    p.rotate(-90);
    Text(p, QRectF(-35, -11, 70, 22), QString::fromLatin1(t.caption), 9, Qt::AlignCenter,
         on ? QColor(255, 255, 255) : kSoftInk);
    p.restore();
  }
  // The lit tab joins the strip area: a bar along the right edge in the accent.
  p.fillRect(QRect(s.width() - 2, 0, 2, s.height()), skin.accent.darker(150));
}

// --- Channel strips ---

void StripBody(QPainter& p, QSize s) {
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, s.width(), 0);
  g.setColorAt(0.0, kStripTop);
  g.setColorAt(1.0, kStripBottom);
  p.setPen(QPen(QColor(16, 17, 20), 1));
  p.setBrush(g);
  p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 4, 4);
  p.setPen(QPen(QColor(255, 255, 255, 40), 1));
  p.drawLine(QPointF(4, 1.5), QPointF(s.width() - 4, 1.5));
}

void SmallLabel(QPainter& p, const QRectF& r, const char* text, int align = Qt::AlignCenter) {
  Text(p, r, QString::fromLatin1(text), 8, align | Qt::AlignVCenter, kInk);
}

// Fader scale beside a channel fader: cap centre from bottomY (minimum) to topY (maximum).
void FaderScale(QPainter& p, double topY, double bottomY, int minimum, int maximum, std::initializer_list<int> marks) {
  for (int db : marks) {
    const double y = bottomY - double(db - minimum) / double(maximum - minimum) * (bottomY - topY);
    p.fillRect(QRectF(14, y, 4, 1), kInk);
    const QString label = db > 0 ? QStringLiteral("+%1").arg(db) : QString::number(db);
    Text(p, QRectF(0, y - 5, 14, 10), label, 7, Qt::AlignRight | Qt::AlignVCenter, kInk, false);
  }
}

// The meter's well and its dB marks on the right edge (meter at x 40..54, 130 px for -40..+9).
void MeterWell(QPainter& p, double top) {
  Well(p, QRectF(38, top - 2, 18, 134), 2);
}

// A strip widget's place in its strip's picture, whose top stands at panel y top.
QRectF InStrip(const L::StripPlace& place, int top) { return Rect(place.At(0).Moved(0, -top)); }
double TopInStrip(const L::StripPlace& place, int top) { return place.top - top; }
// The cap centre's travel over a fader: 15 below its top to 16 above its bottom.
double CapTop(const L::StripPlace& fader, int top) { return fader.top + 15.0 - top; }
double CapBottom(const L::StripPlace& fader, int top) { return fader.top + fader.height - 16.0 - top; }

// Input strip: the link buttons' well, the delay's well, the shortcut and mute captions, the
// name plate, the fader's scale, the meter's well, the letter badge and the gain readout's well.
// The Calder and Hollin inputs have no graphic EQ: no GEQ caption.
void InputStrip(QPainter& p, QSize s, bool geq) {
  const int top = L::kInputStrip.top;
  StripBody(p, s);
  SmallLabel(p, QRectF(0, 2, s.width(), 10), "LINK");
  Well(p, QRectF(3, TopInStrip(L::kInputLink, top) - 4, 54, 102), 3);
  SmallLabel(p, QRectF(0, 121, s.width(), 11), "DELAY");
  Well(p, InStrip(L::kInputDelayText, top));
  if (geq) SmallLabel(p, QRectF(3, TopInStrip(L::kInputGeqShortcut, top), 30, 19), "GEQ", Qt::AlignLeft);
  SmallLabel(p, QRectF(3, TopInStrip(L::kInputPeqShortcut, top), 30, 19), "PEQ", Qt::AlignLeft);
  SmallLabel(p, QRectF(3, TopInStrip(L::kInputMute, top), 30, 18), "MUTE", Qt::AlignLeft);
  Plate(p, InStrip(L::kInputName, top));
  FaderScale(p, CapTop(L::kInputFader, top), CapBottom(L::kInputFader, top), -40, 6, {6, 0, -10, -20, -30, -40});
  MeterWell(p, TopInStrip(L::kInputMeter, top));
  Plate(p, QRectF(2, 416, 15, 16));
  Well(p, InStrip(L::kInputGainText, top));
}

// Output strip: the limiter rows' plates and captions under the overlays, the delay's well,
// the shortcut, polarity and mute captions, the name plate, the fader's scale, the meter's
// well, the number badge and the gain readout's well.
void OutputStrip(QPainter& p, QSize s) {
  const int top = L::kOutputStrip.top;
  auto caption = [&](const L::StripPlace& place, const char* text) {
    SmallLabel(p, QRectF(0, TopInStrip(place, top) - 13, s.width(), 12), text);
  };
  StripBody(p, s);
  caption(L::kLimiterLevel, "LIMIT");
  Plate(p, InStrip(L::kLimiterLevel, top));
  caption(L::kLimiterAttack, "ATTACK");
  caption(L::kLimiterRelease, "RELEASE");
  caption(L::kClipLevel, "CLIP");
  Plate(p, InStrip(L::kClipLevel, top));
  caption(L::kClipRelease, "CLIP REL");
  SmallLabel(p, QRectF(0, TopInStrip(L::kOutputDelayText, top) - 13, s.width(), 11), "DELAY");
  Well(p, InStrip(L::kOutputDelayText, top));
  SmallLabel(p, QRectF(3, TopInStrip(L::kOutputPeqShortcut, top), 30, 19), "PEQ", Qt::AlignLeft);
  SmallLabel(p, QRectF(3, TopInStrip(L::kOutputPolarity, top), 30, 18), "POL", Qt::AlignLeft);
  SmallLabel(p, QRectF(3, TopInStrip(L::kOutputMute, top), 30, 18), "MUTE", Qt::AlignLeft);
  Plate(p, InStrip(L::kOutputName, top));
  FaderScale(p, CapTop(L::kOutputFader, top), CapBottom(L::kOutputFader, top), -40, 15,
             {15, 6, 0, -10, -20, -30, -40});
  MeterWell(p, TopInStrip(L::kOutputMeter, top));
  Plate(p, QRectF(2, 529, 15, 16));
  Well(p, QRectF(0, 549, 51, 15));
}

// The routing and link buttons' bed over the limiter rows.
void Overlay(QPainter& p, QSize s) {
  const double w = s.width(), h = s.height();
  RaisedFace(p, QRectF(0, 0, w, h), QRectF(0.5, 0.5, w - 1, h - 1), 3, QColor(40, 44, 50), QColor(28, 31, 36),
             QColor(10, 11, 13), QColor(255, 255, 255, 30), QLineF(3, h - 0.5, w - 3, h - 0.5));
}

// The Torvex48's limiter bed (at panel y 38 over each output strip): the bed with the caption of
// each limiter readout above it (level 53, attack 88, release 123, clip level 168, clip release
// 203 in panel y).
void LimiterOverlay(QPainter& p, QSize s) {
  Overlay(p, s);
  const struct {
    int top;
    const char* caption;
  } rows[] = {{53, "LEVEL"}, {88, "ATTACK"}, {123, "RELEASE"}, {168, "CLIP LEVEL"}, {203, "CLIP REL"}};
  for (const auto& row : rows) SmallLabel(p, QRectF(0, row.top - 38 - 13, s.width(), 12), row.caption);
}

// The frame around the selected band row (rows are 17 px high at a 19 px pitch).
void SelectionFrame(QPainter& p, QSize s, const Skin& skin) {
  p.setRenderHint(QPainter::Antialiasing);
  QColor fill = skin.accent;
  fill.setAlpha(60);
  p.setPen(QPen(skin.accent.lighter(130), 1.5));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(1, 0.75, s.width() - 2, 17.5), 3, 3);
}

// --- Shared widget pictures ---

void FaderCap(QPainter& p, QSize s) {
  QLinearGradient g(0, 0, 0, s.height());
  g.setColorAt(0.0, QColor(236, 238, 242));
  g.setColorAt(0.45, QColor(150, 156, 166));
  g.setColorAt(0.55, QColor(150, 156, 166));
  g.setColorAt(1.0, QColor(80, 86, 96));
  p.fillRect(QRect(QPoint(0, 0), s), g);
  p.fillRect(QRect(0, 0, s.width(), 1), QColor(250, 250, 252));
  p.fillRect(QRect(0, s.height() - 1, s.width(), 1), QColor(30, 32, 36));
  p.fillRect(QRect(0, 0, 1, s.height()), QColor(200, 204, 210));
  p.fillRect(QRect(s.width() - 1, 0, 1, s.height()), QColor(40, 42, 48));
  for (int y : {5, 8, 22, 25}) p.fillRect(QRect(2, y, s.width() - 4, 1), QColor(60, 64, 72, 150));
  p.fillRect(QRect(1, s.height() / 2, s.width() - 2, 1), QColor(255, 255, 255));
}

// Segments of 3 px (2 lit, 1 gap) from the bottom: green to -10 dB, yellow to 0 dB, red above
// (130 px for -40..+9 dB), with a brighter gap at every 10 dB.
void Meter(QPainter& p, QSize s) {
  p.fillRect(QRect(QPoint(0, 0), s), QColor(10, 10, 12));
  const double pxPerDb = s.height() / 49.0;
  auto yOf = [&](double db) { return s.height() - (db + 40.0) * pxPerDb; };
  for (int y = s.height() - 3; y >= 0; y -= 3) {
    const double db = (s.height() - y - 1) / pxPerDb - 40.0;
    const QColor c = db >= 0.0 ? QColor(235, 50, 40) : db >= -10.0 ? QColor(240, 200, 40) : QColor(60, 210, 80);
    p.fillRect(QRect(1, y, s.width() - 2, 2), c);
  }
  for (int db = -30; db <= 0; db += 10) p.fillRect(QRectF(0, yOf(db), s.width(), 1), QColor(230, 232, 236));
}

void Led(QPainter& p, QSize s, const QColor& colour) {
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r(0.5, 0.5, s.width() - 1, s.height() - 1);
  p.setPen(QPen(QColor(10, 11, 13), 1));
  p.setBrush(QColor(20, 22, 26));
  p.drawEllipse(r);
  QRadialGradient g(r.center() - QPointF(r.width() * 0.15, r.height() * 0.15), r.width() * 0.5);
  g.setColorAt(0.0, colour.lighter(170));
  g.setColorAt(0.6, colour);
  g.setColorAt(1.0, colour.darker(160));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawEllipse(r.adjusted(1.5, 1.5, -1.5, -1.5));
}

// A round push button; its face LED is drawn by the button itself near the top.
void LedOff(QPainter& p, QSize s) {
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r(0.5, 0.5, s.width() - 1, s.height() - 1);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0.0, QColor(120, 126, 136));
  g.setColorAt(1.0, QColor(46, 50, 56));
  p.setPen(QPen(QColor(10, 11, 13), 1));
  p.setBrush(g);
  p.drawEllipse(r);
  QLinearGradient inner(r.topLeft(), r.bottomLeft());
  inner.setColorAt(0.0, QColor(58, 62, 70));
  inner.setColorAt(1.0, QColor(88, 94, 104));
  p.setPen(Qt::NoPen);
  p.setBrush(inner);
  p.drawEllipse(r.adjusted(3, 3, -3, -3));
}

void RegisterSkin(const std::string& prefix, const Skin& skin) {
  auto& r = ArtRegistry();
  r[prefix + "_page_mixer"] = [skin](QPainter& p, QSize) { MixerPage(p, skin); };
  r[prefix + "_page_input_peq"] = [skin](QPainter& p, QSize) { InputPeqPage(p, skin); };
  r[prefix + "_page_output_peq"] = [skin](QPainter& p, QSize) { OutputPeqPage(p, skin); };
  r[prefix + "_tab_source"] = [skin](QPainter& p, QSize s) { SideTabs(p, s, skin, 295); };
  r[prefix + "_tab_limiters"] = [skin](QPainter& p, QSize s) { SideTabs(p, s, skin, 296); };
  r[prefix + "_tab_linking"] = [skin](QPainter& p, QSize s) { SideTabs(p, s, skin, 297); };
  r[prefix + "_selection_frame"] = [skin](QPainter& p, QSize s) { SelectionFrame(p, s, skin); };
  r[prefix + "_page_compact"] = [skin](QPainter& p, QSize s) { CompactHeader(p, s, skin); };
}

const bool kRegistered = [] {
  RegisterSkin("nerex", kNerex);
  RegisterSkin("calder", kCalder);
  RegisterSkin("hollin2", kHollin);
  auto& r = ArtRegistry();
  r["nerex_background"] = [](QPainter& p, QSize s) { Background(p, s, kNerex); };
  // Calder48 and Hollin2 share one background; it carries no brand.
  r["calder_background"] = [](QPainter& p, QSize s) { Background(p, s, Skin{"", "", QColor(90, 96, 108), true}); };
  r["nerex_page_input_geq"] = [](QPainter& p, QSize) { InputGeqPage(p, kNerex); };
  r["nerex_input_strip"] = [](QPainter& p, QSize s) { InputStrip(p, s, true); };
  r["calder_input_strip"] = [](QPainter& p, QSize s) { InputStrip(p, s, false); };
  r["nerex_output_strip"] = OutputStrip;
  r["calder_output_strip"] = OutputStrip;
  r["processor_fader_cap"] = FaderCap;
  r["processor_meter"] = Meter;
  r["processor_led_off"] = LedOff;
  r["processor_led_blue"] = [](QPainter& p, QSize s) { Led(p, s, QColor(50, 130, 255)); };
  r["processor_led_blue_small"] = [](QPainter& p, QSize s) { Led(p, s, QColor(50, 130, 255)); };
  r["processor_led_red"] = [](QPainter& p, QSize s) { Led(p, s, QColor(240, 40, 36)); };
  r["processor_overlay_tall"] = Overlay;
  r["processor_overlay_short"] = LimiterOverlay;
  r["processor_lcd_recall"] = LcdRecallFace;
  r["processor_lcd_next"] = [](QPainter& p, QSize s) { LcdStepFace(p, s, true); };
  r["processor_lcd_previous"] = [](QPainter& p, QSize s) { LcdStepFace(p, s, false); };
  return true;
}();

}  // namespace
