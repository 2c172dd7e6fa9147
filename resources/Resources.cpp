// Lookup of the embedded images; each is unpacked on first use and kept.
#include "resources/Resources.h"

#include <QByteArray>
#include <cstring>
#include <map>
#include <mutex>

#include "resources/EmbeddedArtwork.h"

namespace {
std::mutex g_mutex;
// Unpacked images by kind and number; entries are never changed once made.
std::map<std::pair<std::string, std::uint32_t>, std::vector<std::uint8_t>> g_unpacked;
}  // namespace

std::span<const std::uint8_t> FindResourceBytes(std::string_view kind, std::uint32_t id) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const auto key = std::make_pair(std::string(kind), id);
  if (auto it = g_unpacked.find(key); it != g_unpacked.end()) return it->second;
  for (std::size_t i = 0; i < g_embeddedArtworkCount; ++i) {
    const CEmbeddedArtwork& art = g_embeddedArtwork[i];
    if (art.id != id || kind != art.kind) continue;
    const QByteArray bytes = qUncompress(art.compressed, qsizetype(art.compressedSize));
    if (bytes.isEmpty()) return {};
    std::vector<std::uint8_t> data(std::size_t(bytes.size()));
    std::memcpy(data.data(), bytes.constData(), data.size());
    return g_unpacked.emplace(key, std::move(data)).first->second;
  }
  return {};
}

std::vector<CResourceImageInfo> ListResourceImages() {
  std::vector<CResourceImageInfo> list;
  for (std::size_t i = 0; i < g_embeddedArtworkCount; ++i) {
    const CEmbeddedArtwork& art = g_embeddedArtwork[i];
    list.push_back({art.kind, art.id, art.name, art.width, art.height});
  }
  return list;
}
