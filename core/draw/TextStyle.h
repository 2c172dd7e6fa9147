// The style of drawn text (colour, face, bold and italic flags, size, weight) with the font
// made from it, and the conversions to and from the font records stored in system files.
// UI thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Graphics.h"
#include "platform/Types.h"

class CDataStream;

// The screen's vertical pixels per inch, read once at start-up; 96 until set.
int GetScreenPixelsPerInch();
void SetScreenPixelsPerInch(int pixelsPerInch);

enum : std::uint32_t {
  kTextStyleBold = 0x1,
  kTextStyleItalic = 0x2,
};

// A font record as system files store it: height in pixels (negative: the em height,
// positive: the cell height), weight 100 to 900, flags as 0 or 1, and the face (at most 31
// characters).
struct CLogFont {
  std::int32_t height = 0;
  std::int32_t width = 0;
  std::int32_t escapement = 0;
  std::int32_t orientation = 0;
  std::int32_t weight = 0;
  std::uint8_t italic = 0;
  std::uint8_t underline = 0;
  std::uint8_t strikeOut = 0;
  std::uint8_t charSet = 0;
  std::uint8_t outPrecision = 0;
  std::uint8_t clipPrecision = 0;
  std::uint8_t quality = 0;
  std::uint8_t pitchAndFamily = 0;
  std::u16string faceName;
  friend bool operator==(const CLogFont&, const CLogFont&) = default;
};
constexpr std::size_t kLogFontFaceMax = 31;
constexpr std::uint8_t kClearTypeQuality = 5;

// A font of the face at a size in points (bold and italic from kTextStyle flags); when the face
// is not installed, of the generic sans-serif family. No font when the size is not positive.
std::optional<CFont> CreateGdiplusFont(const std::string& face, float emSizePoints, std::uint32_t styleFlags);

// Keeps the graphics' text hint at ClearType grid fit for a scope, as tiles draw their texts.
class CTextHintScope {
 public:
  explicit CTextHintScope(Graphics& g) : m_g(g), m_saved(g.GetTextRenderingHint()) {
    g.SetTextRenderingHint(TextRenderingHint::ClearTypeGridFit);
  }
  ~CTextHintScope() { m_g.SetTextRenderingHint(m_saved); }
  CTextHintScope(const CTextHintScope&) = delete;
  CTextHintScope& operator=(const CTextHintScope&) = delete;

 private:
  Graphics& m_g;
  TextRenderingHint m_saved;
};

class CTextStyle {
 public:
  CColour colour = CColour::FromArgb(255, 0, 0, 0);  // opaque black
  std::string face = "Arial";                         // UTF-8
  std::uint32_t styleFlags = 0;                       // kTextStyleBold, kTextStyleItalic
  std::int32_t size = 1000;                           // hundredths of a point
  std::int32_t weight = 400;

  // Default style; its font is made at once.
  CTextStyle();
  CTextStyle(const CTextStyle& other);
  CTextStyle& operator=(const CTextStyle& other);
  ~CTextStyle() = default;

  // True when colour, face, style flags or size differ (the weight is not compared).
  bool operator!=(const CTextStyle& other) const;
  bool operator==(const CTextStyle& other) const { return !(*this != other); }

  void CopyColour(CColour source) { colour = source; }
  // Face and colour, size = points x 100 truncated, flags 0, weight 400; the font is remade.
  void Set(const std::string& newFace, float points, CColour newColour);
  // Takes face, flags, weight and size from a stored font record; the font is remade.
  void FromLogFont(const CLogFont& lf);
  void ToLogFont(CLogFont& lf) const;

  // Remakes the font from the fields and returns it (null when none can be made).
  const CFont* GetFont();
  // The font made last (null when none).
  const CFont* Font() const { return m_font ? &*m_font : nullptr; }

  // u32 version 1, face, u32 flags, i32 size, i32 weight, colour. A record of another version,
  // or one cut short, changes nothing.
  void SerializeStream(CDataStream& ds);

 private:
  std::optional<CFont> MakeFont() const;

  std::optional<CFont> m_font;
};
