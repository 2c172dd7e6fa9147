// Clipboard on QClipboard with a MIME type per registered format.
#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <map>
#include <mutex>

namespace {

std::mutex g_mutex;
std::map<std::string, std::uint32_t> g_byName;
std::map<std::uint32_t, std::string> g_byNumber;
// In-process clipboard when there is no QGuiApplication.
std::map<std::uint32_t, std::vector<std::uint8_t>> g_local;

QString MimeOf(std::uint32_t format) {
  std::string name;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_byNumber.find(format);
    if (it == g_byNumber.end()) return {};
    name = it->second;
  }
  return QStringLiteral("application/x-zyrqol-orvak-") + QString::fromStdString(name);
}

QClipboard* SystemClipboard() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                       : nullptr;
}

}  // namespace

std::uint32_t RegisterClipboardFormat(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_byName.find(name);
  if (it != g_byName.end()) return it->second;
  std::uint32_t n = 0xC000u + std::uint32_t(g_byName.size());
  g_byName[name] = n;
  g_byNumber[n] = name;
  return n;
}

std::string GetClipboardFormatName(std::uint32_t format) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_byNumber.find(format);
  return it == g_byNumber.end() ? std::string() : it->second;
}

bool SetClipboardData(std::uint32_t format, const std::vector<std::uint8_t>& bytes) {
  QString mime = MimeOf(format);
  if (mime.isEmpty()) return false;
  if (QClipboard* cb = SystemClipboard()) {
    auto* data = new QMimeData;
    data->setData(mime, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    cb->setMimeData(data);
    return true;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  g_local.clear();
  g_local[format] = bytes;
  return true;
}

bool GetClipboardData(std::uint32_t format, std::vector<std::uint8_t>& bytes) {
  QString mime = MimeOf(format);
  if (mime.isEmpty()) return false;
  if (QClipboard* cb = SystemClipboard()) {
    const QMimeData* data = cb->mimeData();
    if (!data || !data->hasFormat(mime)) return false;
    QByteArray raw = data->data(mime);
    bytes.assign(raw.begin(), raw.end());
    return true;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_local.find(format);
  if (it == g_local.end()) return false;
  bytes = it->second;
  return true;
}

bool IsClipboardFormatAvailable(std::uint32_t format) {
  QString mime = MimeOf(format);
  if (mime.isEmpty()) return false;
  if (QClipboard* cb = SystemClipboard()) {
    const QMimeData* data = cb->mimeData();
    return data && data->hasFormat(mime);
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_local.count(format) != 0;
}

bool ClipboardHoldsRegisteredFormat() {
  std::vector<std::uint32_t> formats;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const auto& [n, name] : g_byNumber) formats.push_back(n);
  }
  for (auto f : formats)
    if (IsClipboardFormatAvailable(f)) return true;
  return false;
}

void EmptyClipboard() {
  if (QClipboard* cb = SystemClipboard()) {
    cb->clear();
    return;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  g_local.clear();
}
