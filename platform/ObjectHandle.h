// Handles that name objects in posted messages instead of their addresses.
#pragma once

#include <cstdint>

// The handle by which posted messages name an object (a device, a zone, a custom panel's view, a
// widget): never 0 and never reused while the program runs, so a message that arrives after its
// object has gone finds nothing, even when a new object took the old one's address. A copy of
// an object gets a handle of its own. Any thread.
class CObjectHandle {
 public:
  CObjectHandle() : m_value(Next()) {}
  CObjectHandle(const CObjectHandle&) : m_value(Next()) {}
  CObjectHandle& operator=(const CObjectHandle&) { return *this; }
  std::uint64_t Value() const { return m_value; }

 private:
  static std::uint64_t Next();
  std::uint64_t m_value;
};
