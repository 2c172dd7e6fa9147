// File dialog filters.
#include "widgets/FileFilters.h"

#include <QStringList>

QString ToQtNameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|', Qt::SkipEmptyParts);
  QStringList names;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString& text = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(';', ' ');
    names << (text.contains('(') ? text : text + QStringLiteral(" (") + patterns + ')');
  }
  return names.join(QStringLiteral(";;"));
}
