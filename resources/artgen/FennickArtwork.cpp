// Drawings of the Fennick panels' compact skin: a background per model (the Fennick's blue
// line, the Zel-Fennick's orange one), the button faces of the preset actions and of the
// preset display, the channel meter and the mute lamp. Places come from FennickPanelLayout.h.
#include <QLinearGradient>
#include <QPainterPath>

#include "resources/FennickPanelLayout.h"
#include "resources/artgen/ArtKit.h"

using namespace art;
namespace fl = fennick_layout;

namespace {

const QColor kFennickBlue(47, 127, 208);
const QColor kZelOrange(224, 123, 32);
const QColor kInk(214, 218, 224);
const QColor kSoftInk(150, 156, 166);
const QColor kLcdGlass(170, 200, 120);

QRectF Rect(const fl::Box& b) { return QRectF(b.left, b.top, b.Width(), b.Height()); }
// The box's outline on pixel centres, for sharp one-pixel edges.
QRectF Sharp(const fl::Box& b) { return Rect(b).adjusted(0.5, 0.5, -0.5, -0.5); }

void Background(QPainter& p, QSize s, const QColor& line) {
  p.setRenderHint(QPainter::Antialiasing);
  BrushedFront(p, s);
  // The model line's stripe down the left edge.
  p.fillRect(QRect(3, 8, 3, s.height() - 16), line);

  // Header: the name's field; the model line (the panel writes the model on its left).
  Recess(p, Sharp(fl::kNameField), 4, QColor(22, 24, 28));
  Caption(p, Rect(fl::kModelLine), QStringLiteral("MATRIX PROCESSOR"), 10, Qt::AlignRight | Qt::AlignVCenter, line);

  // The preset display: a bezel around green glass.
  const QRectF glass = Rect(fl::kLcdGlass);
  p.setPen(QPen(QColor(8, 9, 10), 2));
  p.setBrush(QColor(14, 15, 17));
  p.drawRoundedRect(glass, 5, 5);
  QLinearGradient lcd(0, glass.top(), 0, glass.bottom());
  lcd.setColorAt(0.0, kLcdGlass.lighter(110));
  lcd.setColorAt(1.0, kLcdGlass.darker(108));
  p.setPen(Qt::NoPen);
  p.setBrush(lcd);
  p.drawRoundedRect(glass.adjusted(4, 4, -4, -4), 3, 3);

  Caption(p, Rect(fl::kPresetCaption), QStringLiteral("PRESET MEMORIES"), 9, Qt::AlignLeft | Qt::AlignVCenter, kSoftInk);

  // Channel area: captions over the inputs and the outputs, a label over every column and a
  // dark slot behind every meter.
  Recess(p, Sharp(fl::kChannelWell), 5, QColor(24, 26, 30));
  const int inRight = fl::ColumnLeft(fl::kInputs - 1) + fl::kColumnWidth;
  const int outLeft = fl::ColumnLeft(fl::kInputs);
  const int outRight = fl::ColumnLeft(fl::kInputs + fl::kOutputs - 1) + fl::kColumnWidth;
  Caption(p, QRectF(fl::ColumnLeft(0), fl::kChannelCaptionTop, inRight - fl::ColumnLeft(0), 11), QStringLiteral("INPUTS"),
        9, Qt::AlignCenter, line);
  Caption(p, QRectF(outLeft, fl::kChannelCaptionTop, outRight - outLeft, 11), QStringLiteral("OUTPUTS"), 9,
        Qt::AlignCenter, line);
  p.fillRect(QRect(inRight + 8, fl::kChannelLabelTop, 1, fl::kMuteTop + fl::kMuteHeight - fl::kChannelLabelTop),
             QColor(14, 15, 18));
  for (int c = 0; c < fl::kInputs + fl::kOutputs; ++c) {
    const QString label = c < fl::kInputs ? QString(QChar('A' + c)) : QString::number(c - fl::kInputs + 1);
    Caption(p, QRectF(fl::ColumnLeft(c), fl::kChannelLabelTop, fl::kColumnWidth, 11), label, 9, Qt::AlignCenter, kInk);
    const int x = fl::ColumnCentre(c) - fl::kMeterWidth / 2;
    p.fillRect(QRect(x - 1, fl::kMeterTop - 1, fl::kMeterWidth + 2, fl::kMeterHeight + 2), QColor(8, 9, 10));
  }
}

const ArtRegistrar kFennickPanel("fennick_panel", [](QPainter& p, QSize s) {
  Background(p, s, kFennickBlue);
});
const ArtRegistrar kZelFennickPanel("zel_fennick_panel", [](QPainter& p, QSize s) {
  Background(p, s, kZelOrange);
});

// A raised button face with its caption.
void Face(QPainter& p, QSize s, const QString& caption, int pixels) {
  const double w = s.width(), h = s.height();
  RaisedFace(p, QRectF(0, 0, w, h), QRectF(0.5, 0.5, w - 1, h - 1), 4, QColor(96, 103, 114), QColor(54, 58, 66),
             QColor(14, 15, 18), QColor(255, 255, 255, 60), QLineF(4, 1.5, w - 4, 1.5));
  Caption(p, QRectF(0, 0, w, h), caption, pixels, Qt::AlignCenter, kInk);
}

// A triangle pointing left (-1) or right (+1) in the middle of the face.
void Arrow(QPainter& p, QSize s, int direction) {
  const double cx = s.width() / 2.0;
  const double cy = s.height() / 2.0;
  QPainterPath arrow;
  arrow.moveTo(cx + 5 * direction, cy);
  arrow.lineTo(cx - 4 * direction, cy - 6);
  arrow.lineTo(cx - 4 * direction, cy + 6);
  arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawPath(arrow);
}

const bool kFacesRegistered = [] {
  const char* names[fl::kActionCount] = {"store", "recall", "rename", "delete", "save_file", "load_file", "timed_presets"};
  for (int i = 0; i < fl::kActionCount; ++i) {
    const QString caption = QString::fromLatin1(fl::kActions[i].caption);
    ArtRegistry()[std::string("fennick_button_") + names[i]] = [caption](QPainter& p, QSize s) {
      Face(p, s, caption, 10);
    };
  }
  return true;
}();

const ArtRegistrar kLcdPrevious("fennick_lcd_previous", [](QPainter& p, QSize s) {
  Face(p, s, QString(), 10);
  Arrow(p, s, -1);
});
const ArtRegistrar kLcdNext("fennick_lcd_next", [](QPainter& p, QSize s) {
  Face(p, s, QString(), 10);
  Arrow(p, s, 1);
});
const ArtRegistrar kLcdRecall("fennick_lcd_recall", [](QPainter& p, QSize s) {
  Face(p, s, QStringLiteral("RECALL SHOWN PRESET"), 10);
});

// The meter's lit picture: green up to -12 dB, yellow to -3 dB, red above (range -40 to 9).
const ArtRegistrar kMeter("fennick_meter", [](QPainter& p, QSize s) {
  const double h = s.height();
  auto y = [h](double db) { return h - (db + 40.0) / 49.0 * h; };
  p.fillRect(QRectF(0, y(-12), s.width(), h - y(-12)), QColor(60, 210, 80));
  p.fillRect(QRectF(0, y(-3), s.width(), y(-12) - y(-3)), QColor(235, 210, 40));
  p.fillRect(QRectF(0, 0, s.width(), y(-3)), QColor(235, 50, 40));
  for (int k = 2; k < s.height(); k += 3) p.fillRect(QRect(0, k, s.width(), 1), QColor(0, 0, 0, 90));
});

// The mute lamp: red with its letter; the panel dims it while the channel plays.
const ArtRegistrar kMute("fennick_mute", [](QPainter& p, QSize s) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(70, 8, 8), 1));
  p.setBrush(QColor(230, 44, 40));
  p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 3, 3);
  Caption(p, QRectF(0, 0, s.width(), s.height()), QStringLiteral("M"), 9, Qt::AlignCenter, QColor(255, 240, 236));
});

}  // namespace
