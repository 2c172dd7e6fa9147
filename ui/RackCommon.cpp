// Tooltips and fonts shared by the device rack and the live meters.
#include "ui/RackCommon.h"

#include <QStringList>

#include "core/model/Device.h"

namespace {
constexpr int kMaxTitle = 79;
}

CDeviceTip MakeDeviceTip(CDevice& device, bool idWhenNameEmpty) {
  CDeviceTip tip;
  // A unit of another model at the device's ID heads the status lines, then what is known of the
  // unit on the line (another unit answering with it, its answers coming late).
  const std::string otherModel = device.UnitAtId().GetOtherModelNote();
  const std::string lineNotes = device.UnitAtId().GetLineNotes();
  tip.description = QString::fromStdString((otherModel.empty() ? "" : "\n" + otherModel) +
                                           (lineNotes.empty() ? "" : "\n" + lineNotes) + device.GetStatusText());
  if (tip.description.isEmpty()) return tip;
  QString title = QString::fromStdString(device.GetName());
  while (!title.isEmpty() && title.back().isSpace()) title.chop(1);
  if (title.isEmpty() && idWhenNameEmpty) {
    title = QStringLiteral("ID : %1").arg(device.GetDeviceId());
    // A unit whose lines give its ID already (an amplifier module without a name) is not told
    // it twice: the title says it, the lines give the rest.
    QStringList lines = tip.description.split(QLatin1Char('\n'));
    lines.removeAll(title);
    tip.description = lines.join(QLatin1Char('\n'));
  }
  tip.title = title.left(kMaxTitle);
  return tip;
}

QString DeviceToolTip(CDevice& device, bool idWhenNameEmpty) {
  const CDeviceTip tip = MakeDeviceTip(device, idWhenNameEmpty);
  if (tip.description.isEmpty()) return QString();
  QString body = tip.description.trimmed().toHtmlEscaped();
  body.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
  if (tip.title.isEmpty()) return QStringLiteral("<qt>%1</qt>").arg(body);
  return QStringLiteral("<qt><b>%1</b><br>%2</qt>").arg(tip.title.toHtmlEscaped(), body);
}

QFont RackEditorFont() {
  QFont font(QStringLiteral("DejaVu Sans Condensed"));
  font.setPointSize(9);
  return font;
}
