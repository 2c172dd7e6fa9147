// Custom panel view: the back buffer and what is painted into it (background, image, grid,
// widgets, selection frames and handles, ghosts and the band).
#include <algorithm>
#include <map>

#include "custom/CPData.h"
#include "core/file/ImageTree.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/CustomPanelGeometry.h"

using namespace panelgeometry;

namespace {
constexpr CColour kFrameColour{0xB4C8C8C8u};
constexpr CColour kBandFill{0x50FFFFFFu};

// One cell of the design grid: a white dot in the top-left corner of a clear square the pitch
// wide. Tiled over an area from the panel's corner, it draws every dot of the grid there.
const CImage& GridCell(int pitch) {
  static std::map<int, CImage> cells;
  CImage& cell = cells[pitch];
  if (cell.IsNull()) {
    cell = CImage(pitch, pitch);
    cell.SetPixel(0, 0, CColour::FromRgb(255, 255, 255));
  }
  return cell;
}
}  // namespace

void CCustomControlPanelWnd::CreateBackBuffer(int width, int height) { ResetBackBuffer(width, height); }

void CCustomControlPanelWnd::RebuildDisplay() {
  if (!m_data) return;
  CreateBackBuffer(width(), height());
  for (CCustomControlObject* widget : m_data->m_widgets) widget->RefreshState();
  RedrawRect(CRect{0, 0, width(), height()}, true, true);
}

void CCustomControlPanelWnd::RedrawRect(const CRect& rect, bool invalidate, bool drawBackground) {
  CImage* buffer = GetBackBuffer();
  if (!buffer) return;
  const CRect clip{std::max(rect.left, 0), std::max(rect.top, 0), rect.right, rect.bottom};
  if (clip.right <= clip.left || clip.bottom <= clip.top) return;
  const bool design = DesignMode();
  if (clip.left == 0 && clip.top == 0 && clip.right >= buffer->Width() && clip.bottom >= buffer->Height())
    m_pictures.Clear();
  const CPictureUse use(m_pictures);
  {
    Graphics g(*buffer);
    g.SetClip(clip);
    if (drawBackground) DrawBackground(g, clip);
    if (m_data) {
      for (CCustomControlObject* widget : m_data->m_widgets) {
        const bool selected = IsSelected(widget);
        CRect area = widget->GetBoundsRect();
        if (selected) area = Union(area, Grown(widget->m_rect, kSelectionBand));
        if (!Meets(area, clip)) continue;
        if (widget->m_hitTest) widget->DrawInPanel(g, clip, design);
        if (selected && !m_designer.IsMoving()) DrawSelection(g, widget);
      }
    }
    if (m_designer.IsBandShown()) {
      const CRectF area = CRectF::FromRect(m_designer.GetBandRect());
      g.FillRectangle(CBrush(kBandFill), area);
      g.DrawRectangle(CPen(CColour::FromRgb(255, 255, 255), 1.0f),
                      CRectF{area.x, area.y, area.width - 1.0f, area.height - 1.0f});
    }
  }
  if (invalidate) InvalidateRect(clip);
}

void CCustomControlPanelWnd::DrawBackground(Graphics& g, const CRect& clip) {
  if (!m_data) return;
  const CRectF area = CRectF::FromRect(clip);
  g.FillRectangle(CBrush(m_data->m_background), area);
  const int cw = width();
  const int ch = height();
  const CImage bitmap = m_data->m_pBackgroundImage ? m_data->m_pBackgroundImage->GetBitmap() : CImage();
  if (!bitmap.IsNull()) {
    const int iw = bitmap.Width();
    const int ih = bitmap.Height();
    const std::uint32_t usage = m_data->m_imageUsage;
    auto drawPart = [&](int x, int y) {
      const CRect copy{x, y, x + iw, y + ih};
      const CRect part{std::max(copy.left, clip.left), std::max(copy.top, clip.top), std::min(copy.right, clip.right),
                       std::min(copy.bottom, clip.bottom)};
      if (part.right <= part.left || part.bottom <= part.top) return;
      g.DrawImage(bitmap, CRectF::FromRect(part), CRectF::FromRect(Offset(part, -x, -y)));
    };
    if (usage & kImageUsageTile) {
      // Copies from the panel's top-left corner over the panel, within the clip.
      const CRect part{clip.left, clip.top, std::min(clip.right, cw), std::min(clip.bottom, ch)};
      if (part.right > part.left && part.bottom > part.top) g.FillTiled(bitmap, CRectF::FromRect(part), CPointF{0, 0});
    } else if (usage & kImageUsageCentre) {
      drawPart((cw - iw) / 2, (ch - ih) / 2);
    } else if ((usage & kImageUsageStretch) && cw > 0 && ch > 0) {
      const float sx = float(iw) / float(cw);
      const float sy = float(ih) / float(ch);
      g.DrawImage(bitmap, area, CRectF{area.x * sx, area.y * sy, area.width * sx, area.height * sy});
    }
  }
  if (DesignMode() && m_data->m_showGrid && m_data->m_gridPitch > 0) {
    // Every dot of the grid within the clip, in one fill.
    const CRect part{clip.left, clip.top, std::min(clip.right, GetBackBuffer()->Width()),
                     std::min(clip.bottom, GetBackBuffer()->Height())};
    if (part.right > part.left && part.bottom > part.top)
      g.FillTiled(GridCell(m_data->m_gridPitch), CRectF::FromRect(part), CPointF{0, 0});
  }
}

void CCustomControlPanelWnd::DrawFrame(Graphics& g, const CRect& rect) {
  g.DrawRectangle(CPen(kFrameColour, 6.0f),
                  CRectF{float(rect.left - 3), float(rect.top - 3), float(rect.Width() + 6), float(rect.Height() + 6)});
}

void CCustomControlPanelWnd::DrawSelection(Graphics& g, const CCustomControlObject* widget) {
  DrawFrame(g, widget->m_rect);
  for (const int n : CCustomPanelDesigner::Handles(widget)) {
    const CRect r = CCustomPanelDesigner::GetHandleRect(widget, n);
    const CRectF box{float(r.left), float(r.top), 5.0f, 5.0f};
    g.FillRectangle(CBrush(CColour::FromRgb(255, 255, 255)), box);
    g.DrawRectangle(CPen(CColour::FromRgb(0, 0, 0), 1.0f), box);
  }
}

void CCustomControlPanelWnd::ShowGhost(const CRect& rect) {
  CImage* buffer = GetBackBuffer();
  if (!buffer) return;
  {
    Graphics g(*buffer);
    DrawFrame(g, rect);
  }
  InvalidateRect(Grown(rect, kSelectionBand));
}

void CCustomControlPanelWnd::ShowGhosts(const std::vector<CRect>& rects) {
  CImage* buffer = GetBackBuffer();
  if (!buffer || rects.empty()) return;
  CRect shown;
  {
    Graphics g(*buffer);
    for (const CRect& rect : rects) {
      DrawFrame(g, rect);
      shown = Union(shown, Grown(rect, kSelectionBand));
    }
  }
  InvalidateRect(shown);
}

void CCustomControlPanelWnd::RedrawControl(CCustomControlObject* widget) {
  if (!m_data || std::find(m_data->m_widgets.begin(), m_data->m_widgets.end(), widget) == m_data->m_widgets.end())
    return;
  const CRect area =
      IsSelected(widget) && !m_designer.IsMoving() ? Grown(widget->m_rect, kSelectionBand) : widget->GetBoundsRect();
  if (HasArea(area)) RedrawRect(area, true, true);
}
