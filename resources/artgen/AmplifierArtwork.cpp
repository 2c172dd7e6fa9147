// Drawings of the amplifier families' images: the Zel amplifier's rack tile and its control panel,
// and the breakout boxes' rack tiles, one colour per model line.
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "resources/ZelPanelLayout.h"
#include "resources/artgen/ArtKit.h"

using namespace art;
namespace Z = zel_layout;

namespace {

const QColor kZelOrange(224, 123, 32);

// Rack ear with a screw, the line's stripe and a short vent grille before the name.
void AmplifierLeft(QPainter& p, QSize s, const QColor& line) {
  TileBody(p, s);
  p.fillRect(QRect(0, 1, 12, s.height() - 2), QColor(30, 32, 37));
  Screw(p, QPointF(6, s.height() / 2.0));
  p.fillRect(QRect(15, 4, 3, s.height() - 8), line);
  for (int y = 7; y < s.height() - 6; y += 3) p.fillRect(QRect(21, y, 5, 1), QColor(22, 24, 28));
}

// The status LED's recess (x 0 to 10, y 10 to 20) and the right rack ear.
void AmplifierRight(QPainter& p, QSize s) {
  TileBody(p, s);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(16, 17, 20), 1));
  p.setBrush(QColor(22, 24, 28));
  p.drawRoundedRect(QRectF(-1.5, 8.5, 13, 13), 3, 3);
  p.fillRect(QRect(s.width() - 12, 1, 12, s.height() - 2), QColor(30, 32, 37));
  Screw(p, QPointF(s.width() - 6, s.height() / 2.0));
}

const ArtRegistrar kLeft("tile_zel_amp_left", [](QPainter& p, QSize s) { AmplifierLeft(p, s, kZelOrange); });
const ArtRegistrar kRight("tile_zel_amp_right", AmplifierRight);
const ArtRegistrar kMiddle("tile_zel_amp_middle", [](QPainter& p, QSize s) { TileBody(p, s); });

// The families without artwork of their own: the same front with a neutral grey stripe.
const ArtRegistrar kModuleLeft("tile_module_left",
                               [](QPainter& p, QSize s) { AmplifierLeft(p, s, QColor(150, 156, 166)); });
const ArtRegistrar kModuleRight("tile_module_right", AmplifierRight);
const ArtRegistrar kModuleMiddle("tile_module_middle", [](QPainter& p, QSize s) { TileBody(p, s); });

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

// --- Zel amplifier control panel ---

namespace {

const QColor kZelInk(214, 218, 224);
const QColor kZelSoftInk(150, 156, 166);
const QColor kLcdGlass(184, 200, 150);

void Label(QPainter& p, const QRectF& r, const QString& text, int pixels, int align, const QColor& ink = kZelInk,
           bool bold = true) {
  Caption(p, r, text, pixels, align, ink, bold);
}

// The whole picture as a rounded box shaded from top to bottom, with its outline.
void ShadedBox(QPainter& p, QSize s, const QColor& top, const QColor& bottom, const QColor& outline, double radius) {
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 0, s.height());
  g.setColorAt(0.0, top);
  g.setColorAt(1.0, bottom);
  p.setPen(QPen(outline, 1));
  p.setBrush(g);
  p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), radius, radius);
}

// Rack ear with two screws.
void Ear(QPainter& p, const QRect& r) {
  QLinearGradient g(r.left(), 0, r.right(), 0);
  g.setColorAt(0.0, QColor(58, 62, 70));
  g.setColorAt(1.0, QColor(38, 41, 47));
  p.fillRect(r, g);
  Screw(p, QPointF(r.center().x() + 0.5, 14));
  Screw(p, QPointF(r.center().x() + 0.5, 146));
}

// The check and OK LEDs beside the display, with their channel letters on their left, and
// the page button's caption.
void ChannelLeds(QPainter& p, int channels) {
  const int checkTop = channels == 4 ? Z::kCheckLedOfFour.y : Z::kCheckLed.y;
  const int okTop = channels == 4 ? Z::kOkLedOfFour.y : Z::kOkLed.y;
  const int letterLeft = Z::kOkLed.x - 12;
  for (int ch = 0; ch < channels; ++ch) {
    const QString letter(QChar('A' + ch));
    Label(p, QRectF(letterLeft, checkTop + Z::kLedPitch * ch - 2, 10, 9), letter, 7, Qt::AlignCenter, kZelSoftInk);
    Label(p, QRectF(letterLeft, okTop + Z::kLedPitch * ch - 2, 10, 9), letter, 7, Qt::AlignCenter, kZelSoftInk);
  }
  Label(p, QRectF(402, checkTop - 1, 38, Z::kLedPitch * channels), QStringLiteral("CHECK"), 8,
        Qt::AlignRight | Qt::AlignVCenter);
  Label(p, QRectF(402, okTop - 1, 38, Z::kLedPitch * channels), QStringLiteral("LOAD OK"), 8,
        Qt::AlignRight | Qt::AlignVCenter);
  Label(p, QRectF(402, Z::kPageButton.y, Z::kPageButton.x - 405, 14), QStringLiteral("PAGE"), 8,
        Qt::AlignRight | Qt::AlignVCenter);
}

// Mode and state, in the status area's well; each LED and the Standby button captioned on its
// left.
void StatusArea(QPainter& p, int channels) {
  Recess(p, QRectF(Z::kStatusCover.x + 0.5, Z::kStatusCover.y + 0.5, 137, 132), 6, QColor(34, 37, 42));
  Label(p, QRectF(714, 44, 60, 14), QStringLiteral("MODE"), 9, Qt::AlignLeft | Qt::AlignVCenter, kZelOrange);
  Label(p, QRectF(776, 44, 66, 14), QStringLiteral("STATUS"), 9, Qt::AlignRight | Qt::AlignVCenter, kZelOrange);
  auto ledCaption = [&](Z::Spot led, int left, const char* text) {
    Label(p, QRectF(left, led.y - 4, led.x - 2 - left, 12), QString::fromLatin1(text), 8,
          Qt::AlignRight | Qt::AlignVCenter);
  };
  if (channels != 4) ledCaption(Z::kMonoLed, 712, "MONO");
  ledCaption(Z::kStereoLed, 712, "STEREO");
  ledCaption(Z::kBridgeLed, 712, "BRIDGE");
  ledCaption(Z::kActiveLed, 770, "ACTIVE");
  ledCaption(Z::kStandbyLed, 770, "STANDBY");
  Label(p, QRectF(760, Z::kStandbyButton.y, Z::kStandbyButton.x - 762, 14), QStringLiteral("ON / STBY"), 8,
        Qt::AlignRight | Qt::AlignVCenter);
}

void ZelBackground(QPainter& p, QSize s, const QString& model, int channels) {
  p.setRenderHint(QPainter::Antialiasing);
  BrushedFront(p, s);
  Ear(p, QRect(1, 1, 44, 158));
  Ear(p, QRect(852, 1, 34, 158));
  // The brand on the left ear, turned upright.
  p.save();
  p.translate(30, 110);
  p.rotate(-90);
  Label(p, QRectF(0, -12, 70, 24), QStringLiteral("ZEL"), 18, Qt::AlignLeft | Qt::AlignVCenter, kZelOrange);
  p.restore();
  p.fillRect(QRect(41, 8, 2, 150), kZelOrange);

  // Heading: model and family on the left, the amplifier name's field on the right.
  Label(p, QRectF(58, 3, 380, 20), model + QStringLiteral("  POWER AMPLIFIER"), 12, Qt::AlignLeft | Qt::AlignVCenter,
        kZelSoftInk);
  Recess(p, QRectF(445.5, 2.5, 393, 21), 4, QColor(22, 24, 28));

  // Channel area: one well under the channels' cover; an amplifier with two channels shows a
  // blanking panel where the third and fourth would be.
  Recess(p, QRectF(Z::kChannelCover.x + 0.5, Z::kChannelCover.y + 0.5, 343, 132), 6, QColor(24, 26, 30));
  if (channels == 2) {
    const QRectF blank(236.5, 35.5, 155, 96);
    QLinearGradient g(0, blank.top(), 0, blank.bottom());
    g.setColorAt(0.0, QColor(44, 48, 54));
    g.setColorAt(1.0, QColor(32, 35, 40));
    p.setPen(QPen(QColor(14, 15, 18), 1));
    p.setBrush(g);
    p.drawRoundedRect(blank, 5, 5);
    for (int y = 48; y < 122; y += 6) p.fillRect(QRect(252, y, 124, 2), QColor(16, 17, 20));
    Label(p, QRectF(236, 131, 156, 28), model, 15, Qt::AlignCenter, QColor(88, 94, 104));
  }

  ChannelLeds(p, channels);

  // The information display's glass.
  p.setPen(QPen(QColor(8, 9, 10), 2));
  p.setBrush(QColor(14, 15, 17));
  p.drawRoundedRect(QRectF(467, 41, 180, 117), 5, 5);
  QLinearGradient glass(0, 45, 0, 154);
  glass.setColorAt(0.0, kLcdGlass.lighter(108));
  glass.setColorAt(1.0, kLcdGlass.darker(106));
  p.setPen(Qt::NoPen);
  p.setBrush(glass);
  p.drawRoundedRect(QRectF(471, 45, 172, 109), 3, 3);

  // Protect LED and the temperature bar with its scale, on their right.
  const int scaleLeft = Z::kTemperatureLed.x + 16;
  Label(p, QRectF(scaleLeft, Z::kProtectLed.y - 4, 44, 12), QStringLiteral("PROTECT"), 8,
        Qt::AlignLeft | Qt::AlignVCenter);
  for (int k = 0; k < Z::kTemperatureLeds; ++k)
    Label(p, QRectF(scaleLeft, Z::kTemperatureLed.y - Z::kLedPitch * k - 3, 20, 11), QString::number(30 + 10 * k), 8,
          Qt::AlignLeft | Qt::AlignVCenter, kZelSoftInk, false);
  Label(p, QRectF(684, 95, 26, 14), QStringLiteral("\u00B0C"), 9, Qt::AlignLeft | Qt::AlignVCenter, kZelSoftInk);
  Label(p, QRectF(Z::kIdentifyButton.x + 21, Z::kIdentifyButton.y, 60, 14), QStringLiteral("IDENTIFY"), 8,
        Qt::AlignLeft | Qt::AlignVCenter);

  StatusArea(p, channels);
}

const ArtRegistrar kPanel56("zel_panel_zel1", [](QPainter& p, QSize s) { ZelBackground(p, s, "ZEL-1", 2); });
const ArtRegistrar kPanel51("zel_panel_zel2", [](QPainter& p, QSize s) { ZelBackground(p, s, "ZEL-2", 2); });
const ArtRegistrar kPanel52("zel_panel_zel3", [](QPainter& p, QSize s) { ZelBackground(p, s, "ZEL-3", 2); });
const ArtRegistrar kPanel53("zel_panel_zel4", [](QPainter& p, QSize s) { ZelBackground(p, s, "ZEL-4", 2); });
const ArtRegistrar kPanel54("zel_panel_zel5", [](QPainter& p, QSize s) { ZelBackground(p, s, "ZEL-5", 2); });
const ArtRegistrar kPanel55("zel_panel_zel6", [](QPainter& p, QSize s) { ZelBackground(p, s, "ZEL-6", 4); });

// Where a channel widget of channel A stands on its plate.
constexpr Z::Spot OnPlate(Z::Spot at) { return Z::Spot{at.x - Z::kPlate.x, at.y - Z::kPlate.y}; }
constexpr Z::Box OnPlate(const Z::Box& box) { return box.Moved(-Z::kPlate.x, -Z::kPlate.y); }

// A channel plate (71 x 96, at the channel's left edge and y 35): the channel letter, the
// limit label, the knob's scale, the gain readout's window and the mute and solo captions.
void Plate(QPainter& p, QSize s, char letter) {
  ShadedBox(p, s, QColor(74, 80, 90), QColor(46, 50, 57), QColor(14, 15, 18), 4);
  Label(p, QRectF(16, 1, 52, 20), QStringLiteral("CH ") + QChar(letter), 12, Qt::AlignCenter, kZelOrange);
  Label(p, QRectF(15, 22, 30, 9), QStringLiteral("LIMIT"), 7, Qt::AlignLeft | Qt::AlignVCenter, kZelInk);
  // Level column's well behind the LEDs.
  constexpr Z::Spot level = OnPlate(Z::kLevelLed);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(18, 19, 22));
  p.drawRoundedRect(QRectF(level.x - 1, level.y - 2, 15, 49), 2, 2);
  // Knob scale: a dark ring around the knob.
  constexpr Z::Box knob = OnPlate(Z::kKnob);
  p.setBrush(QColor(26, 28, 32));
  p.drawEllipse(QPointF(knob.left + knob.Width() / 2, knob.top + knob.Height() / 2), 17, 17);
  Label(p, QRectF(18, 56, 22, 9), QStringLiteral("-60"), 7, Qt::AlignLeft | Qt::AlignVCenter, kZelSoftInk, false);
  Label(p, QRectF(50, 56, 20, 9), QStringLiteral("0"), 7, Qt::AlignRight | Qt::AlignVCenter, kZelSoftInk, false);
  // The gain readout's window.
  constexpr Z::Box readout = OnPlate(Z::kGainText);
  p.setPen(QPen(QColor(8, 9, 10), 1));
  p.setBrush(QColor(16, 17, 20));
  p.drawRoundedRect(QRectF(readout.left - 0.5, readout.top - 0.5, readout.Width() + 1, readout.Height() + 1), 2, 2);
  Label(p, QRectF(6, 85, 36, 10), QStringLiteral("MUTE"), 7, Qt::AlignCenter, kZelInk);
  Label(p, QRectF(42, 85, 36, 10), QStringLiteral("SOLO"), 7, Qt::AlignCenter, kZelInk);
}

const ArtRegistrar kPlateA("zel_plate_a", [](QPainter& p, QSize s) { Plate(p, s, 'A'); });
const ArtRegistrar kPlateB("zel_plate_b", [](QPainter& p, QSize s) { Plate(p, s, 'B'); });
const ArtRegistrar kPlateC("zel_plate_c", [](QPainter& p, QSize s) { Plate(p, s, 'C'); });
const ArtRegistrar kPlateD("zel_plate_d", [](QPainter& p, QSize s) { Plate(p, s, 'D'); });

// The status strip: its lamp, its state and where a change goes.
void Strip(QPainter& p, QSize s, const QColor& lamp, const QString& state, const QColor& ink, const QString& changes) {
  ShadedBox(p, s, QColor(26, 28, 32), QColor(16, 17, 20), QColor(8, 9, 10), 4);
  QRadialGradient glow(QPointF(20, s.height() / 2.0), 8);
  glow.setColorAt(0.0, lamp.lighter(140));
  glow.setColorAt(1.0, lamp.darker(160));
  p.setPen(QPen(QColor(6, 7, 8), 1));
  p.setBrush(glow);
  p.drawEllipse(QPointF(20, s.height() / 2.0), 6, 6);
  Label(p, QRectF(34, 0, 200, s.height()), state, 12, Qt::AlignLeft | Qt::AlignVCenter, ink);
  Label(p, QRectF(s.width() - 330, 0, 318, s.height()), changes, 10, Qt::AlignRight | Qt::AlignVCenter, kZelSoftInk,
        false);
}

const ArtRegistrar kOnline("zel_strip_online", [](QPainter& p, QSize s) {
  Strip(p, s, QColor(70, 220, 90), QStringLiteral("ONLINE"), QColor(120, 230, 130),
        QStringLiteral("Controls are sent to the amplifier"));
});
const ArtRegistrar kOffline("zel_strip_offline", [](QPainter& p, QSize s) {
  Strip(p, s, QColor(120, 124, 130), QStringLiteral("OFFLINE"), kZelSoftInk,
        QStringLiteral("Changes are kept in the system file"));
});
// Online with the unit not answering: a change is refused until the unit is back.
const ArtRegistrar kAway("zel_strip_away", [](QPainter& p, QSize s) {
  Strip(p, s, QColor(230, 160, 40), QStringLiteral("NOT CONNECTED"), QColor(235, 175, 70),
        QStringLiteral("Cannot change settings - the unit is not connected"));
});

// The display switched off: dark glass, on which the display's black texts vanish.
const ArtRegistrar kStandby("zel_cover_standby", [](QPainter& p, QSize s) {
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, s.width(), s.height());
  g.setColorAt(0.0, QColor(16, 18, 16));
  g.setColorAt(0.45, QColor(8, 9, 8));
  g.setColorAt(1.0, QColor(4, 4, 4));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(0, 0, s.width(), s.height()), 3, 3);
  // A faint reflection across the upper left.
  QPainterPath sheen;
  sheen.moveTo(0, 0);
  sheen.lineTo(s.width() * 0.55, 0);
  sheen.lineTo(s.width() * 0.25, s.height());
  sheen.lineTo(0, s.height());
  sheen.closeSubpath();
  p.setBrush(QColor(255, 255, 255, 10));
  p.drawPath(sheen);
});

// The covers are drawn at half opacity over the controls they withhold.
void Cover(QPainter& p, QSize s) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(12, 13, 15));
  p.drawRoundedRect(QRectF(0, 0, s.width(), s.height()), 6, 6);
  p.setPen(QPen(QColor(60, 64, 72), 1));
  for (int x = -s.height(); x < s.width(); x += 8) p.drawLine(QPointF(x, s.height()), QPointF(x + s.height(), 0));
}

const ArtRegistrar kChannelCover("zel_cover_channels", [](QPainter& p, QSize s) { Cover(p, s); });
const ArtRegistrar kStatusCover("zel_cover_status", [](QPainter& p, QSize s) { Cover(p, s); });

const ArtRegistrar kButton("zel_button", [](QPainter& p, QSize s) {
  ShadedBox(p, s, QColor(150, 156, 166), QColor(82, 87, 96), QColor(16, 17, 20), 3);
  p.setPen(QPen(QColor(255, 255, 255, 70), 1));
  p.drawLine(QPointF(3, 1.5), QPointF(s.width() - 3, 1.5));
});

void Led(QPainter& p, QSize s, const QColor& colour) {
  ShadedBox(p, s, colour.lighter(150), colour, colour.darker(250), 1.5);
}

const ArtRegistrar kLedGreen("zel_led_green", [](QPainter& p, QSize s) { Led(p, s, QColor(40, 210, 70)); });
const ArtRegistrar kLedRed("zel_led_red", [](QPainter& p, QSize s) { Led(p, s, QColor(230, 40, 40)); });
const ArtRegistrar kLedAmber("zel_led_amber", [](QPainter& p, QSize s) { Led(p, s, QColor(240, 170, 30)); });
const ArtRegistrar kLedLevel("zel_led_level", [](QPainter& p, QSize s) { Led(p, s, QColor(90, 230, 60)); });

}  // namespace
