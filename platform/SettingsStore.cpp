// Settings store on QSettings.
#include "platform/SettingsStore.h"

#include <QSettings>
#include <QString>
#include <memory>
#include <mutex>

namespace {

std::mutex g_mutex;
std::string g_testFolder;

std::unique_ptr<QSettings> OpenStore() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_testFolder.empty()) {
    return std::make_unique<QSettings>(QString::fromStdString(g_testFolder + "/Orvak.ini"),
                                       QSettings::IniFormat);
  }
  return std::make_unique<QSettings>(QStringLiteral("ZYRQOL"), QStringLiteral("Orvak"));
}

QString KeyOf(const std::string& section, const std::string& key) {
  return QString::fromStdString(section + "/" + key);
}

// A string is stored as text; one that is not UTF-8 (a file name in another encoding) as its
// bytes, which text would not keep.
QVariant StoredString(const std::string& value) {
  const QString text = QString::fromStdString(value);
  if (text.toStdString() == value) return text;
  return QByteArray::fromStdString(value);
}

}  // namespace

std::uint32_t CSettingsStore::GetInt(const std::string& section, const std::string& key,
                                     std::uint32_t def) {
  auto store = OpenStore();
  QVariant v = store->value(KeyOf(section, key));
  if (!v.isValid()) return def;
  bool ok = false;
  // Stored as a signed or unsigned decimal; -1 means every bit set.
  qlonglong n = v.toString().toLongLong(&ok);
  if (!ok) return def;
  return std::uint32_t(n);
}

void CSettingsStore::WriteInt(const std::string& section, const std::string& key, std::uint32_t value) {
  auto store = OpenStore();
  store->setValue(KeyOf(section, key), QString::number(value));
  store->sync();
}

std::string CSettingsStore::GetString(const std::string& section, const std::string& key,
                                      const std::string& def) {
  auto store = OpenStore();
  QVariant v = store->value(KeyOf(section, key));
  if (!v.isValid()) return def;
  if (v.typeId() == QMetaType::QByteArray) return v.toByteArray().toStdString();
  return v.toString().toStdString();
}

void CSettingsStore::WriteString(const std::string& section, const std::string& key,
                                 const std::string& value) {
  auto store = OpenStore();
  store->setValue(KeyOf(section, key), StoredString(value));
  store->sync();
}

bool CSettingsStore::Contains(const std::string& section, const std::string& key) {
  return OpenStore()->contains(KeyOf(section, key));
}

void CSettingsStore::Remove(const std::string& section, const std::string& key) {
  auto store = OpenStore();
  store->remove(KeyOf(section, key));
  store->sync();
}

void CSettingsStore::UseFolderForTests(const std::string& folder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_testFolder = folder;
}
