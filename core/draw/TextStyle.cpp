// Text styles and their fonts. Sizes are hundredths of a point; fonts carry their em height
// in pixels at a fixed 96 per inch, so that text keeps its size against the skins and panels,
// which are drawn in pixels, whatever the screen's own resolution.
#include "core/draw/TextStyle.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdlib>

#include "core/file/DataStream.h"
#include "core/file/TextConversion.h"
#include "core/values/ValueCodes.h"

namespace {
std::atomic<int> g_pixelsPerInch{96};
constexpr std::int32_t kDefaultSize = 1000;
// The density of the pixel heights in font records.
constexpr double kFontPixelsPerInch = 96.0;
// The largest whole point size whose hundredths fit in the 32-bit size.
constexpr int kMaxPoints = INT32_MAX / 100;
}  // namespace

int GetScreenPixelsPerInch() { return g_pixelsPerInch.load(); }

void SetScreenPixelsPerInch(int pixelsPerInch) {
  if (pixelsPerInch > 0) g_pixelsPerInch.store(pixelsPerInch);
}

std::optional<CFont> CreateGdiplusFont(const std::string& face, float emSizePoints, std::uint32_t styleFlags) {
  if (!(emSizePoints > 0.0f)) return std::nullopt;
  CFont font;
  font.face = ResolveFontFace(face).empty() ? GenericSansSerifFace() : face;
  font.emPixels = emSizePoints * float(GetScreenPixelsPerInch()) / 72.0f;
  font.weight = (styleFlags & kTextStyleBold) ? 700 : 400;
  font.italic = (styleFlags & kTextStyleItalic) != 0;
  return font;
}

CTextStyle::CTextStyle() : m_font(MakeFont()) {}

CTextStyle::CTextStyle(const CTextStyle& other)
    : colour(other.colour), face(other.face), styleFlags(other.styleFlags), size(other.size), weight(other.weight),
      m_font(MakeFont()) {}

CTextStyle& CTextStyle::operator=(const CTextStyle& other) {
  if (this == &other) return *this;
  colour = other.colour;
  face = other.face;
  styleFlags = other.styleFlags;
  size = other.size;
  weight = other.weight;
  m_font = other.m_font ? other.m_font : MakeFont();
  return *this;
}

bool CTextStyle::operator!=(const CTextStyle& other) const {
  return colour != other.colour || face != other.face || styleFlags != other.styleFlags || size != other.size;
}

void CTextStyle::Set(const std::string& newFace, float points, CColour newColour) {
  face = newFace;
  colour = newColour;
  styleFlags = 0;
  size = std::int32_t(std::trunc(double(points) * 100.0));
  weight = 400;
  m_font = MakeFont();
}

void CTextStyle::FromLogFont(const CLogFont& lf) {
  std::u16string wide = lf.faceName.substr(0, lf.faceName.find(u'\0'));
  face = CStringToUtf8(wide.substr(0, kLogFontFaceMax + 1));
  styleFlags = 0;
  if (lf.weight == 700) styleFlags |= kTextStyleBold;
  if (lf.italic) styleFlags |= kTextStyleItalic;
  weight = lf.weight;
  // Taken as an em height whatever its sign, so a cell height (positive) gives a positive
  // size too; a height of 0 (the platform default) gives the default 10 points.
  const double height = -std::abs(double(lf.height));
  // The height is in pixels at the density ToLogFont writes it (96 per inch), whatever the
  // screen's: read at the screen's, every font would change size at each save and reopen. A
  // damaged record's height is kept to sizes that hundredths of a point can hold.
  const int points = std::min(RoundNearestHalfDown(float(height * -72.0 / kFontPixelsPerInch)), kMaxPoints);
  size = points == 0 ? kDefaultSize : points * 100;
  m_font = MakeFont();
}

void CTextStyle::ToLogFont(CLogFont& lf) const {
  lf = CLogFont{};
  lf.height = RoundNearestHalfDown(float(double(size) * -kFontPixelsPerInch / 7200.0));
  lf.weight = weight;
  lf.italic = (styleFlags & kTextStyleItalic) ? 1 : 0;
  lf.quality = kClearTypeQuality;
  lf.faceName = Utf8ToCString(face).substr(0, kLogFontFaceMax);
}

const CFont* CTextStyle::GetFont() {
  m_font = MakeFont();
  return Font();
}

std::optional<CFont> CTextStyle::MakeFont() const {
  if (weight == 400)
    return CreateGdiplusFont(face, float(double(size) * 96.0 / (GetScreenPixelsPerInch() * 100.0)), styleFlags);
  // Other weights go through the stored font record, whose height is whole pixels.
  CLogFont lf;
  ToLogFont(lf);
  if (size <= 0) return std::nullopt;
  CFont font;
  font.face = ResolveFontFace(face).empty() ? GenericSansSerifFace() : face;
  font.emPixels = float(std::max(1, std::abs(lf.height)));
  font.weight = weight;
  font.italic = lf.italic != 0;
  return font;
}

void CTextStyle::SerializeStream(CDataStream& ds) {
  if (!ds.IsStoring() && !ds.IsLoading()) return;
  try {
    if (!ds.Version(1)) return;
    CTextStyle loaded(*this);
    StreamString(ds, loaded.face);
    ds.U32(loaded.styleFlags);
    ds.I32(loaded.size);
    ds.I32(loaded.weight);
    StreamColour(ds, loaded.colour);
    if (ds.IsLoading()) {
      // The string and colour records stop silently; a failed stream shows it.
      if (!*ds.input) return;
      loaded.m_font = loaded.MakeFont();
      *this = loaded;
    }
  } catch (const CStreamError&) {
  }
}
