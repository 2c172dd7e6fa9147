// Version text from the version block.
#include "app/AppVersion.h"

#include "core/file/VersionTable.h"

QString GetAppVersionText() { return QString::fromStdString(GetVersionText()); }
