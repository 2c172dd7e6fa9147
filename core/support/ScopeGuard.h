// Guards for "for the length of this call": CScopeGuard runs a function when its scope ends
// (however it ends: a return, or an exception), CScopedValue sets a variable now and puts back
// what it held then.
#pragma once

#include <atomic>
#include <type_traits>
#include <utility>

// Runs undo when the scope ends, unless Dismiss was called. undo must not throw.
//   CScopeGuard restore([&] { SetNotice(before); });
template <class F>
class [[nodiscard]] CScopeGuard {
 public:
  explicit CScopeGuard(F undo) noexcept(std::is_nothrow_move_constructible_v<F>) : m_undo(std::move(undo)) {}
  ~CScopeGuard() {
    if (m_armed) m_undo();
  }
  CScopeGuard(const CScopeGuard&) = delete;
  CScopeGuard& operator=(const CScopeGuard&) = delete;

  // The scope's end leaves everything as it is then.
  void Dismiss() noexcept { m_armed = false; }

 private:
  F m_undo;
  bool m_armed = true;
};

// Sets target to value for the length of the scope; at its end target holds again what it held
// when the guard was made, whatever was stored in it meanwhile. Works for any assignable type,
// std::atomic included (its value is read once, at the start).
//   CScopedValue changing(m_pChanging, &control);
template <class T>
class [[nodiscard]] CScopedValue {
 public:
  template <class V>
  CScopedValue(T& target, V&& value) : m_target(target), m_saved(target) {
    m_target = std::forward<V>(value);
  }
  ~CScopedValue() { m_target = std::move(m_saved); }
  CScopedValue(const CScopedValue&) = delete;
  CScopedValue& operator=(const CScopedValue&) = delete;

  // What target held when the guard was made.
  const auto& Saved() const noexcept { return m_saved; }

 private:
  // An atomic is kept as the plain value it held.
  template <class U>
  struct Plain {
    using Type = U;
  };
  template <class U>
  struct Plain<std::atomic<U>> {
    using Type = U;
  };

  T& m_target;
  typename Plain<T>::Type m_saved;
};

template <class T, class V>
CScopedValue(T&, V&&) -> CScopedValue<T>;
