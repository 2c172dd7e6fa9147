// Zone membership, reordering and the zone record of the system file.
#include "core/system/Zone.h"

#include <algorithm>

#include "core/model/Device.h"
#include "core/system/System.h"
#include "core/support/ScopeGuard.h"
#include "core/support/SystemMessages.h"
#include "core/draw/TextStyle.h"
#include "core/model/UiServices.h"
#include "core/file/Uuid.h"
#include "platform/Archive.h"
#include "platform/Graphics.h"
#include "platform/WindowMessages.h"

namespace {
constexpr std::uint32_t kZoneVersion = 1;
constexpr std::size_t kUuidSize = 16;

constexpr int kStill = 0;
constexpr int kCollapsing = 1;
constexpr int kExpanding = 2;

constexpr CColour kHeaderTop{0xFF323232u};
constexpr CColour kHeaderBottom{0xFF646464u};
constexpr CColour kHeaderOutline{0xFF000000u};
constexpr CColour kHeaderText{0xFFFFFFFFu};
constexpr CColour kHeaderArrow{0xFFC8C8C8u};
constexpr CColour kMeterHeaderFill{0xA0FFFFFFu};
constexpr CColour kMeterHeaderText{0xFF141414u};
constexpr CColour kMeterHeaderArrow{0xFF323232u};
constexpr const char* kHeaderFace = "DejaVu Sans Condensed";
constexpr float kHeaderPoints = 9.0f;

// The header font, made once (the face and size never change).
const CFont* HeaderFont() {
  static CTextStyle style = [] {
    CTextStyle s;
    s.Set(kHeaderFace, kHeaderPoints, kHeaderText);
    return s;
  }();
  return style.Font() ? style.Font() : style.GetFont();
}

int TileHeight(CDevice* device) { return device->DrawTile(nullptr, CRect{}, 0); }
int TileWidth(CDevice* device) { return device->DrawMonitorTile(nullptr, CRect{}, nullptr, 0); }

bool IsAnimating(std::int32_t state) { return state == kCollapsing || state == kExpanding; }

// Whether a tile or header at r can show through the graphics' clip (without one: its target):
// a view whose back buffer holds only what its window shows draws nothing else.
bool Shows(const CRectF& visible, const CRect& r) {
  return float(r.left) < visible.Right() && float(r.right) > visible.x && float(r.top) < visible.Bottom() &&
         float(r.bottom) > visible.y;
}

// Anti-aliasing and ClearType grid fit until the end of the guard it gives.
auto HeaderModes(Graphics& g) {
  const SmoothingMode smoothing = g.GetSmoothingMode();
  const TextRenderingHint hint = g.GetTextRenderingHint();
  g.SetSmoothingMode(SmoothingMode::AntiAlias);
  g.SetTextRenderingHint(TextRenderingHint::ClearTypeGridFit);
  return CScopeGuard([&g, smoothing, hint] {
    g.SetSmoothingMode(smoothing);
    g.SetTextRenderingHint(hint);
  });
}

CPointF Pt(int x, int y) { return CPointF{float(x), float(y)}; }

}  // namespace

bool CZone::HasDevice(const CDevice* device) const {
  return std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end();
}

bool CZone::RemoveDevice(const CDevice* device) {
  auto it = std::find(m_devices.begin(), m_devices.end(), device);
  if (it == m_devices.end()) return false;
  m_devices.erase(it);
  return true;
}

bool CZone::InsertDeviceFirst(CDevice* device) {
  m_devices.insert(m_devices.begin(), device);
  return true;
}

bool CZone::MoveDeviceUp(const CDevice* device) {
  auto it = std::find(m_devices.begin(), m_devices.end(), device);
  if (it == m_devices.end() || it == m_devices.begin()) return false;
  std::iter_swap(it, it - 1);
  return true;
}

bool CZone::MoveDeviceDown(const CDevice* device) {
  auto it = std::find(m_devices.begin(), m_devices.end(), device);
  if (it == m_devices.end() || it + 1 == m_devices.end()) return false;
  std::iter_swap(it, it + 1);
  return true;
}

void CZone::Serialize(CArchive& ar) {
  Serialize(ar, [this](const CUuid& uuid) { return m_pSystem ? m_pSystem->FindDeviceByUuid(uuid) : nullptr; });
}

void CZone::Serialize(CArchive& ar, const DeviceLookup& findDevice) {
  if (ar.IsStoring()) {
    ar.WriteU32(kZoneVersion);
    ar.WriteString(m_name);
    ar.WriteBool(m_bCollapsed);
    ar.WriteBool(m_bMeterCollapsed);
    ar.WriteU32(std::uint32_t(m_devices.size()));
    for (CDevice* device : m_devices) {
      CUuid uuid = device->GetUuid();
      ArchiveUuid(ar, uuid);
    }
    return;
  }
  ReadRecordVersion(ar, kZoneVersion, kZoneVersion, "zone record");
  m_name = ar.ReadString();
  m_bCollapsed = ar.ReadBool();
  m_bMeterCollapsed = ar.ReadBool();
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kUuidSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    CUuid uuid;
    ArchiveUuid(ar, uuid);
    if (CDevice* device = findDevice ? findDevice(uuid) : nullptr) m_devices.push_back(device);
  }
}

// --- Drawing ---

int CZone::Draw(Graphics* g, const CRect& area, bool fullHeight) {
  int result = kZoneHeaderSize;
  const bool paint = g && area != CRect{};
  const CRectF visible = paint ? g->GetClipBounds() : CRectF{};
  const CRect header{area.left, area.top, area.right, area.top + kZoneHeaderSize};
  if (paint && Shows(visible, header)) DrawHeader(*g, header);
  const bool animating = IsAnimating(m_nAnimState);
  if (!m_bCollapsed || animating) {
    CClipState saved;
    if (g && animating) {
      saved = g->SaveClip();
      g->SetClip(CRectF{float(area.left), float(area.top), float(area.Width()), float(m_nAnimHeight)});
    }
    int top = area.top + kZoneHeaderSize;
    for (CDevice* device : m_devices) {
      const int h = TileHeight(device);
      const CRect tile{area.left, top, area.right, top + h};
      if (paint && Shows(visible, tile)) device->DrawTile(g, tile, 0);
      top += h;
      result += h;
    }
    if (g && animating) g->RestoreClip(saved);
  }
  return animating && !fullHeight ? m_nAnimHeight : result;
}

void CZone::DrawHeader(Graphics& g, const CRect& header) {
  const auto modes = HeaderModes(g);
  const int x = header.left, y = header.top, w = header.Width() - 1, h = header.Height() - 1;
  const CRectF box{float(x), float(y), float(w), float(h)};
  g.FillRectangle(CBrush::LinearGradient(box, kHeaderTop, kHeaderBottom, true), box);
  g.DrawRectangle(CPen(kHeaderOutline, 2.0f), box);
  if (const CFont* font = HeaderFont()) {
    CStringFormat format(StringAlignment::Near, StringAlignment::Center);
    format.noWrap = true;
    g.DrawString(m_name, *font, CRectF{float(x + 6), float(y + 2), float(w - 54), float(h - 4)}, format,
                 CBrush::Solid(kHeaderText));
  }
  const int x1 = header.right - 24, x2 = header.right - 12;
  const int y1 = header.top + 5, y2 = header.bottom - 5;
  const int mid = x1 + (x2 - x1) / 2;
  const CPen pen(kHeaderArrow, 2.0f);
  if (m_bCollapsed)
    g.DrawPolygon(pen, {Pt(x1, y1), Pt(x2, y1), Pt(mid, y2)});
  else
    g.DrawPolygon(pen, {Pt(x1, y2), Pt(x2, y2), Pt(mid, y1)});
}

int CZone::DrawMeters(Graphics* g, const CRect& area, Graphics* dc, bool fullWidth) {
  int result = kZoneHeaderSize;
  const bool paint = g && area != CRect{};
  const CRectF visible = paint ? g->GetClipBounds() : CRectF{};
  const CRect column{area.left, area.top, area.left + kZoneHeaderSize, area.bottom};
  if (paint && Shows(visible, column)) DrawMeterHeader(*g, column);
  const bool animating = IsAnimating(m_nMeterAnimState);
  if (!m_bMeterCollapsed || animating) {
    const CRectF clip{float(area.left), float(area.top), float(m_nMeterAnimWidth), float(area.Height())};
    CClipState savedG, savedDc;
    const bool clipDc = dc && dc != g;
    if (g && animating) {
      savedG = g->SaveClip();
      g->SetClip(clip);
      if (clipDc) {
        savedDc = dc->SaveClip();
        dc->SetClip(clip);
      }
    }
    int left = area.left + kZoneHeaderSize;
    for (CDevice* device : m_devices) {
      const int w = TileWidth(device);
      const CRect tile{left, area.top, left + w, area.bottom};
      if (paint && Shows(visible, tile)) device->DrawMonitorTile(g, tile, dc, 0);
      left += w;
      result += w;
    }
    if (g && animating) {
      g->RestoreClip(savedG);
      if (clipDc) dc->RestoreClip(savedDc);
    }
  }
  return animating && !fullWidth ? m_nMeterAnimWidth : result;
}

void CZone::DrawMeterHeader(Graphics& g, const CRect& column) {
  const auto modes = HeaderModes(g);
  const int x = column.left, y = column.top, w = column.Width(), h = column.Height();
  CGraphicsPath rounded;
  const float d = 10.0f;
  const float l = float(x + 1), t = float(y + 1), r = float(x + w - 1), b = float(y + h - 1);
  rounded.AddArc(l, t, d, d, 180.0f, 90.0f);
  rounded.AddArc(r - d, t, d, d, 270.0f, 90.0f);
  rounded.AddArc(r - d, b - d, d, d, 0.0f, 90.0f);
  rounded.AddArc(l, b - d, d, d, 90.0f, 90.0f);
  rounded.CloseFigure();
  const CClipState saved = g.SaveClip();
  g.SetClip(rounded);
  g.FillRectangle(CBrush::Solid(kMeterHeaderFill), CRectF{l, t, float(w - 2), float(h - 2)});
  g.RestoreClip(saved);

  if (const CFont* font = HeaderFont()) {
    const CMatrix transform = g.GetTransform();
    g.TranslateTransform(float(x), float(y + h - 10));
    g.RotateTransform(270.0f);
    CStringFormat format(StringAlignment::Near, StringAlignment::Center);
    format.noWrap = true;
    g.DrawString(m_name, *font, CRectF{0.0f, 0.0f, float(h), float(w)}, format,
                 CBrush::Solid(kMeterHeaderText));
    g.SetTransform(transform);
  }
  const int xL = x + 3, xR = column.right - 5, yT = y + 8, yB = y + w;
  const int mid = yT + (yB - yT) / 2;
  const CPen pen(kMeterHeaderArrow, 2.0f);
  if (m_bMeterCollapsed)
    g.DrawPolygon(pen, {Pt(xR, mid), Pt(xL, yB), Pt(xL, yT)});
  else
    g.DrawPolygon(pen, {Pt(xL, mid), Pt(xR, yB), Pt(xR, yT)});
}

// --- Geometry ---

namespace {

// The zone's tiles along one axis: pos enters at the zone's start edge and moves past its
// header, then past each tile, size(device) long, while a running animation has not cut the
// zone off before the tile's end. visit(device, start, length) returns true to stop there (pos
// then at the tile's start); otherwise pos leaves where the zone ends.
template <typename Visit>
bool WalkTiles(const std::vector<CDevice*>& devices, bool collapsed, bool animating, int animatedSize,
               int (*size)(CDevice*), int& pos, Visit visit) {
  const int zoneStart = pos;
  pos += kZoneHeaderSize;
  if (!collapsed) {
    int offset = kZoneHeaderSize;
    for (CDevice* d : devices) {
      const int length = size(d);
      if (animating && offset + length > animatedSize) break;  // cut off by the animation
      if (visit(d, pos, length)) return true;
      pos += length;
      offset += length;
    }
  }
  if (animating) pos = zoneStart + animatedSize;
  return false;
}

}  // namespace

CRect CZone::GetDeviceRect(const CDevice* device, CRect& cursor) {
  CRect tile;
  WalkTiles(m_devices, m_bCollapsed, IsAnimating(m_nAnimState), m_nAnimHeight, TileHeight, cursor.top,
            [&](CDevice* d, int top, int height) {
              if (d == device) tile = CRect{cursor.left, top, cursor.right, top + height};
              return d == device;
            });
  return tile;
}

CRect CZone::GetMeterRect(const CDevice* device, CRect& cursor) {
  CRect tile;
  WalkTiles(m_devices, m_bMeterCollapsed, IsAnimating(m_nMeterAnimState), m_nMeterAnimWidth, TileWidth, cursor.left,
            [&](CDevice* d, int left, int width) {
              if (d == device) tile = CRect{left, cursor.top, left + width, cursor.bottom};
              return d == device;
            });
  return tile;
}

void CZone::EachDeviceRect(CRect& cursor, const TileVisitor& each) {
  WalkTiles(m_devices, m_bCollapsed, IsAnimating(m_nAnimState), m_nAnimHeight, TileHeight, cursor.top,
            [&](CDevice* d, int top, int height) {
              each(d, CRect{cursor.left, top, cursor.right, top + height});
              return false;
            });
}

void CZone::EachMeterRect(CRect& cursor, const TileVisitor& each) {
  WalkTiles(m_devices, m_bMeterCollapsed, IsAnimating(m_nMeterAnimState), m_nMeterAnimWidth, TileWidth, cursor.left,
            [&](CDevice* d, int left, int width) {
              each(d, CRect{left, cursor.top, left + width, cursor.bottom});
              return false;
            });
}

CDevice* CZone::HitTestDevice(int x, int y, CRect& cursor) {
  cursor.top += kZoneHeaderSize;
  if (m_bCollapsed) return nullptr;
  for (CDevice* d : m_devices) {
    const int h = TileHeight(d);
    if (CRect{cursor.left, cursor.top, cursor.right, cursor.top + h}.Contains(CPoint{x, y})) return d;
    cursor.top += h;
  }
  return nullptr;
}

CDevice* CZone::HitTestMeter(int x, int y, CRect& cursor) {
  cursor.left += kZoneHeaderSize;
  if (m_bMeterCollapsed) return nullptr;
  for (CDevice* d : m_devices) {
    const int w = TileWidth(d);
    if (CRect{cursor.left, cursor.top, cursor.left + w, cursor.bottom}.Contains(CPoint{x, y})) return d;
    cursor.left += w;
  }
  return nullptr;
}

// --- Collapse and expand ---

void CZone::Post(std::uint32_t message) {
  // The frame looks the zone up in the system's list: a zone that is gone by then is skipped.
  if (IMessageSink* frame = m_pSystem ? m_pSystem->GetUiServices() : nullptr) {
    frame->Post(CPostedMessage{message, 0, 0, GetHandle(), {}});
  }
}

void CZone::OnHeaderClick(CPoint point, const CRect& header) {
  const CRect arrow{header.right - 24, header.top + 5, header.right - 12, header.bottom - 5};
  if (!arrow.Contains(point) || m_nAnimState != kStill) return;
  if (m_bCollapsed) {
    m_nAnimHeight = kZoneHeaderSize;
    m_nAnimState = kExpanding;
  } else {
    m_nAnimHeight = Draw(nullptr, CRect{}, true);
    m_nAnimState = kCollapsing;
  }
  Post(FrameMsg::kRackZoneTimerStart);
}

void CZone::OnMeterHeaderClick(CPoint point, const CRect& column) {
  const CRect arrow{column.left + 3, column.top + 8, column.right - 5, column.top + column.Width()};
  if (!arrow.Contains(point) || m_nMeterAnimState != kStill) return;
  if (m_bMeterCollapsed) {
    m_nMeterAnimWidth = kZoneHeaderSize;
    m_nMeterAnimState = kExpanding;
  } else {
    m_nMeterAnimWidth = DrawMeters(nullptr, CRect{}, nullptr, true);
    m_nMeterAnimState = kCollapsing;
  }
  Post(FrameMsg::kMeterZoneTimerStart);
}

bool CZone::AnimationTick(std::int32_t& state, std::int32_t& size, bool& collapsed, const CAnimationSteps& steps,
                          int fullSize) {
  if (state == kCollapsing) {
    size -= size >= steps.largeFrom ? steps.large : steps.small;
    if (size >= kZoneHeaderSize) return false;
    size = kZoneHeaderSize;
    collapsed = true;
  } else if (state == kExpanding) {
    size += steps.large;
    if (size <= fullSize) return false;
    size = 0;
    collapsed = false;
  } else {
    return false;
  }
  state = kStill;
  return true;
}

void CZone::AnimateStep() {
  // Shrinks by 10 down to 50 px, then by 3; grows by 10.
  const int full = m_nAnimState == kExpanding ? Draw(nullptr, CRect{}, true) : 0;
  if (AnimationTick(m_nAnimState, m_nAnimHeight, m_bCollapsed, {10, 3, 50}, full)) Post(FrameMsg::kRackZoneTimerStop);
  Post(FrameMsg::kRefreshRack);
}

void CZone::AnimateMeterStep() {
  // Shrinks by 15 down to 75 px, then by 5; grows by 15.
  const int full = m_nMeterAnimState == kExpanding ? DrawMeters(nullptr, CRect{}, nullptr, true) : 0;
  if (AnimationTick(m_nMeterAnimState, m_nMeterAnimWidth, m_bMeterCollapsed, {15, 5, 75}, full))
    Post(FrameMsg::kMeterZoneTimerStop);
  Post(FrameMsg::kRebuildMeters);
}
