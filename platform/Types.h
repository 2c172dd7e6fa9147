// Small shared types of the platform layer: window-message words, geometry and colours.
#pragma once

#include <cstdint>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

// Messages of our own start at 0x8000, above every mouse and key message number
// (MouseMessages.h), so the two ranges never meet.
constexpr std::uint32_t WM_APP = 0x8000;

// Wait "forever" for the waits that take a millisecond time-out.
constexpr std::uint32_t INFINITE_WAIT = 0xFFFFFFFFu;

struct CPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const CPoint&, const CPoint&) = default;
};

struct CRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  friend bool operator==(const CRect&, const CRect&) = default;
};

struct CSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const CSize&, const CSize&) = default;
};

// A colour as one 32-bit ARGB word (alpha in the top byte).
struct CColour {
  std::uint32_t argb = 0xFF000000u;

  static constexpr CColour FromArgb(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return CColour{(std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b};
  }
  static constexpr CColour FromRgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return FromArgb(0xFF, r, g, b);
  }
  constexpr std::uint8_t A() const { return std::uint8_t(argb >> 24); }
  constexpr std::uint8_t R() const { return std::uint8_t(argb >> 16); }
  constexpr std::uint8_t G() const { return std::uint8_t(argb >> 8); }
  constexpr std::uint8_t B() const { return std::uint8_t(argb); }
  friend bool operator==(const CColour&, const CColour&) = default;
};
