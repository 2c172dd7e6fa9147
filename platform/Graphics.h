// The one drawing canvas of the program: brushes, pens, paths, clipping, transforms, text
// and images, drawn into an offscreen CImage or through a window's painter.
//
// Coordinates are pixels. Fills and images cover the pixels whose area they cover (pixel
// (x, y) is the square from x to x + 1). A stroke of odd width is centred on the pixel
// centres, so a 1-pixel line along y = 5 lights exactly row 5 and the outline of a
// rectangle (x, y, w, h) lights columns x and x + w.
// UI thread only (or a thread that owns the target image).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

class CImage;
class QPainter;
class QPainterPath;

struct CPointF {
  float x = 0.0f;
  float y = 0.0f;
  friend bool operator==(const CPointF&, const CPointF&) = default;
};

// A rectangle as left, top, width and height.
struct CRectF {
  float x = 0.0f;
  float y = 0.0f;
  float width = 0.0f;
  float height = 0.0f;

  static CRectF FromRect(const CRect& r) {
    return {float(r.left), float(r.top), float(r.Width()), float(r.Height())};
  }
  float Right() const { return x + width; }
  float Bottom() const { return y + height; }
  bool IsEmpty() const { return width <= 0.0f || height <= 0.0f; }
  friend bool operator==(const CRectF&, const CRectF&) = default;
};

// Every mode keeps a fixed number (the enumerators are numbered explicitly), so a number kept
// anywhere, such as a saved mode restored later, always means the same mode.
enum class SmoothingMode : int { Default = 0, HighSpeed = 1, HighQuality = 2, None = 3, AntiAlias = 4 };
enum class TextRenderingHint : int {
  SystemDefault = 0,
  SingleBitPerPixelGridFit = 1,
  SingleBitPerPixel = 2,
  AntiAliasGridFit = 3,
  AntiAlias = 4,
  ClearTypeGridFit = 5,
};
enum class CompositingMode : int { SourceOver = 0, SourceCopy = 1 };
enum class FillMode : int { Alternate = 0, Winding = 1 };
enum class PenAlignment : int { Center = 0, Inset = 1 };
enum class StringAlignment : int { Near = 0, Center = 1, Far = 2 };
// Tile repeats a gradient beyond its end points (the default of linear gradients); Clamp
// extends the end colours.
enum class WrapMode : int { Tile = 0, Clamp = 1 };

struct CPen {
  CColour colour;
  float width = 1.0f;
  PenAlignment alignment = PenAlignment::Center;

  CPen() = default;
  CPen(CColour c, float w = 1.0f, PenAlignment a = PenAlignment::Center) : colour(c), width(w), alignment(a) {}
};

// One colour of a gradient at a position from 0 (start) to 1 (end).
struct CGradientStop {
  float position = 0.0f;
  CColour colour;
};

struct CBrush {
  enum class Kind { Solid, LinearGradient, EllipseGradient };

  Kind kind = Kind::Solid;
  CColour colour;  // solid colour
  // Linear gradient: from start (first colour) to end (last colour), bands at right angles to
  // the line; stops, when given, replace the two end colours.
  CPointF start;
  CPointF end;
  CColour startColour;
  CColour endColour;
  std::vector<CGradientStop> stops;
  WrapMode wrap = WrapMode::Tile;
  // Ellipse gradient: centre colour in the middle of the ellipse, surround colour on its edge;
  // stops, when given, replace them, from the centre (0) to the edge (1).
  CRectF ellipse;
  CColour centreColour;
  CColour surroundColour;

  CBrush() = default;
  // A colour is a solid brush, so colours can be passed where brushes are taken.
  CBrush(CColour c) : colour(c) {}

  static CBrush Solid(CColour c) { return CBrush(c); }
  static CBrush LinearGradient(CPointF from, CPointF to, CColour fromColour, CColour toColour);
  // From the top edge of the rectangle to its bottom edge (vertical) or left to right.
  static CBrush LinearGradient(const CRectF& rect, CColour first, CColour second, bool vertical);
  static CBrush EllipseGradient(const CRectF& ellipse, CColour centre, CColour surround);

  // Replaces the colours by stops (positions ascending, the first 0 and the last 1).
  CBrush& SetInterpolationColours(std::vector<CGradientStop> newStops);
  CBrush& SetWrapMode(WrapMode mode);
};

// A font by face, em height in pixels and weight. Faces that this machine lacks are replaced
// by a font that it has when the text is drawn ("Arial" is drawn as Liberation Sans).
struct CFont {
  std::string face = "Arial";  // UTF-8
  float emPixels = 13.0f;
  int weight = 400;  // 400 regular, 700 bold
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;

  bool IsBold() const { return weight >= 600; }
  friend bool operator==(const CFont&, const CFont&) = default;
};

// The installed family that draws text of this face: the face itself when installed, a
// metric-compatible substitute for the common faces, else empty.
std::string ResolveFontFace(const std::string& face);
// Tells Qt the installed family to use for each common face that ResolveFontFace substitutes
// (Arial, Tahoma and the like), so that widgets naming those faces directly draw with them
// too. UI thread, once at start-up.
void InstallFontSubstitutions();
// The family used when a face is missing altogether.
std::string GenericSansSerifFace();
// How a substitute family is drawn for a face: its em height scaled, its glyphs narrowed
// (stretch in percent), and a weight of its own (0: the font's). A face drawn by itself, or
// without such a substitute, is 1, 100 and 0.
struct CFaceFit {
  float scale = 1.0f;
  int stretch = 100;
  int weight = 0;
  // A segment face draws numbers only (digits, signs, and the points and colons between
  // digits). The rest of a text in it (letters, blanks, other signs) is drawn in this family,
  // bold, its capitals a little lower than the segment digits. Null for every other face.
  const char* companion = nullptr;
};
CFaceFit FaceFitFor(const std::string& face);
// The font that draws the letters of a text in a segment face, as a face of its own (the font
// itself when its face is no segment face).
CFont CompanionFontFor(const CFont& font);

struct CStringFormat {
  StringAlignment alignment = StringAlignment::Near;      // along the line
  StringAlignment lineAlignment = StringAlignment::Near;  // across lines
  bool noWrap = false;
  bool noClip = false;  // text that leaves the layout rectangle is cut unless set

  CStringFormat() = default;
  CStringFormat(StringAlignment a, StringAlignment line = StringAlignment::Near) : alignment(a), lineAlignment(line) {}
};

// A colour transform of image pixels: [r g b a 1] (0 to 1, straight alpha) times the matrix.
struct CColourMatrix {
  float m[5][5] = {};

  static CColourMatrix Identity();
  // Scales red, green, blue and alpha.
  static CColourMatrix Scale(float r, float g, float b, float a);
};

// A 2-D affine transform: x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
struct CMatrix {
  float m11 = 1.0f, m12 = 0.0f, m21 = 0.0f, m22 = 1.0f, dx = 0.0f, dy = 0.0f;
  friend bool operator==(const CMatrix&, const CMatrix&) = default;
};

// A path of figures made of lines and arcs. Angles are degrees, clockwise on screen from the
// positive x axis. Within an open figure each new piece is joined to the last by a line.
class CGraphicsPath {
 public:
  explicit CGraphicsPath(FillMode mode = FillMode::Alternate);
  CGraphicsPath(const CGraphicsPath& other);
  CGraphicsPath& operator=(const CGraphicsPath& other);
  ~CGraphicsPath();

  void Reset();
  void StartFigure();
  void CloseFigure();
  void AddLine(CPointF from, CPointF to);
  void AddLines(const std::vector<CPointF>& points);
  void AddArc(float x, float y, float width, float height, float startAngle, float sweepAngle);
  void AddRectangle(const CRectF& rect);
  void AddEllipse(const CRectF& rect);
  void AddPolygon(const std::vector<CPointF>& points);
  void AddPath(const CGraphicsPath& other);
  // Replaces curves by line segments no further than flatness from them.
  void Flatten(float flatness = 0.25f);

  void SetFillMode(FillMode mode);
  FillMode GetFillMode() const { return m_fillMode; }
  bool IsEmpty() const;
  CRectF GetBounds() const;
  // Whether the point lies inside the filled path.
  bool IsVisible(CPointF point) const;

  const QPainterPath& Native() const;

 private:
  friend class Graphics;
  void BeginPiece(float x, float y);

  std::unique_ptr<QPainterPath> m_path;
  FillMode m_fillMode;
  bool m_figureOpen = false;
};

// A saved clip, taken in device pixels so it survives transform changes.
struct CClipState {
  bool enabled = false;
  CGraphicsPath devicePath;
};

// A token of Graphics::Save.
struct CGraphicsState {
  int depth = 0;
};

class Graphics {
 public:
  // Draws into the image, which must outlive this object.
  explicit Graphics(CImage& target);
  // Draws through a painter that someone else owns (a window's paint event).
  explicit Graphics(QPainter* painter);
  ~Graphics();
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  SmoothingMode GetSmoothingMode() const { return m_state.smoothing; }
  void SetSmoothingMode(SmoothingMode mode);
  TextRenderingHint GetTextRenderingHint() const { return m_state.textHint; }
  void SetTextRenderingHint(TextRenderingHint hint);
  CompositingMode GetCompositingMode() const { return m_state.compositing; }
  void SetCompositingMode(CompositingMode mode);
  // Pixels per inch of the target (96 for offscreen images).
  float GetDpiX() const;
  float GetDpiY() const;

  // Transforms apply to what is drawn afterwards, in the current (transformed) coordinates.
  void TranslateTransform(float dx, float dy);
  void RotateTransform(float degreesClockwise);
  void ScaleTransform(float sx, float sy);
  void ResetTransform();
  CMatrix GetTransform() const;
  void SetTransform(const CMatrix& matrix);

  // Clips replace the current clip unless said otherwise; rectangles and paths are taken in
  // the current coordinates.
  void SetClip(const CRectF& rect);
  void SetClip(const CRect& rect);
  void SetClip(const CGraphicsPath& path);
  void IntersectClip(const CRectF& rect);
  void ResetClip();
  bool HasClip() const;
  // Bounds of the clip in current coordinates (the whole target when there is no clip).
  CRectF GetClipBounds() const;
  CClipState SaveClip() const;
  void RestoreClip(const CClipState& state);

  // Saves modes, transform and clip; Restore goes back to that point, dropping later saves.
  CGraphicsState Save();
  void Restore(CGraphicsState state);

  // Sets every pixel inside the clip to the colour (transparent included).
  void Clear(CColour colour);
  // Sets one pixel of the target, in target pixels whatever the transform, when inside the clip.
  void SetPixel(int x, int y, CColour colour);

  void FillRectangle(const CBrush& brush, const CRectF& rect);
  void DrawRectangle(const CPen& pen, const CRectF& rect);
  void FillEllipse(const CBrush& brush, const CRectF& rect);
  void DrawEllipse(const CPen& pen, const CRectF& rect);
  void DrawArc(const CPen& pen, const CRectF& rect, float startAngle, float sweepAngle);
  void DrawLine(const CPen& pen, CPointF from, CPointF to);
  void DrawLines(const CPen& pen, const std::vector<CPointF>& points);
  void FillPolygon(const CBrush& brush, const std::vector<CPointF>& points, FillMode mode = FillMode::Alternate);
  void DrawPolygon(const CPen& pen, const std::vector<CPointF>& points);
  void FillPath(const CBrush& brush, const CGraphicsPath& path);
  void DrawPath(const CPen& pen, const CGraphicsPath& path);

  // Text in a layout rectangle; a rectangle of zero width or height lays the text out around
  // its corner point by the alignments, unwrapped and unclipped.
  void DrawString(const std::string& utf8, const CFont& font, const CRectF& layout, const CStringFormat& format,
                  const CBrush& brush);
  void DrawString(const std::u16string& text, const CFont& font, const CRectF& layout, const CStringFormat& format,
                  const CBrush& brush);
  // The box the text takes when drawn with the same arguments.
  CRectF MeasureString(const std::string& utf8, const CFont& font, const CRectF& layout,
                       const CStringFormat& format) const;
  CRectF MeasureString(const std::u16string& text, const CFont& font, const CRectF& layout,
                       const CStringFormat& format) const;
  // Distance between two lines of the font.
  float GetLineSpacing(const CFont& font) const;

  // Images: at their own size, scaled into a rectangle, or a source part into a rectangle,
  // optionally through a colour matrix.
  void DrawImage(const CImage& image, float x, float y);
  void DrawImage(const CImage& image, const CRectF& dest);
  void DrawImage(const CImage& image, const CRectF& dest, const CRectF& source,
                 const CColourMatrix* colours = nullptr);
  // Fills area with copies of the image side by side, pixel for pixel, one of them with its
  // top-left corner at origin: one fill however small the image, where drawing it copy by copy
  // would cost a call per copy.
  void FillTiled(const CImage& image, const CRectF& area, CPointF origin);

  QPainter* Native() const { return m_painter; }

 private:
  struct ModeState {
    SmoothingMode smoothing = SmoothingMode::Default;
    TextRenderingHint textHint = TextRenderingHint::SystemDefault;
    CompositingMode compositing = CompositingMode::SourceOver;
  };

  void Init();
  void StrokePath(const CPen& pen, const QPainterPath& path, bool closedShape);
  void FillNativePath(const CBrush& brush, const QPainterPath& path);

  std::unique_ptr<QPainter> m_ownedPainter;
  QPainter* m_painter = nullptr;
  ModeState m_state;
  std::vector<ModeState> m_saved;
};
