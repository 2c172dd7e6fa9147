// Data stream primitives and the shared small records.
#include "core/file/DataStream.h"

#include <cstring>

void CDataStream::Bytes(void* data, std::size_t n) {
  if (IsStoring()) {
    output->write(static_cast<const char*>(data), std::streamsize(n));
    if (!*output) throw CStreamError("stream write failed");
  } else if (IsLoading()) {
    input->read(static_cast<char*>(data), std::streamsize(n));
    if (!*input || std::size_t(input->gcount()) != n) throw CStreamError("stream read failed");
  }
}

void CDataStream::U8(std::uint8_t& v) { Bytes(&v, 1); }

void CDataStream::U32(std::uint32_t& v) {
  std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
  Bytes(b, 4);
  if (IsLoading())
    v = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
        (std::uint32_t(b[3]) << 24);
}

void CDataStream::I32(std::int32_t& v) {
  std::uint32_t u = std::uint32_t(v);
  U32(u);
  v = std::int32_t(u);
}

void CDataStream::Float(float& v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  U32(bits);
  std::memcpy(&v, &bits, 4);
}

void CDataStream::Bool(bool& v) {
  std::uint32_t u = v ? 1 : 0;
  U32(u);
  v = u != 0;
}

bool CDataStream::Version(std::uint32_t expected) {
  std::uint32_t v = expected;
  U32(v);
  return v == expected;
}

namespace {
// Runs one record body, swallowing stream errors; nothing happens in a mode-less stream.
template <class F>
void Record(CDataStream& ds, F&& body) {
  if (!ds.IsStoring() && !ds.IsLoading()) return;
  try {
    if (!ds.Version(1)) return;
    body();
  } catch (const CStreamError&) {
  }
}
}  // namespace

void StreamUuid(CDataStream& ds, CUuid& uuid) {
  Record(ds, [&] { ds.Bytes(uuid.bytes.data(), uuid.bytes.size()); });
}

void StreamPoint(CDataStream& ds, CPoint& point) {
  Record(ds, [&] {
    ds.I32(point.x);
    ds.I32(point.y);
  });
}

void StreamRect(CDataStream& ds, CRect& rect) {
  Record(ds, [&] {
    ds.I32(rect.left);
    ds.I32(rect.right);
    ds.I32(rect.top);
    ds.I32(rect.bottom);
  });
}

void StreamWindowPlacement(CDataStream& ds, CWindowPlacement& placement) {
  Record(ds, [&] {
    ds.U32(placement.flags);
    ds.U32(placement.showCmd);
    StreamPoint(ds, placement.minPosition);
    StreamPoint(ds, placement.maxPosition);
    StreamRect(ds, placement.normalPosition);
  });
}

void StreamString(CDataStream& ds, std::string& text) {
  Record(ds, [&] {
    std::uint32_t n = std::uint32_t(text.size());
    ds.U32(n);
    if (ds.IsStoring()) {
      if (n) ds.Bytes(text.data(), n);
      return;
    }
    text.clear();
    for (std::uint32_t i = 0; i < n; ++i) {
      std::uint8_t c = 0;
      ds.U8(c);
      text.push_back(char(c));
    }
  });
}

void StreamColour(CDataStream& ds, CColour& colour) {
  Record(ds, [&] {
    // Alpha, red, green, blue.
    std::uint8_t b[4] = {colour.A(), colour.R(), colour.G(), colour.B()};
    for (auto& x : b) ds.U8(x);
    if (ds.IsLoading()) colour = CColour::FromArgb(b[0], b[1], b[2], b[3]);
  });
}
