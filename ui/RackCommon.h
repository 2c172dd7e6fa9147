// What the device rack and the live meters share: the tooltip of a device and the editor font.
#pragma once

#include <QFont>
#include <QString>

class CDevice;

// A device's tooltip: the title (the name without trailing blanks, at most 79 characters) and
// the status text, after the words naming the unit of another model that answers at the
// device's ID, if any. Without a status text there is no tooltip. A device without a name has the
// title "ID : <id>" when idWhenNameEmpty is set, else an empty title.
struct CDeviceTip {
  QString title;
  QString description;
};
CDeviceTip MakeDeviceTip(CDevice& device, bool idWhenNameEmpty);
// The tip as the tooltip shows it (title in bold over the status lines); empty for no tooltip.
QString DeviceToolTip(CDevice& device, bool idWhenNameEmpty);

// "DejaVu Sans Condensed", 9 points: the zone-name editor of the rack.
QFont RackEditorFont();
