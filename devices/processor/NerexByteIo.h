// Little-endian byte cursors used by the record and block codecs of the processor family. A
// writer and a reader answer the same field calls (U8(field), Pad(n), Chars(text), ...), so a
// layout written once as a list of fields stores with the one and loads with the other.
// Callers check lengths first; a cursor that would run past its end throws std::out_of_range
// rather than touch memory it does not own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

// Writes into a span of fixed size.
class CSpanWriter {
 public:
  explicit CSpanWriter(std::span<std::uint8_t> out) : m_out(out) {}

  void U8(std::uint8_t v) { Need(1)[0] = v; }
  void I8(std::int8_t v) { U8(std::uint8_t(v)); }
  void U16(std::uint16_t v) {
    auto p = Need(2);
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
  }
  void I16(std::int16_t v) { U16(std::uint16_t(v)); }
  void U32(std::uint32_t v) {
    auto p = Need(4);
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
  }
  void Pad(std::size_t n) {
    for (auto& b : Need(n)) b = 0;
  }
  template <std::size_t N>
  void Chars(const std::array<char, N>& text) {
    auto p = Need(N);
    for (std::size_t i = 0; i < N; ++i) p[i] = std::uint8_t(text[i]);
  }
  // The next N bytes, for a nested record.
  template <std::size_t N>
  std::span<std::uint8_t, N> Take() {
    return std::span<std::uint8_t, N>(Need(N).data(), N);
  }
  std::size_t Position() const { return m_pos; }

 private:
  std::span<std::uint8_t> Need(std::size_t n) {
    if (n > m_out.size() - m_pos) throw std::out_of_range("record writer past its end");
    auto p = m_out.subspan(m_pos, n);
    m_pos += n;
    return p;
  }

  std::span<std::uint8_t> m_out;
  std::size_t m_pos = 0;
};

// Reads from a span.
class CSpanReader {
 public:
  explicit CSpanReader(std::span<const std::uint8_t> in) : m_in(in) {}

  std::uint8_t U8() { return Need(1)[0]; }
  std::int8_t I8() { return std::int8_t(U8()); }
  std::uint16_t U16() {
    auto p = Need(2);
    return std::uint16_t(p[0] | (p[1] << 8));
  }
  std::int16_t I16() { return std::int16_t(U16()); }
  std::uint32_t U24() {
    auto p = Need(3);
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
  }
  std::uint32_t U32() {
    auto p = Need(4);
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(p[i]) << (8 * i);
    return v;
  }
  void Skip(std::size_t n) { Need(n); }
  // Field-style reads into v, so that one list of fields drives a writer or this reader.
  template <class T>
  void U8(T& v) { v = U8(); }
  template <class T>
  void I8(T& v) { v = I8(); }
  template <class T>
  void U16(T& v) { v = U16(); }
  template <class T>
  void I16(T& v) { v = I16(); }
  template <class T>
  void U32(T& v) { v = U32(); }
  void Pad(std::size_t n) { Skip(n); }
  template <std::size_t N>
  void Chars(std::array<char, N>& text) {
    auto p = Need(N);
    for (std::size_t i = 0; i < N; ++i) text[i] = char(p[i]);
  }
  template <std::size_t N>
  std::span<const std::uint8_t, N> Take() {
    return std::span<const std::uint8_t, N>(Need(N).data(), N);
  }
  std::size_t Position() const { return m_pos; }
  std::size_t Remaining() const { return m_in.size() - m_pos; }

 private:
  std::span<const std::uint8_t> Need(std::size_t n) {
    if (n > m_in.size() - m_pos) throw std::out_of_range("record reader past its end");
    auto p = m_in.subspan(m_pos, n);
    m_pos += n;
    return p;
  }

  std::span<const std::uint8_t> m_in;
  std::size_t m_pos = 0;
};

// Appends to a growing buffer.
class CByteAppender {
 public:
  explicit CByteAppender(std::vector<std::uint8_t>& out) : m_out(out) {}

  void U8(std::uint8_t v) { m_out.push_back(v); }
  void I8(std::int8_t v) { U8(std::uint8_t(v)); }
  void U16(std::uint16_t v) {
    U8(std::uint8_t(v));
    U8(std::uint8_t(v >> 8));
  }
  void I16(std::int16_t v) { U16(std::uint16_t(v)); }
  // The low 24 bits.
  void U24(std::uint32_t v) {
    U8(std::uint8_t(v));
    U8(std::uint8_t(v >> 8));
    U8(std::uint8_t(v >> 16));
  }
  template <std::size_t N>
  void Chars(const std::array<char, N>& text) {
    for (char c : text) U8(std::uint8_t(c));
  }

 private:
  std::vector<std::uint8_t>& m_out;
};
