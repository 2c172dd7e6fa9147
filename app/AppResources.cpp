// Shell texts and images by number.
#include "app/AppResources.h"

QString AppString(int id) {
  switch (id) {
    case kStrProductName: return QStringLiteral("Orvak");
    case kStrCompanyKey: return QStringLiteral("ZYRQOL");
    case kStrProperties: return QStringLiteral("Properties");
    case kStrDeviceView: return QStringLiteral("Device View");
    case kStrOutput: return QStringLiteral("Output");
    default: return QString();
  }
}

QImage LoadAppImage(int id) {
  (void)id;
  return QImage();
}

QImage LoadToolbarImage(std::uint32_t commandId) {
  (void)commandId;
  return QImage();
}
