// Handles that name objects in posted messages instead of their addresses, and the watch that
// hears of the objects that end.
#pragma once

#include <cstdint>
#include <functional>

// The handle by which posted messages name an object (a device, a zone, a custom panel's view, a
// widget, an image): never 0 and never reused while the program runs, so a message that arrives
// after its object has gone finds nothing, even when a new object took the old one's address. A
// copy of an object gets a handle of its own. Any thread.
//
// The handle's end is its object's end: the watches of the thread that destroys the object
// hear of it (CObjectEndWatch).
class CObjectHandle {
 public:
  CObjectHandle() : m_value(Next()) {}
  CObjectHandle(const CObjectHandle&) : m_value(Next()) {}
  CObjectHandle& operator=(const CObjectHandle&) { return *this; }
  ~CObjectHandle();
  std::uint64_t Value() const { return m_value; }

 private:
  static std::uint64_t Next();
  std::uint64_t m_value;
};

// While it exists, hears of every object with a handle that ends on the thread that made the
// watch: a window that keeps an object's address lets go of it here, in one place, whichever
// command deleted the object. onEnd is called with the handle's value while the object is being
// destroyed: parts of it are gone already, so the value is compared and the object never
// reached. A watch may be made or ended while others hear of an end; it ends on the thread
// that made it.
class CObjectEndWatch {
 public:
  explicit CObjectEndWatch(std::function<void(std::uint64_t handle)> onEnd);
  ~CObjectEndWatch();
  CObjectEndWatch(const CObjectEndWatch&) = delete;
  CObjectEndWatch& operator=(const CObjectEndWatch&) = delete;

 private:
  friend class CObjectHandle;
  std::function<void(std::uint64_t)> m_onEnd;
};
