// A uuid whose 16 bytes all hold one value: easy to spot in the bytes of a record.
#pragma once

#include <cstdint>

#include "core/file/Uuid.h"

inline CUuid UuidOf(std::uint8_t fill) {
  CUuid u;
  u.bytes.fill(fill);
  return u;
}
