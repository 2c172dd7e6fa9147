// Version text from the build's version numbers.
#include "app/AppVersion.h"

QString GetVersionText() {
  return QString::asprintf("Version %u.%u.%u Build %u", unsigned(ORVAK_VERSION_MAJOR),
                           unsigned(ORVAK_VERSION_MINOR), unsigned(ORVAK_VERSION_PATCH), 0u);
}
