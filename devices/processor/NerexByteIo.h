// Little-endian byte cursors used by the record and block codecs of the processor family. A
// writer and a reader answer the same field calls (U8(field), Pad(n), Chars(text), ...), so a
// layout written once as a list of fields stores with the one and loads with the other.
// Callers check lengths first; a cursor that would run past its end throws std::out_of_range
// rather than touch memory it does not own. CSizedSpanReader leaves that check to its caller,
// who has checked that the span holds the whole layout it reads.
#pragma once

#include <array>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <vector>

// Writes into a span of fixed size. The cursor is a plain pointer, as in CSpanReader. With
// kChecked each write is checked against the end; without, only in debug builds.
template <bool kChecked>
class CSpanWriterOf {
 public:
  explicit CSpanWriterOf(std::span<std::uint8_t> out)
      : m_begin(out.data()), m_p(out.data()), m_end(out.data() + out.size()) {}

  void U8(std::uint8_t v) { *Need(1) = v; }
  void I8(std::int8_t v) { U8(std::uint8_t(v)); }
  void U16(std::uint16_t v) { Store(Need(2), v); }
  void I16(std::int16_t v) { U16(std::uint16_t(v)); }
  void U32(std::uint32_t v) { Store(Need(4), v); }
  void Pad(std::size_t n) { std::memset(Need(n), 0, n); }
  template <std::size_t N>
  void Chars(const std::array<char, N>& text) {
    std::memcpy(Need(N), text.data(), N);
  }
  // The next N bytes, for a nested record.
  template <std::size_t N>
  std::span<std::uint8_t, N> Take() {
    return std::span<std::uint8_t, N>(Need(N), N);
  }
  std::size_t Position() const { return std::size_t(m_p - m_begin); }

 private:
  // v little-endian at p: one plain store on a little-endian machine.
  template <class T>
  static void Store(std::uint8_t* p, T v) {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(p, &v, sizeof v);
    } else {
      for (std::size_t i = 0; i < sizeof v; ++i) p[i] = std::uint8_t(v >> (8 * i));
    }
  }
  std::uint8_t* Need(std::size_t n) {
    if constexpr (kChecked) {
      if (n > std::size_t(m_end - m_p)) throw std::out_of_range("record writer past its end");
    } else {
      assert(n <= std::size_t(m_end - m_p));
    }
    std::uint8_t* p = m_p;
    m_p += n;
    return p;
  }

  std::uint8_t* m_begin;
  std::uint8_t* m_p;
  std::uint8_t* m_end;
};

class CSpanWriter : public CSpanWriterOf<true> {
 public:
  using CSpanWriterOf<true>::CSpanWriterOf;
};

// For a span of the exact size of the layout written (room an archive has handed over for a
// record's fixed-size part): a file holds thousands of them.
class CSizedSpanWriter : public CSpanWriterOf<false> {
 public:
  using CSpanWriterOf<false>::CSpanWriterOf;
};

// Reads from a span. The cursor is a plain pointer: records of thousands of fields are read
// through it, and a reader that indexes a span on every field costs several times more. With
// kChecked each read is checked against the end; without, only in debug builds.
template <bool kChecked>
class CSpanReaderOf {
 public:
  explicit CSpanReaderOf(std::span<const std::uint8_t> in)
      : m_begin(in.data()), m_p(in.data()), m_end(in.data() + in.size()) {}

  std::uint8_t U8() { return *Need(1); }
  std::int8_t I8() { return std::int8_t(U8()); }
  std::uint16_t U16() {
    const std::uint8_t* p = Need(2);
    return std::uint16_t(p[0] | (p[1] << 8));
  }
  std::int16_t I16() { return std::int16_t(U16()); }
  std::uint32_t U24() {
    const std::uint8_t* p = Need(3);
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
  }
  std::uint32_t U32() {
    const std::uint8_t* p = Need(4);
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
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
    const std::uint8_t* p = Need(N);
    for (std::size_t i = 0; i < N; ++i) text[i] = char(p[i]);
  }
  template <std::size_t N>
  std::span<const std::uint8_t, N> Take() {
    return std::span<const std::uint8_t, N>(Need(N), N);
  }
  std::size_t Position() const { return std::size_t(m_p - m_begin); }
  std::size_t Remaining() const { return std::size_t(m_end - m_p); }

 private:
  const std::uint8_t* Need(std::size_t n) {
    if constexpr (kChecked) {
      if (n > std::size_t(m_end - m_p)) throw std::out_of_range("record reader past its end");
    } else {
      assert(n <= std::size_t(m_end - m_p));
    }
    const std::uint8_t* p = m_p;
    m_p += n;
    return p;
  }

  const std::uint8_t* m_begin;
  const std::uint8_t* m_p;
  const std::uint8_t* m_end;
};

class CSpanReader : public CSpanReaderOf<true> {
 public:
  using CSpanReaderOf<true>::CSpanReaderOf;
};

// For a span checked to hold the whole layout read (a record's fixed-size part): a file holds
// thousands of them, and the check per field costs as much as the field.
class CSizedSpanReader : public CSpanReaderOf<false> {
 public:
  using CSpanReaderOf<false>::CSpanReaderOf;
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
