// Byte streams for clipboard blocks, snapshot data and object copies. Every record starts
// with a u32 version; a reader that meets another version reads nothing more of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>

#include "core/file/Uuid.h"
#include "platform/Types.h"

// Thrown by the primitives when the stream fails; records catch it and stop.
class CStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CDataStream {
 public:
  enum : std::uint32_t { kStore = 0, kLoad = 1 };

  CDataStream() = default;
  explicit CDataStream(std::ostream& out) : mode(kStore), output(&out) {}
  explicit CDataStream(std::istream& in) : mode(kLoad), input(&in) {}

  std::uint32_t mode = 0xFFFFFFFFu;  // neither: every operation does nothing
  std::istream* input = nullptr;
  std::ostream* output = nullptr;

  bool IsStoring() const { return mode == kStore && output; }
  bool IsLoading() const { return mode == kLoad && input; }

  // Primitives: store or load by mode; throw CStreamError when the stream fails.
  void Bytes(void* data, std::size_t n);
  void U8(std::uint8_t& v);
  void U32(std::uint32_t& v);
  void I32(std::int32_t& v);
  void Float(float& v);
  void Bool(bool& v);  // 4 bytes
  // Writes the version, or reads one and tells whether it is the expected one.
  bool Version(std::uint32_t expected);
};

// Placement of a window: flags, show command, two positions and the normal rectangle.
struct CWindowPlacement {
  std::uint32_t flags = 0;
  std::uint32_t showCmd = 0;
  CPoint minPosition;
  CPoint maxPosition;
  CRect normalPosition;
  friend bool operator==(const CWindowPlacement&, const CWindowPlacement&) = default;
};

// Each stores or loads one record by the stream's mode; a stream error stops it silently.
void StreamUuid(CDataStream& ds, CUuid& uuid);
void StreamPoint(CDataStream& ds, CPoint& point);
void StreamRect(CDataStream& ds, CRect& rect);
void StreamWindowPlacement(CDataStream& ds, CWindowPlacement& placement);
void StreamString(CDataStream& ds, std::string& text);
void StreamColour(CDataStream& ds, CColour& colour);
