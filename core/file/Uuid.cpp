// UUIDs from the boost random generator.
#include "core/file/Uuid.h"

#include <boost/uuid/uuid.hpp>
#include <boost/uuid/uuid_generators.hpp>
#include <cstdio>

#include "platform/Archive.h"

CUuid MakeUuid(bool nil) {
  CUuid out;
  if (nil) return out;
  // One generator per thread, seeded from the system's entropy once: a system call for every
  // draw is far dearer, and a file of many devices draws hundreds.
  thread_local boost::uuids::random_generator_mt19937 gen;
  boost::uuids::uuid u = gen();
  for (std::size_t i = 0; i < 16; ++i) out.bytes[i] = u.data[i];
  return out;
}

void AssignUuid(CUuid& target, const CUuid& source) {
  if (&target != &source) target.bytes = source.bytes;
}

void ArchiveUuid(CArchive& ar, CUuid& uuid) {
  if (ar.IsStoring())
    ar.WriteBytes(uuid.bytes.data(), uuid.bytes.size());
  else
    ar.ReadBytes(uuid.bytes.data(), uuid.bytes.size());
}

std::string CUuid::ToString() const {
  char buf[37];
  std::snprintf(buf, sizeof buf,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9],
                bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return buf;
}
