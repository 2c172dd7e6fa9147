// Drawings of the Torvex48 processor panel's skin (850 x 600): the page pictures with the
// header and its page tabs, the input, output and compressor strips, the Router/Matrix sub-tabs
// and the matrix view, the dynamic-EQ band frame, the gain-reduction meter and the compressor
// graph grids. Every label sits beside the widget the panel places over the picture, so the
// positions below follow the panel's widget rectangles. The pieces the Torvex48 shares with the
// Nerex-series panels (background, side tabs, overlays, band-row frame, level meter, LEDs, fader
// cap) are drawn with the Nerex set.
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <initializer_list>

#include "resources/TorvexPanelLayout.h"
#include "resources/artgen/ArtKit.h"

using namespace art;
namespace T = torvex_layout;

namespace {

const QColor kInk(218, 222, 228);
const QColor kSoftInk(150, 158, 170);
// The family's accent, as the shared side tabs light it.
const QColor kAccent(200, 60, 60);
// Headings and numbers in the accent, light enough to read on the dark panel.
const QColor kAccentInk(244, 118, 106);
const QColor kWellFill(14, 15, 18);
const QColor kPlateLight(206, 210, 216);

void Label(QPainter& p, const QRectF& r, const QString& text, int pixels, int align = Qt::AlignCenter,
           const QColor& ink = kInk, bool bold = true) {
  Caption(p, r, text, pixels, align, ink, bold);
}

// A recessed well for a readout or a list: dark inside, a faint highlight under it.
void Well(QPainter& p, const QRectF& r, double radius = 2.0, const QColor& fill = kWellFill) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(6, 6, 8), 1));
  p.setBrush(fill);
  p.drawRoundedRect(r.adjusted(-0.5, -0.5, 0.5, 0.5), radius, radius);
  p.setPen(QPen(QColor(255, 255, 255, 26), 1));
  p.drawLine(QPointF(r.left() + radius, r.bottom() + 1), QPointF(r.right() - radius, r.bottom() + 1));
}

// A light name plate (the channel names are dark text).
void NamePlate(QPainter& p, const QRectF& r) {
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, r.top(), 0, r.bottom());
  g.setColorAt(0.0, kPlateLight.lighter(106));
  g.setColorAt(1.0, kPlateLight.darker(108));
  p.setPen(QPen(QColor(40, 42, 46), 1));
  p.setBrush(g);
  p.drawRoundedRect(r.adjusted(-0.5, -0.5, 0.5, 0.5), 2, 2);
}

// A raised panel shaded from top to bottom.
void Raised(QPainter& p, const QRectF& r, double radius, const QColor& top, const QColor& bottom) {
  RaisedFace(p, r, r, radius, top, bottom, QColor(8, 9, 11), QColor(255, 255, 255, 30),
             QLineF(r.left() + radius, r.top() + 1, r.right() - radius, r.top() + 1));
}

// The panel's brushed dark front.
void Front(QPainter& p, const QRect& r) { ShadedFace(p, r, QColor(54, 58, 66), QColor(30, 32, 37)); }

// A tab button's face, lit in the accent colour or plain.
void TabFace(QPainter& p, const QRectF& r, bool lit) {
  if (lit)
    Raised(p, r, 5, kAccent.lighter(115), kAccent.darker(150));
  else
    Raised(p, r, 5, QColor(74, 80, 90), QColor(44, 48, 55));
}

QRectF Rect(const T::Box& b) { return QRectF(b.left, b.top, b.Width(), b.Height()); }
// The box's outline on pixel centres.
QRectF Sharp(const T::Box& b) { return QRectF(b.left + 0.5, b.top + 0.5, b.Width() - 1, b.Height() - 1); }

// --- Header shared by every page picture (x 0 to 280, y 0 to 110) ---

// The page tabs' captions, in two lines (the Mixer's in one), in the order of the tabs.
constexpr const char* kTabCaptions[][2] = {{"INPUT", "GEQ"}, {"INPUT", "PEQ"},   {"INPUT", "DEQ"},
                                           {"", "MIXER"},    {"OUTPUT", "COMP"}, {"OUTPUT", "EQ"}};
static_assert(std::size(kTabCaptions) == std::size(T::kPageTabs));

// The raised plate, the brand, the Presets face and the device name's well, which every header
// shows.
void HeaderTop(QPainter& p, const QRectF& plate) {
  p.setRenderHint(QPainter::Antialiasing);
  Raised(p, plate, 6, QColor(62, 67, 76), QColor(36, 39, 45));
  // Brand and the presets button's face.
  Label(p, QRectF(18, 9, 120, 22), QStringLiteral("TORVEX"), 17, Qt::AlignLeft | Qt::AlignVCenter, kAccentInk);
  Raised(p, Sharp(T::kPresetManager), 5, QColor(86, 92, 104), QColor(52, 56, 64));
  Label(p, Rect(T::kPresetManager), QStringLiteral("PRESETS"), 9);
  // The device name's window (27, 37 to 262, 61) and the model line under it.
  Well(p, QRectF(22, 35, 246, 28), 3);
}

// Page tab t at its box; a short box (the compact view's row) sets its two lines closer.
void PageTab(QPainter& p, std::size_t t, const T::Box& tab, bool active) {
  const char* top = kTabCaptions[t][0];
  const char* bottom = kTabCaptions[t][1];
  TabFace(p, Sharp(tab), active);
  const QColor ink = active ? QColor(255, 255, 255) : kInk;
  if (!*top) {
    Label(p, Rect(tab), QString::fromLatin1(bottom), 9, Qt::AlignCenter, ink);
  } else if (tab.Height() >= 30) {
    Label(p, QRectF(tab.left, tab.top + 3, tab.Width(), 11), QString::fromLatin1(top), 7, Qt::AlignCenter,
          active ? ink : kSoftInk);
    Label(p, QRectF(tab.left, tab.top + 14, tab.Width(), 13), QString::fromLatin1(bottom), 9, Qt::AlignCenter, ink);
  } else {
    Label(p, QRectF(tab.left, tab.top + 1, tab.Width(), 8), QString::fromLatin1(top), 7, Qt::AlignCenter,
          active ? ink : kSoftInk);
    Label(p, QRectF(tab.left, tab.top + 8, tab.Width(), 10), QString::fromLatin1(bottom), 8, Qt::AlignCenter, ink);
  }
}

void Header(QPainter& p, int activePage) {
  HeaderTop(p, QRectF(4.5, 4.5, 271, 104));
  for (std::size_t t = 0; t < std::size(T::kPageTabs); ++t)
    PageTab(p, t, T::kPageTabs[t].box, T::kPageTabs[t].id == activePage);
}

// A page picture's plain area, with a dark line along its foot.
void PageFront(QPainter& p, QSize s) {
  Front(p, QRect(QPoint(0, 0), s));
  p.setPen(QPen(QColor(10, 11, 13), 1));
  p.drawLine(QPointF(0, s.height() - 0.5), QPointF(s.width(), s.height() - 0.5));
}

// A page picture: the header over a plain page area below and beside it.
void PageBase(QPainter& p, QSize s, int activePage) {
  PageFront(p, s);
  Header(p, activePage);
}

// Column headings and band numbers of a band table: a row per band, the frames from its left.
void BandTable(QPainter& p, int bands) {
  const int top = T::BandRowTop(0) + T::kBandFrameDy;
  Well(p, QRectF(T::kBandFrameLeft, top + 0.0, 403, 19.0 * bands + 6), 4, QColor(22, 24, 28));
  const struct {
    T::Column column;
    const char* text;
  } heads[] = {{{T::kBandFrameLeft, 466}, "BAND"}, {T::kBandFrequency, "FREQ"}, {T::kBandQ, "Q"},
               {T::kBandGain, "GAIN"},             {T::kBandType, "TYPE"},      {{798, 836}, "BYP"}};
  for (const auto& h : heads)
    Label(p, QRectF(h.column.left, 5, h.column.right - h.column.left, 12), QString::fromLatin1(h.text), 8);
  for (int b = 0; b < bands; ++b) {
    const int y = T::BandRowTop(b);
    Label(p, QRectF(440, y, 24, T::kBandRowHeight), QString::number(b + 1), 9, Qt::AlignCenter, kAccentInk);
    p.setPen(QPen(QColor(255, 255, 255, 14), 1));
    if (b > 0) p.drawLine(QPointF(440, y - 1.5), QPointF(835, y - 1.5));
  }
}

// --- Page pictures ---

const ArtRegistrar kMixerPage("torvex_mixer_page", [](QPainter& p, QSize s) {
  Front(p, QRect(QPoint(0, 0), s));
  Header(p, T::kPageMixer);
});

// The compact view's header, wide and tall enough for the preset display: the page tabs in the
// lower row (none lit: the view is no tab's page) and the display's well round its text. The
// display's buttons bring their own faces.
const ArtRegistrar kCompactPage("torvex_compact_page", [](QPainter& p, QSize s) {
  PageFront(p, s);
  HeaderTop(p, QRectF(4.5, 4.5, s.width() - 9, s.height() - 9));
  for (std::size_t t = 0; t < std::size(T::kPageTabs); ++t)
    PageTab(p, t, T::CompactTab(T::kPageTabs[t].box, T::kCompactTabsTop), false);
  Well(p, Rect(T::kLcdText).adjusted(-3, -1, 3, 1), 3);
});

const ArtRegistrar kGeqPage("torvex_geq_page", [](QPainter& p, QSize s) {
  PageBase(p, s, T::kPageInputGeq);
  // Options beside the caption: the Q shape list, the bypass and flatten buttons, captioned on
  // their left.
  const T::Box& shape = T::kGeqShape;
  Label(p, QRectF(shape.left - 70, shape.top, 66, shape.Height()), QStringLiteral("Q SHAPE"), 8,
        Qt::AlignRight | Qt::AlignVCenter);
  Label(p, QRectF(T::kGeqBypass.x - 75, T::kGeqBypass.y + 1, 70, 15), QStringLiteral("BYPASS"), 8,
        Qt::AlignRight | Qt::AlignVCenter);
  Label(p, QRectF(T::kGeqFlat.x - 74, T::kGeqFlat.y + 2, 70, 15), QStringLiteral("FLATTEN"), 8,
        Qt::AlignRight | Qt::AlignVCenter);
  // The fader bank with its scale and band frequencies.
  Well(p, QRectF(14, 118, 822, 218), 6, QColor(22, 24, 28));
  const double top = T::GeqFader(0).top + 15, bottom = T::GeqFader(0).bottom - 16;  // the cap centre's travel
  for (int db = -12; db <= 12; db += 6) {
    const double y = bottom - (db + 12) / 24.0 * (bottom - top);
    Label(p, QRectF(18, y - 6, 38, 12), QString::asprintf("%+d", db).replace(QStringLiteral("+0"), QStringLiteral("0")),
          8, Qt::AlignRight | Qt::AlignVCenter, kSoftInk, false);
    p.setPen(QPen(QColor(255, 255, 255, db == 0 ? 60 : 22), 1));
    p.drawLine(QPointF(60, std::floor(y) + 0.5), QPointF(830, std::floor(y) + 0.5));
  }
  static const char* const kBands[28] = {"31",  "40",  "50",  "63",  "80",  "100", "125", "160", "200", "250",
                                         "315", "400", "500", "630", "800", "1k",  "1k2", "1k6", "2k",  "2k5",
                                         "3k2", "4k",  "5k",  "6k3", "8k",  "10k", "12k", "16k"};
  for (int b = 0; b < T::kGeqBands; ++b)
    Label(p, QRectF(T::GeqFader(b).left - 6, T::GeqFader(b).bottom + 3, 27, 12), QString::fromLatin1(kBands[b]), 8,
          Qt::AlignCenter, kSoftInk, false);
  Label(p, QRectF(18, 122, 60, 12), QStringLiteral("dB"), 8, Qt::AlignLeft | Qt::AlignVCenter, kSoftInk);
  Label(p, QRectF(700, 122, 130, 12), QStringLiteral("GRAPHIC EQ"), 8, Qt::AlignRight | Qt::AlignVCenter, kAccentInk);
});

const ArtRegistrar kPeqPage("torvex_peq_page", [](QPainter& p, QSize s) {
  PageBase(p, s, T::kPageInputPeq);
  Label(p, QRectF(295, 118, 130, 14), QStringLiteral("PARAMETRIC EQ"), 8, Qt::AlignLeft | Qt::AlignVCenter, kAccentInk);
  BandTable(p, 8);
});

const ArtRegistrar kDeqPage("torvex_deq_page", [](QPainter& p, QSize s) {
  PageBase(p, s, T::kPageInputDeq);
  // The mode and linking lists, captioned above.
  for (const auto& [list, caption] : {std::pair{T::kDeqMode, "DEQ MODE"}, std::pair{T::kDeqLinking, "LINKING"}})
    Label(p, QRectF(list.left, list.top - 14, list.Width(), 13), QString::fromLatin1(caption), 8,
          Qt::AlignLeft | Qt::AlignVCenter);
  // The band columns, each as wide as its frame.
  for (int b = 0; b < T::kDeqBands; ++b) {
    const double x = T::kDeqColumn.frame.x + T::kDeqColumnPitch * b;
    Raised(p, QRectF(x + 4.5, 4.5, 182, 214), 6, QColor(48, 52, 60), QColor(32, 35, 40));
    Label(p, QRectF(x + 11, 8, 70, 14), QStringLiteral("BAND %1").arg(b + 1), 9, Qt::AlignLeft | Qt::AlignVCenter,
          kAccentInk);
    auto cap = [&](double left, double top, double width, const char* text) {
      Label(p, QRectF(x + left, top, width, 12), QString::fromLatin1(text), 8, Qt::AlignLeft | Qt::AlignVCenter,
            kSoftInk);
    };
    cap(11, 62, 70, "THRESHOLD");
    cap(12, 92, 60, "RATIO");
    cap(12, 122, 60, "ATTACK");
    cap(12, 152, 60, "RELEASE");
    cap(73, 122, 80, "SHAPE");
    cap(73, 152, 30, "Q");
    cap(107, 152, 72, "DYNAMICS");
    cap(12, 182, 40, "BYP");
    cap(73, 182, 50, "FREQ");
    cap(135, 182, 44, "RANGE");
    // The band graph's surround.
    const T::Box& graph = T::kDeqColumn.graph;
    p.setPen(QPen(QColor(6, 6, 8), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(x + (graph.left - T::kDeqColumn.frame.x) - 1, graph.top - 1, graph.Width() + 2,
                             graph.Height() + 2),
                      2, 2);
  }
});

const ArtRegistrar kOutputEqPage("torvex_output_eq_page", [](QPainter& p, QSize s) {
  PageBase(p, s, T::kPageOutputEq);
  // Crossover: each filter's frequency and type, captioned above; the unit beside the frequency.
  const int left = T::kHighPassFrequency.left;
  Raised(p, QRectF(left - 4.5, 40.5, 146, 160), 6, QColor(48, 52, 60), QColor(32, 35, 40));
  Label(p, QRectF(left, 44, 130, 13), QStringLiteral("CROSSOVER"), 9, Qt::AlignLeft | Qt::AlignVCenter, kAccentInk);
  for (const auto& [frequency, caption] :
       {std::pair{T::kHighPassFrequency, "HIGH PASS"}, std::pair{T::kLowPassFrequency, "LOW PASS"}}) {
    Label(p, QRectF(left, frequency.top - 14, 130, 13), QString::fromLatin1(caption), 8,
          Qt::AlignLeft | Qt::AlignVCenter);
    Label(p, QRectF(frequency.right + 3, frequency.top + 2, 60, 14), QStringLiteral("FREQ"), 8,
          Qt::AlignLeft | Qt::AlignVCenter, kSoftInk);
  }
  BandTable(p, 9);
});

const ArtRegistrar kCompPage("torvex_comp_page", [](QPainter& p, QSize s) {
  PageBase(p, s, T::kPageOutputComp);
  // The Compressor Limiters list, captioned above.
  const T::Box& limiters = T::kCompressorLimiters;
  Label(p, QRectF(limiters.left, limiters.top - 30, 200, 13), QStringLiteral("OUTPUT COMPRESSORS"), 9,
        Qt::AlignLeft | Qt::AlignVCenter, kAccentInk);
  Label(p, QRectF(limiters.left, limiters.top - 14, 140, 13), QStringLiteral("COMP LIMITERS"), 8,
        Qt::AlignLeft | Qt::AlignVCenter);
});

// --- Strips ---

// An LED's caption to the left of its position (x, y of the LED's top-left corner).
void LedCaption(QPainter& p, double ledX, double y, const char* text) {
  Label(p, QRectF(1, y, ledX - 3, 19), QString::fromLatin1(text), 8, Qt::AlignRight | Qt::AlignVCenter);
}

// A fader's gain range in dB and the marks of its scale.
struct FaderRange {
  int minimum;
  int maximum;
  std::initializer_list<int> marks;
};

// A fader scale left of the groove (x 19): a tick and its number for each mark, at the cap
// centre's place for that gain (top: the maximum, bottom: the minimum).
void FaderScale(QPainter& p, double top, double bottom, const FaderRange& range) {
  for (int db : range.marks) {
    const double y = bottom - double(db - range.minimum) / double(range.maximum - range.minimum) * (bottom - top);
    p.fillRect(QRectF(14, std::floor(y), 4, 1), kSoftInk);
    const QString label = db > 0 ? QStringLiteral("+%1").arg(db) : QString::number(db);
    Label(p, QRectF(0, std::floor(y) - 5, 14, 10), label, 7, Qt::AlignRight | Qt::AlignVCenter, kSoftInk, false);
  }
}

// The strip's body and its lower half; y values are relative to the strip's top. Both strips
// share the same lower half (delay, LEDs, name, fader, meter, readout, channel letter), with the
// widget rows at delay dy, LEDs dy + 24.. and so on.
void StripLowerHalf(QPainter& p, int delayTop, const char* const leds[4], int faderTop, int faderBottom, int meterTop,
                    const FaderRange& range) {
  // Delay readout (x 1 to 58).
  Label(p, QRectF(2, delayTop - 12, 56, 11), QStringLiteral("DELAY"), 7, Qt::AlignCenter, kSoftInk);
  Well(p, QRectF(2, delayTop, 56, 15));
  for (int i = 0; i < 4; ++i) LedCaption(p, 34, delayTop + 24 + 25 * i, leds[i]);
  // Name plate (x 2 to 58).
  NamePlate(p, QRectF(2, delayTop + 123, 56, 15));
  // Fader groove surround and scale; the meter's well.
  // The cap (31 px high) centres 15 px below the fader's top and 16 above its bottom.
  FaderScale(p, faderTop + 15, faderBottom - 16, range);
  Well(p, QRectF(39, meterTop - 1, 16, 132), 1, QColor(8, 8, 10));
}

// A channel strip's body: the lower half (see StripLowerHalf) with the channel's letter or
// number plate and its gain readout's window.
void ChannelStrip(QPainter& p, QSize s, int delayTop, const char* const leds[4], int faderTop, int faderBottom,
                  int meterTop, int plateTop, double readoutLeft, const FaderRange& range) {
  Raised(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 6, QColor(58, 63, 72), QColor(34, 37, 43));
  StripLowerHalf(p, delayTop, leds, faderTop, faderBottom, meterTop, range);
  NamePlate(p, QRectF(4, plateTop, 14, 17));
  Well(p, QRectF(readoutLeft, plateTop + 20, 50, 15));
}

// The strip widgets' tops in the picture of a strip whose picture's top is at panel y top.
struct StripTops {
  int delay, faderTop, faderBottom, meter, readout;
};
constexpr StripTops TopsIn(int top, const T::StripPlace& delay, const T::StripPlace& fader, const T::StripPlace& meter,
                           const T::StripPlace& gain) {
  return StripTops{delay.top - top, fader.top - top, fader.top + fader.height - top, meter.top - top, gain.top - top};
}

const ArtRegistrar kInputStrip("torvex_input_strip", [](QPainter& p, QSize s) {
  // The strips are drawn in the Inputs section; the letter plate stands over the readout.
  const T::InputStrip& at = T::kInputPlaced;
  constexpr StripTops tops = TopsIn(T::kInputsSection.top, T::kInputPlaced.delay, T::kInputPlaced.fader,
                                    T::kInputPlaced.meter, T::kInputPlaced.gain);
  static const char* const kLeds[4] = {"GEQ", "PEQ", "DEQ", "MUTE"};
  // Input gains run from -40 to +6 dB.
  ChannelStrip(p, s, tops.delay, kLeds, tops.faderTop, tops.faderBottom, tops.meter, tops.readout - 20, at.gain.dx,
               FaderRange{-40, 6, {6, 0, -10, -20, -30, -40}});
  Label(p, QRectF(0, 2, s.width(), 12), QStringLiteral("LINK"), 8, Qt::AlignCenter, kSoftInk);
  Well(p, QRectF(4, 15, 52, 100), 3, QColor(22, 24, 28));
});

const ArtRegistrar kOutputStrip("torvex_output_strip", [](QPainter& p, QSize s) {
  // The side-tab views take the strip's top; the number plate stands over the readout.
  constexpr StripTops tops = TopsIn(T::kOutputPlaced.picture.top, T::kOutputPlaced.delay, T::kOutputPlaced.fader,
                                    T::kOutputPlaced.meter, T::kOutputPlaced.gain);
  static const char* const kLeds[4] = {"EQ", "COMP", "POL", "MUTE"};
  // Output gains run from -40 to +15 dB.
  ChannelStrip(p, s, tops.delay, kLeds, tops.faderTop, tops.faderBottom, tops.meter, tops.readout - 20, 1,
               FaderRange{-40, 15, {15, 6, 0, -10, -20, -30, -40}});
});

// Where a compressor strip's widget stands in the strip's picture.
constexpr T::Box InCompressorStrip(const T::Box& box) {
  return box.Moved(-T::kCompressorStrip.x, -T::kCompressorStrip.y);
}

const ArtRegistrar kCompStrip("torvex_comp_strip", [](QPainter& p, QSize s) {
  // The readouts with their captions, the bypass button's caption, the graph's and the
  // gain-reduction meter's surrounds, the number plate and the name's plate.
  Raised(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 6, QColor(58, 63, 72), QColor(34, 37, 43));
  static const char* const kCaps[5] = {"THRESHOLD", "RATIO", "ATTACK", "RELEASE", "KNEE"};
  constexpr T::Box readout = InCompressorStrip(T::kCompressorReadout);
  for (int i = 0; i < 5; ++i) {
    const int y = readout.top + T::kCompressorReadoutPitch * i;
    Label(p, QRectF(readout.left, y - 13, 90, 12), QString::fromLatin1(kCaps[i]), 8, Qt::AlignLeft | Qt::AlignVCenter,
          kSoftInk);
    Well(p, QRectF(readout.left, y, readout.Width(), readout.Height()));
  }
  constexpr T::Spot bypass{T::kCompressorBypass.x - T::kCompressorStrip.x,
                           T::kCompressorBypass.y - T::kCompressorStrip.y};
  Label(p, QRectF(5, bypass.y, bypass.x - 7, 14), QStringLiteral("BYP"), 8, Qt::AlignRight | Qt::AlignVCenter);
  constexpr T::Box graph = InCompressorStrip(T::kCompressorGraph);
  p.setPen(QPen(QColor(6, 6, 8), 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(graph.left - 1, graph.top - 1, graph.Width() + 2, graph.Height() + 2));
  constexpr T::Spot meter{T::kGainReductionMeter.x - T::kCompressorStrip.x,
                          T::kGainReductionMeter.y - T::kCompressorStrip.y};
  Label(p, QRectF(5, meter.y - 19, 90, 13), QStringLiteral("GAIN REDUCTION"), 7, Qt::AlignCenter, kSoftInk);
  Well(p, QRectF(meter.x - 1, meter.y - 1, 16, 124), 1, QColor(8, 8, 10));
  // The meter is lit from the bottom over -6 to 24 dB.
  for (int db = 0; db <= 24; db += 6) {
    const double y = meter.y + 122 - (db + 6) / 30.0 * 122;
    Label(p, QRectF(62, y - 5, 30, 10), QString::number(db), 7, Qt::AlignLeft | Qt::AlignVCenter, kSoftInk, false);
  }
  constexpr T::Box name = InCompressorStrip(T::kCompressorName);
  NamePlate(p, QRectF(4, name.top - 1, 17, 17));
  NamePlate(p, QRectF(name.left, name.top, name.Width(), name.Height()));
});

// --- The Source view's sub-tabs and matrix view ---

// An upright tab: its face with the name read from the bottom up.
void UprightTab(QPainter& p, const QRectF& r, const char* name, int pixels, bool lit) {
  TabFace(p, r, lit);
  p.save();
  p.translate(r.center());
  p.rotate(-90);
  Label(p, QRectF(-r.height() / 2, -r.width() / 2, r.height(), r.width()), QString::fromLatin1(name), pixels,
        Qt::AlignCenter, lit ? QColor(255, 255, 255) : kInk);
  p.restore();
}

// The Source view's sub-tabs (28 x 102 at 285, 240): the upper button (y 3 to 49) shows the
// routing buttons, the lower (53 to 99) the matrix knobs.
void SubTabs(QPainter& p, bool matrix) {
  static const char* const kNames[2] = {"ROUTER", "MATRIX"};
  for (int t = 0; t < 2; ++t) UprightTab(p, QRectF(3.5, 2.5 + 50 * t, 22, 47), kNames[t], 7, (t == 1) == matrix);
}

const ArtRegistrar kTabMatrix("torvex_tab_matrix", [](QPainter& p, QSize) { SubTabs(p, true); });
const ArtRegistrar kTabRouter("torvex_tab_router", [](QPainter& p, QSize) { SubTabs(p, false); });

// The matrix view of an output (54 x 225 at the strip's x + 3, y 9): a knob seat and a value
// window per input, with the input letter.
const ArtRegistrar kMixerInputs("torvex_mixer_inputs", [](QPainter& p, QSize s) {
  constexpr int kTop = 9;
  Raised(p, QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 4, QColor(30, 33, 38), QColor(22, 24, 28));
  for (int j = 0; j < T::kMaxInputs; ++j) {
    const double y = T::kOutputPlaced.knob.top - kTop + T::kKnobRowPitch * j;  // the knob's top
    Label(p, QRectF(2, y + 2, 11, 12), QString(QChar('A' + j)), 9, Qt::AlignCenter, QColor(255, 255, 255));
    p.setPen(QPen(QColor(6, 6, 8), 1));
    p.setBrush(QColor(16, 17, 20));
    p.drawEllipse(QPointF(27.5, y + 13.5), 15, 15);
    Well(p, QRectF(3, y + 33, 49, 14), 2, QColor(10, 10, 12));
  }
});

// --- Frames ---

// The selected dynamic-EQ band column (191 x 224).
const ArtRegistrar kLargeSelectionFrame("torvex_large_selection_frame", [](QPainter& p, QSize s) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kAccent, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(2, 2, s.width() - 4, s.height() - 4), 7, 7);
});

// --- Meters, LEDs, fader cap, graph grids ---

// A segmented meter: the segments from bottom to top graded through the colours.
void Segments(QPainter& p, QSize s, const QColor& low, const QColor& mid, const QColor& high) {
  p.fillRect(QRect(QPoint(0, 0), s), QColor(6, 6, 8));
  const int count = s.height() / 3;
  for (int i = 0; i < count; ++i) {
    const double f = double(i) / double(count - 1);  // 0 at the meter's start
    QColor c = f < 0.6 ? low : f < 0.85 ? mid : high;
    const int y = s.height() - 3 - 3 * i;
    p.fillRect(QRect(2, y, s.width() - 4, 2), c);
  }
}

const ArtRegistrar kGainReduction("torvex_gain_reduction_meter", [](QPainter& p, QSize s) {
  Segments(p, s, QColor(250, 190, 50), QColor(250, 140, 30), QColor(235, 70, 40));
});

// Grid of a transfer-curve graph: -20 to +20 dB both ways, lines every 10 dB and the unity line.
void CurveGrid(QPainter& p, QSize s) {
  p.fillRect(QRect(QPoint(0, 0), s), QColor(12, 14, 17));
  p.setRenderHint(QPainter::Antialiasing, false);
  for (int i = 1; i < 4; ++i) {
    const int x = s.width() * i / 4, y = s.height() * i / 4;
    p.setPen(QColor(255, 255, 255, i == 2 ? 50 : 26));
    p.drawLine(x, 0, x, s.height());
    p.drawLine(0, y, s.width(), y);
  }
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(QColor(255, 255, 255, 36), 1, Qt::DashLine));
  p.drawLine(QPointF(0, s.height()), QPointF(s.width(), 0));
  p.setPen(QPen(QColor(70, 74, 82), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1));
}

const ArtRegistrar kGraphSmall("torvex_comp_graph_small", CurveGrid);
const ArtRegistrar kGraphLarge("torvex_comp_graph_large", CurveGrid);

}  // namespace
