// Version text from the version block.
#include "app/AppVersion.h"

#include "core/VersionTable.h"

QString GetAppVersionText() { return QString::fromStdString(GetVersionText()); }
