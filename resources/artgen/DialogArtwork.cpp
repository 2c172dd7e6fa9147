// Drawings of the dialogs' button images: the User Levels page's Add and Delete buttons.
#include <QLinearGradient>
#include <QPainterPath>

#include "resources/artgen/ArtKit.h"

using namespace art;

namespace {

// A user's head and shoulders in the upper left of a 16 x 16 cell, leaving the bottom-right
// quarter to a badge.
void UserFigure(QPainter& p) {
  QLinearGradient shade(0, 1, 0, 15);
  shade.setColorAt(0.0, kBlue.lighter(140));
  shade.setColorAt(1.0, kBlue.darker(110));
  p.setPen(Pen(kBlue.darker(170)));
  p.setBrush(shade);
  QPainterPath body;
  body.moveTo(1.5, 14.5);
  body.lineTo(1.5, 12.5);
  body.cubicTo(1.5, 9.5, 3.5, 8.5, 6.5, 8.5);
  body.cubicTo(9.5, 8.5, 11.5, 9.5, 11.5, 12.5);
  body.lineTo(11.5, 14.5);
  body.closeSubpath();
  p.drawPath(body);
  p.drawEllipse(QRectF(3.5, 1.5, 6, 6));
}

const ArtRegistrar kUserAdd("user_add_button", [](QPainter& p, QSize) {
  UserFigure(p);
  PlusBadge(p);
});

// A red badge with a white bar: at this size a bar reads better than a cross.
const ArtRegistrar kUserDelete("user_delete_button", [](QPainter& p, QSize) {
  UserFigure(p);
  p.setPen(Pen(Qt::white, 1.0));
  p.setBrush(kRed);
  p.drawEllipse(QRectF(7.5, 7.5, 9, 9));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(9, 11, 6, 2));
});

}  // namespace
