// The embedded images as the artwork generator writes them out (internal to orvak_resources).
#pragma once

#include <cstddef>
#include <cstdint>

struct CEmbeddedArtwork {
  const char* kind;
  std::uint32_t id;
  const char* name;
  int width;
  int height;
  const unsigned char* compressed;  // qCompress form: 4-byte big-endian size, then zlib data
  std::size_t compressedSize;
};

extern const CEmbeddedArtwork g_embeddedArtwork[];
extern const std::size_t g_embeddedArtworkCount;
