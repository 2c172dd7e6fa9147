// The drawing canvas on QPainter.
#include "platform/Graphics.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "platform/Image.h"

// ---------------------------------------------------------------------------------------------
// Value types

CBrush CBrush::LinearGradient(CPointF from, CPointF to, CColour fromColour, CColour toColour) {
  CBrush b;
  b.kind = Kind::LinearGradient;
  b.start = from;
  b.end = to;
  b.startColour = fromColour;
  b.endColour = toColour;
  return b;
}

CBrush CBrush::LinearGradient(const CRectF& rect, CColour first, CColour second, bool vertical) {
  CPointF to = vertical ? CPointF{rect.x, rect.Bottom()} : CPointF{rect.Right(), rect.y};
  return LinearGradient({rect.x, rect.y}, to, first, second);
}

CBrush CBrush::EllipseGradient(const CRectF& ellipse, CColour centre, CColour surround) {
  CBrush b;
  b.kind = Kind::EllipseGradient;
  b.ellipse = ellipse;
  b.centreColour = centre;
  b.surroundColour = surround;
  return b;
}

CBrush& CBrush::SetInterpolationColours(std::vector<CGradientStop> newStops) {
  stops = std::move(newStops);
  return *this;
}

CBrush& CBrush::SetWrapMode(WrapMode mode) {
  wrap = mode;
  return *this;
}

CColourMatrix CColourMatrix::Identity() { return Scale(1.0f, 1.0f, 1.0f, 1.0f); }

CColourMatrix CColourMatrix::Scale(float r, float g, float b, float a) {
  CColourMatrix m;
  m.m[0][0] = r;
  m.m[1][1] = g;
  m.m[2][2] = b;
  m.m[3][3] = a;
  m.m[4][4] = 1.0f;
  return m;
}

// ---------------------------------------------------------------------------------------------
// Fonts

namespace {
std::mutex g_fontMutex;
std::map<std::string, std::string> g_resolvedFaces;

bool IsInstalled(const QString& family) {
  static const QStringList families = QFontDatabase::families();
  return families.contains(family, Qt::CaseInsensitive);
}

// Faces that files and skins name, and the installed families that match their metrics.
struct Substitute {
  const char* family;
  CFaceFit fit;
};

// The family that draws the letters of a text in the LCD face.
constexpr const char* kLcdCompanion = "Liberation Sans Narrow";

const std::map<std::string, Substitute>& Substitutes() {
  // The segment face of the LCD readouts stands in for a narrow LCD face whose digits fill about
  // two thirds of its em: drawn at that height, narrowed and in its heavier segments, a gain
  // reading such as "-40.0 dB" at 14 points stays legible inside its 50 x 15 readout, and the
  // units' displays keep their lines apart. Its seven segments draw numbers only; the letters
  // and blanks of a reading ("dB", a preset's name) are drawn in a narrow text face.
  static const std::map<std::string, Substitute> substitutes = {
      {"arial", {"Liberation Sans", {}}},
      {"helvetica", {"Liberation Sans", {}}},
      {"microsoft sans serif", {"Liberation Sans", {}}},
      {"ms sans serif", {"Liberation Sans", {}}},
      {"arial narrow", {"Liberation Sans Narrow", {}}},
      {"times new roman", {"Liberation Serif", {}}},
      {"courier new", {"Liberation Mono", {}}},
      {"tahoma", {"DejaVu Sans", {}}},
      {"verdana", {"DejaVu Sans", {}}},
      {"segoe ui", {"DejaVu Sans", {}}},
      {"liquidcrystal", {"DSEG7 Classic", {0.70f, 66, 700, kLcdCompanion}}},
      {"handelgotdlig", {"Jura", {}}},
  };
  return substitutes;
}

const Substitute* SubstituteFor(const std::string& face) {
  const auto& substitutes = Substitutes();
  std::string lower = face;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  auto it = substitutes.find(lower);
  return it == substitutes.end() ? nullptr : &it->second;
}
}  // namespace

void InstallFontSubstitutions() {
  // Keys are lower case; Qt matches family names without regard to case.
  for (const auto& [face, substitute] : Substitutes()) {
    if (IsInstalled(QString::fromUtf8(substitute.family))) {
      QFont::insertSubstitution(QString::fromStdString(face), QString::fromUtf8(substitute.family));
    }
  }
}

std::string ResolveFontFace(const std::string& face) {
  std::lock_guard<std::mutex> lock(g_fontMutex);
  auto it = g_resolvedFaces.find(face);
  if (it != g_resolvedFaces.end()) return it->second;
  std::string resolved;
  if (const Substitute* sub = SubstituteFor(face); sub && IsInstalled(QString::fromUtf8(sub->family))) {
    resolved = sub->family;
  } else if (!face.empty() && IsInstalled(QString::fromStdString(face))) {
    resolved = face;
  }
  g_resolvedFaces.emplace(face, resolved);
  return resolved;
}

CFaceFit FaceFitFor(const std::string& face) {
  const Substitute* sub = SubstituteFor(face);
  if (!sub || ResolveFontFace(face) != sub->family) return {};
  CFaceFit fit = sub->fit;
  if (fit.companion && ResolveFontFace(fit.companion).empty()) fit.companion = nullptr;
  return fit;
}

namespace {
// Height of a glyph's ink per em pixel, measured once per family at a large size.
float InkPerEm(const std::string& family, int stretch, int weight, QChar glyph) {
  static std::map<std::string, float> measured;
  const std::string key = family + "/" + std::to_string(stretch) + "/" + std::to_string(weight) + "/" +
                          std::to_string(glyph.unicode());
  {
    std::lock_guard<std::mutex> lock(g_fontMutex);
    const auto it = measured.find(key);
    if (it != measured.end()) return it->second;
  }
  QFont q(QString::fromStdString(family));
  q.setPixelSize(200);
  q.setStretch(stretch);
  q.setWeight(QFont::Weight(weight));
  const float ratio = float(QFontMetricsF(q).tightBoundingRect(QString(glyph)).height() / 200.0);
  std::lock_guard<std::mutex> lock(g_fontMutex);
  measured.emplace(key, ratio);
  return ratio;
}

// The companion's capitals stand this high against the segment digits.
constexpr float kCompanionCapRatio = 0.75f;
}  // namespace

CFont CompanionFontFor(const CFont& font) {
  const CFaceFit fit = FaceFitFor(font.face);
  if (!fit.companion) return font;
  const std::string segment = ResolveFontFace(font.face);
  const float digits = font.emPixels * fit.scale * InkPerEm(segment, fit.stretch, fit.weight ? fit.weight : 400, '8');
  const float capsPerEm = InkPerEm(fit.companion, 100, 700, 'H');
  CFont companion = font;
  companion.face = fit.companion;
  companion.weight = 700;
  companion.emPixels = capsPerEm > 0.0f ? digits * kCompanionCapRatio / capsPerEm : font.emPixels;
  return companion;
}

std::string GenericSansSerifFace() {
  for (const char* family : {"Liberation Sans", "DejaVu Sans"})
    if (IsInstalled(QString::fromUtf8(family))) return family;
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family().toStdString();
}

namespace {
QFont ToQFont(const CFont& font, const QPaintDevice* device, TextRenderingHint hint) {
  std::string family = ResolveFontFace(font.face);
  if (family.empty()) family = GenericSansSerifFace();
  QFont q(QString::fromStdString(family));
  const int dpi = device ? device->logicalDpiY() : 96;
  // The em height is in pixels; Qt takes points at the device's resolution.
  const CFaceFit fit = FaceFitFor(font.face);
  q.setPointSizeF(std::max(0.1, double(font.emPixels * fit.scale) * 72.0 / (dpi > 0 ? dpi : 96)));
  if (fit.stretch != 100) q.setStretch(fit.stretch);
  q.setWeight(QFont::Weight(std::clamp(fit.weight ? fit.weight : font.weight, 1, 1000)));
  q.setItalic(font.italic);
  q.setUnderline(font.underline);
  q.setStrikeOut(font.strikeOut);
  if (hint == TextRenderingHint::SingleBitPerPixel || hint == TextRenderingHint::SingleBitPerPixelGridFit)
    q.setStyleStrategy(QFont::NoAntialias);
  return q;
}

int TextFlags(const CStringFormat& format, bool unbounded) {
  int flags = 0;
  switch (format.alignment) {
    case StringAlignment::Near: flags |= Qt::AlignLeft; break;
    case StringAlignment::Center: flags |= Qt::AlignHCenter; break;
    case StringAlignment::Far: flags |= Qt::AlignRight; break;
  }
  switch (format.lineAlignment) {
    case StringAlignment::Near: flags |= Qt::AlignTop; break;
    case StringAlignment::Center: flags |= Qt::AlignVCenter; break;
    case StringAlignment::Far: flags |= Qt::AlignBottom; break;
  }
  if (unbounded) return flags | Qt::TextDontClip;
  if (!format.noWrap) flags |= Qt::TextWordWrap;
  if (format.noClip) flags |= Qt::TextDontClip;
  return flags;
}

bool IsUnbounded(const CRectF& layout) { return layout.width <= 0.0f || layout.height <= 0.0f; }

QRectF ToQRect(const CRectF& r) { return QRectF(r.x, r.y, r.width, r.height); }
CRectF FromQRect(const QRectF& r) { return {float(r.x()), float(r.y()), float(r.width()), float(r.height())}; }
QPointF ToQPoint(CPointF p) { return QPointF(p.x, p.y); }
QColor ToQColor(CColour c) { return QColor::fromRgba(c.argb); }

QGradientStops ToStops(const std::vector<CGradientStop>& stops, CColour first, CColour last) {
  QGradientStops result;
  if (stops.empty()) {
    result.push_back({0.0, ToQColor(first)});
    result.push_back({1.0, ToQColor(last)});
    return result;
  }
  double previous = 0.0;
  for (const auto& s : stops) {
    double pos = std::clamp(double(s.position), previous, 1.0);
    result.push_back({pos, ToQColor(s.colour)});
    previous = pos;
  }
  return result;
}

QBrush ToQBrush(const CBrush& brush) {
  switch (brush.kind) {
    case CBrush::Kind::Solid:
      return QBrush(ToQColor(brush.colour));
    case CBrush::Kind::LinearGradient: {
      if (brush.start == brush.end) {
        return QBrush(ToQColor(brush.stops.empty() ? brush.startColour : brush.stops.front().colour));
      }
      QLinearGradient g(ToQPoint(brush.start), ToQPoint(brush.end));
      g.setStops(ToStops(brush.stops, brush.startColour, brush.endColour));
      g.setSpread(brush.wrap == WrapMode::Tile ? QGradient::RepeatSpread : QGradient::PadSpread);
      return QBrush(g);
    }
    case CBrush::Kind::EllipseGradient: {
      // A unit circle gradient stretched onto the ellipse.
      QRadialGradient g(QPointF(0.0, 0.0), 1.0);
      g.setStops(ToStops(brush.stops, brush.centreColour, brush.surroundColour));
      QBrush q(g);
      const CRectF& e = brush.ellipse;
      q.setTransform(QTransform(std::max(e.width / 2.0f, 0.001f), 0, 0, std::max(e.height / 2.0f, 0.001f),
                                e.x + e.width / 2.0f, e.y + e.height / 2.0f));
      return q;
    }
  }
  return QBrush();
}

QPainterPath PolygonPath(const std::vector<CPointF>& points, bool close, FillMode mode) {
  QPainterPath path;
  path.setFillRule(mode == FillMode::Alternate ? Qt::OddEvenFill : Qt::WindingFill);
  if (points.empty()) return path;
  path.moveTo(ToQPoint(points.front()));
  for (std::size_t i = 1; i < points.size(); ++i) path.lineTo(ToQPoint(points[i]));
  if (close) path.closeSubpath();
  return path;
}

// The straight-alpha pixels of the image transformed by the matrix, premultiplied again.
QImage ApplyColourMatrix(const QImage& source, const CColourMatrix& m) {
  QImage img = source.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < img.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      const float in[5] = {qRed(line[x]) / 255.0f, qGreen(line[x]) / 255.0f, qBlue(line[x]) / 255.0f,
                           qAlpha(line[x]) / 255.0f, 1.0f};
      int out[4];
      for (int j = 0; j < 4; ++j) {
        float v = 0.0f;
        for (int i = 0; i < 5; ++i) v += in[i] * m.m[i][j];
        out[j] = int(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
      }
      line[x] = qRgba(out[0], out[1], out[2], out[3]);
    }
  }
  return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Runs draw with smooth image scaling off, then gives the painter its setting back: a copy of
// whole pixels gains nothing from it and costs the painter's slower path.
template <typename Draw>
void WithoutSmoothScaling(QPainter& painter, Draw draw) {
  const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  draw();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Paths

CGraphicsPath::CGraphicsPath(FillMode mode) : m_path(std::make_unique<QPainterPath>()), m_fillMode(mode) {
  SetFillMode(mode);
}

CGraphicsPath::CGraphicsPath(const CGraphicsPath& other)
    : m_path(std::make_unique<QPainterPath>(*other.m_path)), m_fillMode(other.m_fillMode),
      m_figureOpen(other.m_figureOpen) {}

CGraphicsPath& CGraphicsPath::operator=(const CGraphicsPath& other) {
  if (this != &other) {
    *m_path = *other.m_path;
    m_fillMode = other.m_fillMode;
    m_figureOpen = other.m_figureOpen;
  }
  return *this;
}

CGraphicsPath::~CGraphicsPath() = default;

void CGraphicsPath::Reset() {
  *m_path = QPainterPath();
  SetFillMode(m_fillMode);
  m_figureOpen = false;
}

void CGraphicsPath::StartFigure() { m_figureOpen = false; }

void CGraphicsPath::CloseFigure() {
  if (m_figureOpen) m_path->closeSubpath();
  m_figureOpen = false;
}

void CGraphicsPath::BeginPiece(float x, float y) {
  if (m_figureOpen) {
    m_path->lineTo(x, y);
  } else {
    m_path->moveTo(x, y);
    m_figureOpen = true;
  }
}

void CGraphicsPath::AddLine(CPointF from, CPointF to) {
  BeginPiece(from.x, from.y);
  m_path->lineTo(to.x, to.y);
}

void CGraphicsPath::AddLines(const std::vector<CPointF>& points) {
  if (points.empty()) return;
  BeginPiece(points.front().x, points.front().y);
  for (std::size_t i = 1; i < points.size(); ++i) m_path->lineTo(points[i].x, points[i].y);
}

void CGraphicsPath::AddArc(float x, float y, float width, float height, float startAngle, float sweepAngle) {
  if (width <= 0.0f || height <= 0.0f) {
    // A degenerate arc is the point it shrank to.
    BeginPiece(x + std::max(width, 0.0f) / 2.0f, y + std::max(height, 0.0f) / 2.0f);
    return;
  }
  // Qt counts angles counter-clockwise on screen.
  const QRectF rect(x, y, width, height);
  if (!m_figureOpen) {
    m_path->arcMoveTo(rect, -startAngle);
    m_figureOpen = true;
  }
  m_path->arcTo(rect, -startAngle, -sweepAngle);
}

void CGraphicsPath::AddRectangle(const CRectF& rect) {
  m_path->addRect(ToQRect(rect));
  m_figureOpen = false;
}

void CGraphicsPath::AddEllipse(const CRectF& rect) {
  m_path->addEllipse(ToQRect(rect));
  m_figureOpen = false;
}

void CGraphicsPath::AddPolygon(const std::vector<CPointF>& points) {
  if (points.empty()) return;
  m_path->addPath(PolygonPath(points, true, m_fillMode));
  m_figureOpen = false;
}

void CGraphicsPath::AddPath(const CGraphicsPath& other) {
  m_path->addPath(*other.m_path);
  m_figureOpen = false;
}

void CGraphicsPath::Flatten(float /*flatness*/) {
  // Qt picks its own segment length, which stays well within a quarter pixel at our sizes.
  QPainterPath flat;
  for (const QPolygonF& polygon : m_path->toSubpathPolygons()) flat.addPolygon(polygon);
  *m_path = flat;
  SetFillMode(m_fillMode);
  m_figureOpen = false;
}

void CGraphicsPath::SetFillMode(FillMode mode) {
  m_fillMode = mode;
  m_path->setFillRule(mode == FillMode::Alternate ? Qt::OddEvenFill : Qt::WindingFill);
}

bool CGraphicsPath::IsEmpty() const { return m_path->isEmpty(); }

CRectF CGraphicsPath::GetBounds() const { return FromQRect(m_path->boundingRect()); }

bool CGraphicsPath::IsVisible(CPointF point) const { return m_path->contains(ToQPoint(point)); }

const QPainterPath& CGraphicsPath::Native() const { return *m_path; }

// ---------------------------------------------------------------------------------------------
// Graphics

Graphics::Graphics(CImage& target) {
  if (target.IsNull()) return;
  m_ownedPainter = std::make_unique<QPainter>(&target.Native());
  if (!m_ownedPainter->isActive()) {
    m_ownedPainter.reset();
    return;
  }
  m_painter = m_ownedPainter.get();
  Init();
}

Graphics::Graphics(QPainter* painter) : m_painter(painter && painter->isActive() ? painter : nullptr) {
  if (!m_painter) return;
  m_painter->save();  // given back as it came, in the destructor
  Init();
}

Graphics::~Graphics() {
  if (!m_painter) return;
  Restore(CGraphicsState{0});
  if (m_ownedPainter) {
    m_ownedPainter->end();
  } else {
    m_painter->restore();
  }
}

void Graphics::Init() {
  // A new canvas starts unsmoothed with smooth image scaling and anti-aliased text.
  m_painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
  SetSmoothingMode(SmoothingMode::Default);
  SetTextRenderingHint(TextRenderingHint::SystemDefault);
  SetCompositingMode(CompositingMode::SourceOver);
}

void Graphics::SetSmoothingMode(SmoothingMode mode) {
  m_state.smoothing = mode;
  if (!m_painter) return;
  m_painter->setRenderHint(QPainter::Antialiasing,
                           mode == SmoothingMode::AntiAlias || mode == SmoothingMode::HighQuality);
}

void Graphics::SetTextRenderingHint(TextRenderingHint hint) {
  m_state.textHint = hint;
  if (!m_painter) return;
  m_painter->setRenderHint(QPainter::TextAntialiasing, hint != TextRenderingHint::SingleBitPerPixel &&
                                                           hint != TextRenderingHint::SingleBitPerPixelGridFit);
}

void Graphics::SetCompositingMode(CompositingMode mode) {
  m_state.compositing = mode;
  if (!m_painter) return;
  m_painter->setCompositionMode(mode == CompositingMode::SourceCopy ? QPainter::CompositionMode_Source
                                                                    : QPainter::CompositionMode_SourceOver);
}

float Graphics::GetDpiX() const { return m_painter ? float(m_painter->device()->logicalDpiX()) : 96.0f; }
float Graphics::GetDpiY() const { return m_painter ? float(m_painter->device()->logicalDpiY()) : 96.0f; }

void Graphics::TranslateTransform(float dx, float dy) {
  if (m_painter) m_painter->translate(dx, dy);
}

void Graphics::RotateTransform(float degreesClockwise) {
  if (m_painter) m_painter->rotate(degreesClockwise);
}

void Graphics::ScaleTransform(float sx, float sy) {
  if (m_painter) m_painter->scale(sx, sy);
}

void Graphics::ResetTransform() {
  if (m_painter) m_painter->resetTransform();
}

CMatrix Graphics::GetTransform() const {
  if (!m_painter) return {};
  const QTransform& t = m_painter->worldTransform();
  return {float(t.m11()), float(t.m12()), float(t.m21()), float(t.m22()), float(t.dx()), float(t.dy())};
}

void Graphics::SetTransform(const CMatrix& m) {
  if (m_painter) m_painter->setWorldTransform(QTransform(m.m11, m.m12, m.m21, m.m22, m.dx, m.dy));
}

void Graphics::SetClip(const CRectF& rect) {
  if (m_painter) m_painter->setClipRect(ToQRect(rect), Qt::ReplaceClip);
}

void Graphics::SetClip(const CRect& rect) { SetClip(CRectF::FromRect(rect)); }

void Graphics::SetClip(const CGraphicsPath& path) {
  if (m_painter) m_painter->setClipPath(path.Native(), Qt::ReplaceClip);
}

void Graphics::IntersectClip(const CRectF& rect) {
  if (!m_painter) return;
  m_painter->setClipRect(ToQRect(rect), m_painter->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
}

void Graphics::ResetClip() {
  if (m_painter) m_painter->setClipping(false);
}

bool Graphics::HasClip() const { return m_painter && m_painter->hasClipping(); }

CRectF Graphics::GetClipBounds() const {
  if (!m_painter) return {};
  if (m_painter->hasClipping()) return FromQRect(m_painter->clipBoundingRect());
  const QPaintDevice* d = m_painter->device();
  return FromQRect(m_painter->worldTransform().inverted().mapRect(QRectF(0, 0, d->width(), d->height())));
}

CClipState Graphics::SaveClip() const {
  CClipState state;
  if (!m_painter || !m_painter->hasClipping()) return state;
  state.enabled = true;
  *state.devicePath.m_path = m_painter->worldTransform().map(m_painter->clipPath());
  return state;
}

void Graphics::RestoreClip(const CClipState& state) {
  if (!m_painter) return;
  if (!state.enabled) {
    m_painter->setClipping(false);
    return;
  }
  const QTransform world = m_painter->worldTransform();
  m_painter->setWorldTransform(QTransform());
  m_painter->setClipPath(state.devicePath.Native(), Qt::ReplaceClip);
  m_painter->setWorldTransform(world);
}

CGraphicsState Graphics::Save() {
  CGraphicsState token{int(m_saved.size())};
  if (!m_painter) return token;
  m_painter->save();
  m_saved.push_back(m_state);
  return token;
}

void Graphics::Restore(CGraphicsState state) {
  if (!m_painter || state.depth < 0) return;
  while (int(m_saved.size()) > state.depth) {
    m_painter->restore();
    m_state = m_saved.back();
    m_saved.pop_back();
  }
}

void Graphics::Clear(CColour colour) {
  if (!m_painter) return;
  m_painter->save();
  m_painter->setCompositionMode(QPainter::CompositionMode_Source);
  m_painter->setWorldTransform(QTransform());
  const QPaintDevice* d = m_painter->device();
  m_painter->fillRect(QRect(0, 0, d->width(), d->height()), ToQColor(colour));
  m_painter->restore();
}

void Graphics::SetPixel(int x, int y, CColour colour) {
  if (!m_painter) return;
  m_painter->save();
  m_painter->setCompositionMode(QPainter::CompositionMode_Source);
  m_painter->setWorldTransform(QTransform());
  m_painter->fillRect(QRect(x, y, 1, 1), ToQColor(colour));
  m_painter->restore();
}

void Graphics::FillNativePath(const CBrush& brush, const QPainterPath& path) {
  if (m_painter) m_painter->fillPath(path, ToQBrush(brush));
}

void Graphics::StrokePath(const CPen& pen, const QPainterPath& path, bool closedShape) {
  if (!m_painter) return;
  const float width = pen.width > 0.0f ? pen.width : 1.0f;
  QPen qpen(ToQColor(pen.colour));
  qpen.setCapStyle(Qt::FlatCap);
  qpen.setJoinStyle(Qt::MiterJoin);
  m_painter->save();
  m_painter->setBrush(Qt::NoBrush);
  if (pen.alignment == PenAlignment::Inset && closedShape && width > 1.0f) {
    // Inside the shape only: twice the width on the outline, cut to the shape's area.
    qpen.setWidthF(2.0 * width);
    m_painter->setClipPath(path, m_painter->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  } else {
    qpen.setWidthF(width);
    const long rounded = std::lround(width);
    if (std::fabs(width - float(rounded)) < 0.01f && (rounded % 2) == 1) {
      // Odd widths centre on pixel centres (a device-space shift of half a pixel).
      m_painter->setWorldTransform(m_painter->worldTransform() * QTransform::fromTranslate(0.5, 0.5));
    }
  }
  m_painter->setPen(qpen);
  m_painter->drawPath(path);
  m_painter->restore();
}

void Graphics::FillRectangle(const CBrush& brush, const CRectF& rect) {
  // The same pixels as filling a rectangle path, without building one.
  if (m_painter) m_painter->fillRect(ToQRect(rect), ToQBrush(brush));
}

void Graphics::DrawRectangle(const CPen& pen, const CRectF& rect) {
  QPainterPath p;
  p.addRect(ToQRect(rect));
  StrokePath(pen, p, true);
}

void Graphics::FillEllipse(const CBrush& brush, const CRectF& rect) {
  QPainterPath p;
  p.addEllipse(ToQRect(rect));
  FillNativePath(brush, p);
}

void Graphics::DrawEllipse(const CPen& pen, const CRectF& rect) {
  QPainterPath p;
  p.addEllipse(ToQRect(rect));
  StrokePath(pen, p, true);
}

void Graphics::DrawArc(const CPen& pen, const CRectF& rect, float startAngle, float sweepAngle) {
  CGraphicsPath p;
  p.AddArc(rect.x, rect.y, rect.width, rect.height, startAngle, sweepAngle);
  StrokePath(pen, p.Native(), false);
}

void Graphics::DrawLine(const CPen& pen, CPointF from, CPointF to) {
  QPainterPath p;
  p.moveTo(ToQPoint(from));
  p.lineTo(ToQPoint(to));
  StrokePath(pen, p, false);
}

void Graphics::DrawLines(const CPen& pen, const std::vector<CPointF>& points) {
  if (points.size() < 2) return;
  StrokePath(pen, PolygonPath(points, false, FillMode::Alternate), false);
}

void Graphics::FillPolygon(const CBrush& brush, const std::vector<CPointF>& points, FillMode mode) {
  if (points.size() < 3) return;
  FillNativePath(brush, PolygonPath(points, true, mode));
}

void Graphics::DrawPolygon(const CPen& pen, const std::vector<CPointF>& points) {
  if (points.size() < 2) return;
  StrokePath(pen, PolygonPath(points, true, FillMode::Alternate), true);
}

void Graphics::FillPath(const CBrush& brush, const CGraphicsPath& path) { FillNativePath(brush, path.Native()); }

void Graphics::DrawPath(const CPen& pen, const CGraphicsPath& path) { StrokePath(pen, path.Native(), true); }

namespace {

// A text in a segment face cut into runs: digits and signs for the segment face, the rest for
// its companion. A colon between two digits stays with the segments; a point never does (the
// segment face draws it without width, over the digit before, where it is lost).
struct CSegmentRun {
  QString text;
  bool segment;
};

bool DrawnBySegments(const QString& line, qsizetype i) {
  const QChar c = line[i];
  if (c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+')) return true;
  return c == QLatin1Char(':') && i > 0 && i + 1 < line.size() && line[i - 1].isDigit() && line[i + 1].isDigit();
}

bool NeedsCompanion(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i)
    if (text[i] != QLatin1Char('\n') && !DrawnBySegments(text, i)) return true;
  return false;
}

std::vector<CSegmentRun> SegmentRuns(const QString& line) {
  std::vector<CSegmentRun> runs;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const bool segment = DrawnBySegments(line, i);
    if (runs.empty() || runs.back().segment != segment) runs.push_back({QString(), segment});
    runs.back().text += line[i];
  }
  return runs;
}

// Where the lines of a mixed text go: one shared baseline per line in the segment face's line
// box, as a text of digits alone would stand (the companion's capitals are lower than the
// digits); the box narrowed to the layout's width when it would run over it.
struct CMixedLayout {
  QFont segment, companion;
  QStringList lines;
  std::vector<qreal> widths;
  qreal ascent = 0, lineHeight = 0, width = 0, squeeze = 1;
  QRectF box;
};

CMixedLayout LayOutMixed(const QString& text, const QFont& segment, const QFont& companion, const QPaintDevice* device,
                         const CRectF& layout, const CStringFormat& format) {
  CMixedLayout m;
  m.segment = segment;
  m.companion = companion;
  const QFontMetricsF ms(segment, device), mc(companion, device);
  m.ascent = ms.ascent();
  m.lineHeight = ms.height();
  m.lines = text.split(QLatin1Char('\n'));
  while (m.lines.size() > 1 && m.lines.back().isEmpty()) m.lines.removeLast();
  for (const QString& line : m.lines) {
    qreal w = 0;
    for (const CSegmentRun& run : SegmentRuns(line)) w += (run.segment ? ms : mc).horizontalAdvance(run.text);
    m.widths.push_back(w);
    m.width = std::max(m.width, w);
  }
  const bool bounded = !IsUnbounded(layout);
  if (bounded && m.width > layout.width && m.width > 0) m.squeeze = layout.width / m.width;
  const qreal w = m.width * m.squeeze, h = m.lineHeight * qreal(m.lines.size());
  const qreal spanW = bounded ? layout.width : 0, spanH = bounded ? layout.height : 0;
  auto place = [](StringAlignment a, qreal start, qreal span, qreal size) {
    switch (a) {
      case StringAlignment::Center: return start + (span - size) / 2;
      case StringAlignment::Far: return start + span - size;
      default: return start;
    }
  };
  m.box = QRectF(place(format.alignment, layout.x, spanW, w), place(format.lineAlignment, layout.y, spanH, h), w, h);
  return m;
}

}  // namespace

void Graphics::DrawString(const std::string& utf8, const CFont& font, const CRectF& layout,
                          const CStringFormat& format, const CBrush& brush) {
  const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
  DrawString(text.toStdU16String(), font, layout, format, brush);
}

void Graphics::DrawString(const std::u16string& text, const CFont& font, const CRectF& layout,
                          const CStringFormat& format, const CBrush& brush) {
  if (!m_painter || text.empty()) return;
  const bool unbounded = IsUnbounded(layout);
  const QRectF rect = unbounded ? QRectF(layout.x, layout.y, 0, 0) : ToQRect(layout);
  const QString qtext = QString::fromStdU16String(text);
  m_painter->save();
  m_painter->setPen(QPen(ToQBrush(brush), 1.0));
  if (FaceFitFor(font.face).companion && NeedsCompanion(qtext)) {
    const QFont segment = ToQFont(font, m_painter->device(), m_state.textHint);
    const QFont companion = ToQFont(CompanionFontFor(font), m_painter->device(), m_state.textHint);
    const CMixedLayout m = LayOutMixed(qtext, segment, companion, m_painter->device(), layout, format);
    if (!unbounded && !format.noClip) m_painter->setClipRect(rect, Qt::IntersectClip);
    // Whole pixels, as the plain text path puts its lines: the glyphs stay crisp.
    m_painter->translate(std::round(m.box.left()), std::round(m.box.top()));
    m_painter->scale(m.squeeze, 1.0);
    const QFontMetricsF ms(segment, m_painter->device()), mc(companion, m_painter->device());
    for (qsizetype l = 0; l < m.lines.size(); ++l) {
      qreal x = 0;
      switch (format.alignment) {
        case StringAlignment::Center: x = (m.width - m.widths[std::size_t(l)]) / 2; break;
        case StringAlignment::Far: x = m.width - m.widths[std::size_t(l)]; break;
        default: break;
      }
      const qreal baseline = std::round(m.ascent + m.lineHeight * qreal(l));
      for (const CSegmentRun& run : SegmentRuns(m.lines[l])) {
        m_painter->setFont(run.segment ? segment : companion);
        m_painter->drawText(QPointF(std::round(x), baseline), run.text);
        x += (run.segment ? ms : mc).horizontalAdvance(run.text);
      }
    }
  } else {
    m_painter->setFont(ToQFont(font, m_painter->device(), m_state.textHint));
    m_painter->drawText(rect, TextFlags(format, unbounded), qtext);
  }
  m_painter->restore();
}

CRectF Graphics::MeasureString(const std::string& utf8, const CFont& font, const CRectF& layout,
                               const CStringFormat& format) const {
  const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
  return MeasureString(text.toStdU16String(), font, layout, format);
}

CRectF Graphics::MeasureString(const std::u16string& text, const CFont& font, const CRectF& layout,
                               const CStringFormat& format) const {
  const bool unbounded = IsUnbounded(layout);
  const QRectF rect = unbounded ? QRectF(layout.x, layout.y, 0, 0) : ToQRect(layout);
  const QPaintDevice* device = m_painter ? m_painter->device() : nullptr;
  QFontMetricsF metrics(ToQFont(font, device, m_state.textHint), device);
  if (text.empty()) return {layout.x, layout.y, 0.0f, 0.0f};
  const QString qtext = QString::fromStdU16String(text);
  if (FaceFitFor(font.face).companion && NeedsCompanion(qtext)) {
    const QFont companion = ToQFont(CompanionFontFor(font), device, m_state.textHint);
    return FromQRect(LayOutMixed(qtext, ToQFont(font, device, m_state.textHint), companion, device, layout, format).box);
  }
  return FromQRect(metrics.boundingRect(rect, TextFlags(format, unbounded), qtext));
}

float Graphics::GetLineSpacing(const CFont& font) const {
  const QPaintDevice* device = m_painter ? m_painter->device() : nullptr;
  return float(QFontMetricsF(ToQFont(font, device, m_state.textHint), device).lineSpacing());
}

void Graphics::FillTiled(const CImage& image, const CRectF& area, CPointF origin) {
  if (!m_painter || image.IsNull() || area.IsEmpty()) return;
  // A tiny image is laid side by side into one of at least 64 pixels each way first: a fill
  // fetches each pixel from the texture, and a texture that small costs several times more per
  // pixel.
  constexpr int kLeastSide = 64;
  const QImage& native = image.Native();
  QImage texture = native;
  if (native.width() < kLeastSide || native.height() < kLeastSide) {
    const int width = native.width() * ((kLeastSide + native.width() - 1) / native.width());
    const int height = native.height() * ((kLeastSide + native.height() - 1) / native.height());
    texture = QImage(width, height, native.format());
    QPainter laying(&texture);
    laying.setCompositionMode(QPainter::CompositionMode_Source);
    laying.fillRect(texture.rect(), QBrush(native));
  }
  QBrush tiles(texture);
  tiles.setTransform(QTransform::fromTranslate(origin.x, origin.y));
  WithoutSmoothScaling(*m_painter, [&] { m_painter->fillRect(ToQRect(area), tiles); });
}

void Graphics::DrawImage(const CImage& image, float x, float y) {
  DrawImage(image, CRectF{x, y, float(image.Width()), float(image.Height())});
}

void Graphics::DrawImage(const CImage& image, const CRectF& dest) {
  DrawImage(image, dest, CRectF{0.0f, 0.0f, float(image.Width()), float(image.Height())});
}

void Graphics::DrawImage(const CImage& image, const CRectF& dest, const CRectF& source, const CColourMatrix* colours) {
  if (!m_painter || image.IsNull() || dest.IsEmpty() || source.IsEmpty()) return;
  if (!colours) {
    const QRectF to = ToQRect(dest);
    const QRectF from = ToQRect(source);
    // A 1:1 copy at whole pixels under no more than a whole-pixel shift is a plain blit:
    // smooth scaling would change no pixel, but it sends the painter down its slow
    // transformed-image path whenever a clip is set.
    const QTransform& t = m_painter->worldTransform();
    const bool wholeShift = t.type() <= QTransform::TxTranslate && t.dx() == std::round(t.dx()) &&
                            t.dy() == std::round(t.dy());
    if (wholeShift && to.size() == from.size() && to.topLeft() == QPointF(to.topLeft().toPoint()) &&
        from.topLeft() == QPointF(from.topLeft().toPoint()) && from.size() == QSizeF(from.size().toSize())) {
      WithoutSmoothScaling(*m_painter,
                           [&] { m_painter->drawImage(to.topLeft().toPoint(), image.Native(), from.toRect()); });
      return;
    }
    m_painter->drawImage(to, image.Native(), from);
    return;
  }
  const QRect part = ToQRect(source).toAlignedRect().intersected(image.Native().rect());
  if (part.isEmpty()) return;
  const QImage transformed = ApplyColourMatrix(image.Native().copy(part), *colours);
  m_painter->drawImage(ToQRect(dest), transformed, ToQRect(source).translated(-part.topLeft()));
}
