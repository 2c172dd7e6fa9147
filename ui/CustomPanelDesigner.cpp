// The custom panel view's design-mode editor: selection, band, move, resize, placing, nudging,
// deleting, stacking order, the design commands and the widget clipboard.
#include "ui/CustomPanelDesigner.h"

#include <QAction>
#include <QMenu>
#include <algorithm>
#include <unordered_set>

#include "custom/CPData.h"
#include "core/system/System.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/CustomControls.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "platform/MouseMessages.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/CustomPanelGeometry.h"

using namespace panelgeometry;

namespace {

// The text widget that Add Text Control creates.
constexpr const char* kNewTextFace = "Arial";
constexpr float kNewTextPoints = 10.0f;
constexpr std::uint32_t kNewTextFlags = 0x483120;

// The anchor of a handle: the corner of the widget's rectangle that it drags.
CPoint Anchor(const CRect& r, int handle) {
  switch (handle) {
    case 2:
    case 4:
    case 8: return CPoint{r.right, r.bottom};
    case 7: return CPoint{r.left, r.bottom};
    case 6: return CPoint{r.right, r.top};
    default: return CPoint{r.left, r.top};
  }
}

// The rectangle of a widget at point (its top-left corner), the widget's size.
CRect At(CPoint point, const CRect& size) {
  return CRect{point.x, point.y, point.x + size.Width(), point.y + size.Height()};
}

// Where the count-th paste without the pointer over the panel puts the copied group, as an
// offset from where it was copied: in slots of the group's size, one group further right along
// its own row while it stays in the window, then from the window's left edge row by row below
// it, and from the top again past the bottom. A copy lands where the person can see it, and
// every copy lies within the window (at its top-left corner when it is larger).
CPoint PasteOffset(const CRect& group, int count, int windowWidth, int windowHeight) {
  const int width = std::max(1, group.Width()), height = std::max(1, group.Height());
  const int alongRow = std::max(0, (windowWidth - group.right) / width);
  if (count <= alongRow) return CPoint{width * count, 0};
  const int slot = count - alongRow - 1;
  const int columns = std::max(1, windowWidth / width), rows = std::max(1, windowHeight / height);
  const int firstRow = (std::max(0, group.bottom) + height - 1) / height;
  const int column = slot % columns, row = (firstRow + slot / columns) % rows;
  return CPoint{column * width - group.left, row * height - group.top};
}

}  // namespace

CCustomPanelDesigner::CCustomPanelDesigner(CCustomControlPanelWnd& view) : m_view(view) {}

void CCustomPanelDesigner::ShowWidgetProperties(CCustomControlObject* widget, LPARAM force) {
  m_view.ShowWidgetProperties(widget, force != 0);
}

void CCustomPanelDesigner::ShowSelectedWidgetProperties() {
  if (m_selection.size() != 1) return;
  CCustomControlObject* widget = m_selection.front();
  ShowWidgetProperties(widget);
  // Shown already, the rows keep their texts: the rectangle's rows take the widget's own.
  m_view.ShowWidgetGeometry(widget, widget->m_rect);
}

void CCustomPanelDesigner::ShowPanelProperties() {
  m_view.ShowPanelProperties();
}

// --- Mouse ---

void CCustomPanelDesigner::OnLButtonDown(std::uint32_t flags, CPoint point) {
  if (m_pending) return PlacePending();
  if (CCustomControlObject* widget = m_view.HitTest(point)) {
    if (!(flags & MK_CONTROL)) ClearSelection();
    AddToSelection(widget);
    ShowWidgetProperties(!(flags & MK_CONTROL) || m_selection.size() == 1 ? widget : nullptr);
    m_view.RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
    m_moving = true;
    m_moved = false;
    m_dragStart = point;
    return;
  }
  for (CCustomControlObject* widget : m_selection) {
    if (const int handle = HitTestHandle(widget, point.x, point.y)) return StartResize(widget, handle, point);
  }
  StartBand();
  m_bandStart = m_bandEnd = point;
}

void CCustomPanelDesigner::StartResize(CCustomControlObject* widget, int handle, CPoint point) {
  SetSizingCursor(handle);
  ClearSelection();
  AddToSelection(widget);
  m_handle = handle;
  const CPoint anchor = Anchor(widget->m_rect, handle);
  m_points.back() = anchor;
  m_grabOffset = CPoint{point.x - anchor.x, point.y - anchor.y};
  m_view.RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
  m_view.ShowGhost(widget->m_rect);
}

void CCustomPanelDesigner::StartBand() {
  m_view.setCursor(Qt::ArrowCursor);
  ClearSelection();
  ShowPanelProperties();
  m_moving = false;
  m_band = true;
}

void CCustomPanelDesigner::OnRightClick(std::uint32_t flags, CPoint point) {
  if (m_pending) return PlacePending();
  if (CCustomControlObject* widget = m_view.HitTest(point)) {
    ShowWidgetProperties(widget);
    if (!(flags & MK_CONTROL)) ClearSelection();
    AddToSelection(widget);
    m_view.RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
    m_moving = false;
    m_moved = false;
    m_dragStart = point;
    return;
  }
  m_view.setCursor(Qt::ArrowCursor);
  ClearSelection();
  ShowPanelProperties();
  m_moving = false;
}

void CCustomPanelDesigner::OnMouseMove(CPoint point) {
  if (m_pending) {
    const CPoint s = SnapToGrid(point);
    const CRect old = m_pending->m_rect;
    m_pending->SetRect(s.x, s.y, s.x + old.Width(), s.y + old.Height());
    m_view.RedrawRect(Grown(old, kSelectionBand), true, true);
    m_view.ShowGhost(m_pending->m_rect);
  } else if (m_moving) {
    MoveGhosts(point);
  } else if (m_handle != 0 && !m_selection.empty()) {
    ResizeGhost(point);
  } else if (m_band) {
    DragBand(point);
  } else {
    int handle = 0;
    for (const CCustomControlObject* widget : m_selection) {
      if ((handle = HitTestHandle(widget, point.x, point.y)) != 0) break;
    }
    SetSizingCursor(handle);
  }
}

void CCustomPanelDesigner::MoveGhosts(CPoint point) {
  m_moved = true;
  const CPoint off = MoveOffset(point);
  // The old ghosts go in one redraw, then every new ghost is drawn.
  CRect old;
  std::vector<CRect> ghosts;
  ghosts.reserve(m_selection.size());
  for (std::size_t i = 0; i < m_selection.size(); ++i) {
    const CRect& r = m_selection[i]->m_rect;
    old = Union(old, Grown(At(m_points[i], r), kSelectionBand));
    ghosts.push_back(Offset(r, off.x, off.y));
    m_points[i] = CPoint{ghosts.back().left, ghosts.back().top};
  }
  m_view.RedrawRect(old, true, true);
  m_view.ShowGhosts(ghosts);
  if (m_selection.size() == 1) m_view.ShowWidgetGeometry(m_selection.front(), ghosts.front());
}

void CCustomPanelDesigner::ResizeGhost(CPoint point) {
  CCustomControlObject* widget = m_selection.back();
  const CPoint s = SnapToGrid(CPoint{point.x - m_grabOffset.x, point.y - m_grabOffset.y});
  const CRect ghost = ResizedRect(widget, s);
  const CRect oldGhost = ResizedRect(widget, m_points.back());
  if (ghost == oldGhost) return;
  m_view.RedrawRect(Grown(oldGhost, kSelectionBand), true, true);
  m_view.ShowGhost(ghost);
  m_points.back() = s;
  if (m_selection.size() == 1) m_view.ShowWidgetGeometry(widget, ghost);
}

void CCustomPanelDesigner::DragBand(CPoint point) {
  const CRect oldBand = GetBandRect();
  m_bandEnd = point;
  const CRect band = GetBandRect();
  m_view.RedrawRect(Grown(Union(oldBand, band), 1), true, true);
  auto inside = [&band](const CCustomControlObject* w) {
    return HoldsPoint(band, CPoint{w->m_rect.left, w->m_rect.top}) &&
           HoldsPoint(band, CPoint{w->m_rect.right, w->m_rect.bottom});
  };
  // The widgets that come into the band and those that leave it are drawn again with the band,
  // in one redraw.
  CRect dirty = Grown(Union(oldBand, band), 1);
  const auto& widgets = m_view.GetPanelData()->m_widgets;
  for (auto it = widgets.rbegin(); it != widgets.rend(); ++it) {
    if (inside(*it) && !IsSelected(*it)) {
      AddToSelection(*it);
      dirty = Union(dirty, GetControlRect(*it));
    }
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < m_selection.size(); ++i) {
    CCustomControlObject* widget = m_selection[i];
    if (inside(widget)) {
      m_selection[kept] = widget;
      m_points[kept++] = m_points[i];
    } else {
      m_selected.erase(widget);
      dirty = Union(dirty, GetControlRect(widget));
    }
  }
  m_selection.resize(kept);
  m_points.resize(kept);
  m_view.RedrawRect(dirty, true, true);
}

void CCustomPanelDesigner::OnLButtonUp(CPoint point) {
  if (m_moving && m_moved) {
    m_moving = false;
    const CPoint off = MoveOffset(point);
    CRect dirty;
    for (std::size_t i = 0; i < m_selection.size(); ++i) {
      CCustomControlObject* widget = m_selection[i];
      const CRect old = widget->m_rect;
      const CRect moved = Offset(old, off.x, off.y);
      widget->SetRect(moved.left, moved.top, moved.right, moved.bottom);
      dirty = Union(dirty, Union(Grown(old, kSelectionBand), Grown(moved, kSelectionBand)));
      m_points[i] = CPoint{moved.left, moved.top};
    }
    m_view.RedrawRect(dirty, true, true);
    ShowSelectedWidgetProperties();
    m_view.SetModified();
  } else if (m_handle != 0 && !m_selection.empty()) {
    CCustomControlObject* widget = m_selection.back();
    const CRect old = widget->m_rect;
    const CRect sized = ResizedRect(widget, m_points.back());
    widget->SetRect(sized.left, sized.top, sized.right, sized.bottom);
    m_handle = 0;
    m_view.RedrawRect(Union(Grown(old, kSelectionBand), Grown(sized, kSelectionBand)), true, true);
    ShowSelectedWidgetProperties();
    m_view.SetModified();
  } else if (m_band) {
    EraseBand();
  }
  EndDrag();
}

// --- Keys ---

void CCustomPanelDesigner::OnKeyDown(int key) {
  switch (key) {
    case VK_BACK:
    case VK_DELETE:
      DeleteSelection();
      return;
    case VK_ESCAPE: CancelEdit(); return;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      if (!m_selection.empty()) Nudge(key);
      return;
    default: return;
  }
}

void CCustomPanelDesigner::CancelEdit() {
  if (m_pending) {
    const CRect area = Grown(m_pending->m_rect, kSelectionBand);
    m_pending.reset();
    m_view.RedrawRect(area, true, true);
    m_tool = kToolSelect;
  }
  if (m_moving && m_moved) {
    m_moving = false;
    const CPoint off = MoveOffset(m_view.PointerPosition());
    CRect dirty;
    for (std::size_t i = 0; i < m_selection.size(); ++i) {
      const CRect& r = m_selection[i]->m_rect;
      dirty = Union(dirty, Grown(Offset(r, off.x, off.y), kSelectionBand));
      dirty = Union(dirty, Grown(At(m_points[i], r), kSelectionBand));
      dirty = Union(dirty, Grown(r, kSelectionBand));
      m_points[i] = CPoint{r.left, r.top};
    }
    m_view.RedrawRect(dirty, true, true);
    ShowSelectedWidgetProperties();
  } else if (m_handle != 0 && !m_selection.empty()) {
    CCustomControlObject* widget = m_selection.back();
    const CRect ghost = ResizedRect(widget, m_points.back());
    m_handle = 0;
    m_view.RedrawRect(Grown(ghost, kSelectionBand), true, true);
    m_view.RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
    m_points.back() = CPoint{widget->m_rect.left, widget->m_rect.top};
    ShowSelectedWidgetProperties();
    m_view.SetModified();
  } else if (m_band) {
    EraseBand();
  }
  EndDrag();
}

CRect CCustomPanelDesigner::GetBandRect() const {
  return Normalised(CRect{m_bandStart.x, m_bandStart.y, m_bandEnd.x, m_bandEnd.y});
}

void CCustomPanelDesigner::EraseBand() {
  const CRect band = GetBandRect();
  m_band = false;
  m_view.RedrawRect(Grown(band, 1), true, true);
}

void CCustomPanelDesigner::EndDrag() {
  m_band = false;
  m_moving = false;
  m_handle = 0;
}

void CCustomPanelDesigner::Nudge(int key) {
  const CCPData* data = m_view.GetPanelData();
  const int step = data->m_snapToGrid ? data->m_gridPitch : 1;
  const int dx = key == VK_LEFT ? -step : key == VK_RIGHT ? step : 0;
  const int dy = key == VK_UP ? -step : key == VK_DOWN ? step : 0;
  const CRect client{0, 0, m_view.width(), m_view.height()};
  const bool fits = std::all_of(m_selection.begin(), m_selection.end(), [&](const CCustomControlObject* w) {
    return HoldsPoint(client, CPoint{w->m_rect.left + dx, w->m_rect.top + dy});
  });
  if (fits) {
    CRect dirty;
    for (std::size_t i = 0; i < m_selection.size(); ++i) {
      CCustomControlObject* widget = m_selection[i];
      const CRect old = Union(Grown(widget->m_rect, kSelectionBand), widget->GetBoundsRect());
      const CRect moved = Offset(widget->m_rect, dx, dy);
      widget->SetRect(moved.left, moved.top, moved.right, moved.bottom);
      dirty = Union(dirty, Union(old, Union(Grown(moved, kSelectionBand), widget->GetBoundsRect())));
      m_points[i] = CPoint{moved.left, moved.top};
    }
    m_view.RedrawRect(dirty, true, true);
  }
  ShowSelectedWidgetProperties();
  m_view.SetModified();
}

// --- Commands ---

void CCustomPanelDesigner::SetPending(std::uint32_t tool, CCustomControlObject* widget) {
  m_tool = tool;
  m_pending.reset(widget);
}

void CCustomPanelDesigner::OnCommand(std::uint32_t id) {
  CCustomControlPanel* view = &m_view;
  switch (id) {
    case kCmdSelectMode: m_tool = kToolSelect; break;
    case kCmdAddText:
      SetPending(kToolText, new CCCTextControl(view, kNewTextFace, kNewTextPoints, kNewTextFlags, CRect{0, 0, 50, 20}));
      break;
    case kCmdAddKnob: SetPending(kToolKnob, new CCCKnob(view, CRect{0, 0, 40, 40})); break;
    case kCmdAddFader: SetPending(kToolFader, new CCCFader(view, CRect{0, 0, 15, 150})); break;
    case kCmdAddBitmap: SetPending(kToolBitmap, new CCCBitmap(view, CRect{0, 0, 60, 60})); break;
    case kCmdAddLed: SetPending(kToolLed, new CCCLED(view, CRect{0, 0, 20, 20})); break;
    case kCmdAddButton: SetPending(kToolButton, new CCCButton(view, CRect{0, 0, 50, 20})); break;
    case kCmdDeleteControl: DeleteSelection(); break;
    case kCmdRaise:
    case kCmdLower:
    case kCmdRaiseToTop:
    case kCmdLowerToBottom: MoveInZOrder(id); break;
    case kCmdEditCopy: CopySelection(); break;
    case kCmdEditPaste: PasteControls(); break;
    default: break;
  }
}

bool CCustomPanelDesigner::IsCommandEnabled(std::uint32_t id, bool* checked) const {
  bool tick = false;
  bool enabled = true;
  switch (id) {
    case kCmdSelectMode: tick = m_tool == kToolSelect; break;
    case kCmdAddText: tick = m_tool == kToolText; break;
    case kCmdAddKnob: tick = m_tool == kToolKnob; break;
    case kCmdAddFader: tick = m_tool == kToolFader; break;
    case kCmdAddBitmap: tick = m_tool == kToolBitmap; break;
    case kCmdAddLed: tick = m_tool == kToolLed; break;
    case kCmdAddButton: tick = m_tool == kToolButton; break;
    case kCmdDeleteControl: enabled = !m_selection.empty(); break;
    case kCmdRaise:
    case kCmdLower:
    case kCmdRaiseToTop:
    case kCmdLowerToBottom: enabled = m_selection.size() == 1; break;
    default: enabled = false; break;
  }
  if (checked) *checked = tick;
  return enabled;
}

void CCustomPanelDesigner::UpdateContextMenu(QMenu& menu) const {
  while (menu.actions().size() > 2) menu.removeAction(menu.actions().at(1));
  std::vector<std::pair<std::uint32_t, const char*>> items;  // id 0: separator
  if (!m_selection.empty()) {
    items = {{0, ""}, {kCmdDeleteControl, "Delete Control"}, {0, ""}, {kCmdEditCopy, "Copy"}, {kCmdEditPaste, "Paste"}};
    if (m_selection.size() == 1) {
      items.insert(items.end(), {{0, ""},
                                 {kCmdRaise, "Raise"},
                                 {kCmdLower, "Lower"},
                                 {kCmdRaiseToTop, "Raise To Top"},
                                 {kCmdLowerToBottom, "Lower To Bottom"}});
    }
  } else if (!m_view.m_system.GetCopiedWidgets().empty()) {
    items = {{0, ""}, {kCmdEditPaste, "Paste"}};
  }
  // Inserted before the resource's separator, which ends up last.
  QAction* last = menu.actions().size() > 1 ? menu.actions().at(1) : nullptr;
  for (const auto& [id, text] : items) {
    auto* action = new QAction(&menu);
    if (id == 0) {
      action->setSeparator(true);
    } else {
      action->setText(QString::fromLatin1(text));
      action->setData(QVariant::fromValue(id));
    }
    menu.insertAction(last, action);
  }
}

void CCustomPanelDesigner::DeleteSelection() {
  if (m_selection.empty()) return;
  // One pass over the panel's widgets takes every selected one out, and one redraw shows it.
  auto& widgets = m_view.GetPanelData()->m_widgets;
  const std::unordered_set<const CCustomControlObject*> selected = std::move(m_selected);
  Reset();
  CRect area;
  std::erase_if(widgets, [&](CCustomControlObject* widget) {
    if (!selected.count(widget)) return false;
    area = Union(area, Union(Grown(widget->m_rect, kSelectionBand), widget->GetBoundsRect()));
    m_view.ForgetActiveControl(widget);
    delete widget;
    return true;
  });
  m_view.RedrawRect(area, true, true);
  ShowPanelProperties();
  m_view.SetModified();
}

void CCustomPanelDesigner::MoveInZOrder(std::uint32_t id) {
  if (m_selection.size() != 1) return;
  CCustomControlObject* widget = m_selection.front();
  auto& widgets = m_view.GetPanelData()->m_widgets;
  const auto it = std::find(widgets.begin(), widgets.end(), widget);
  if (it == widgets.end()) return;
  const std::ptrdiff_t i = it - widgets.begin();
  const std::ptrdiff_t count = std::ptrdiff_t(widgets.size());
  std::ptrdiff_t to = i;
  if (id == kCmdRaise && i < count - 1) to = i + 1;
  if (id == kCmdLower && i >= 1) to = i - 1;
  if (id == kCmdRaiseToTop) to = count - 1;
  if (id == kCmdLowerToBottom) to = 0;
  if (to == i) return;
  widgets.erase(it);
  widgets.insert(widgets.begin() + to, widget);
  m_view.RedrawRect(Union(widget->GetBoundsRect(), GetControlRect(widget)), true, true);
  m_view.SetModified();
}

void CCustomPanelDesigner::CopySelection() {
  if (!m_selection.empty()) {
    auto& copied = m_view.m_system.Panels().GetCopiedWidgets();
    DeleteCustomControlObjects(copied);
    for (const CCustomControlObject* widget : m_selection) {
      if (CCustomControlObject* copy = CopyCustomControl(*widget)) copied.push_back(copy);
    }
  }
  m_pasteCounter = 0;
}

void CCustomPanelDesigner::PasteControls() {
  const auto& copied = m_view.m_system.GetCopiedWidgets();
  CCPData* data = m_view.GetPanelData();
  if (data && !copied.empty()) {
    CRect group{};
    for (const CCustomControlObject* widget : copied) group = Union(group, Normalised(widget->m_rect));
    CPoint offset;
    const CPoint pointer = m_view.PointerPosition();
    if (pointer.x >= 0 && pointer.y >= 0 && pointer.x < m_view.width() && pointer.y < m_view.height()) {
      offset = CPoint{pointer.x - group.left, pointer.y - group.top};
    } else {
      ++m_pasteCounter;
      offset = PasteOffset(group, m_pasteCounter, m_view.width(), m_view.height());
    }
    ClearSelection();
    CRect pasted;
    for (const CCustomControlObject* source : copied) {
      CCustomControlObject* widget = CopyCustomControl(*source);
      if (!widget) continue;
      const CRect r = Offset(source->m_rect, offset.x, offset.y);
      widget->SetRect(r.left, r.top, r.right, r.bottom);
      data->m_widgets.push_back(widget);
      widget->m_pView = &m_view;
      AddToSelection(widget);
      pasted = Union(pasted, Grown(widget->m_rect, kSelectionBand));
    }
    m_view.RedrawRect(pasted, true, true);
    ShowWidgetProperties(copied.size() == 1 ? data->m_widgets.back() : nullptr, copied.size() == 1 ? 1 : 0);
  }
  m_view.SetModified();
}

void CCustomPanelDesigner::PlacePending() {
  CCustomControlObject* widget = m_pending.release();
  m_view.GetPanelData()->m_widgets.push_back(widget);
  widget->m_pView = &m_view;
  ClearSelection();
  AddToSelection(widget);
  m_view.RedrawRect(Grown(widget->m_rect, kSelectionBand), true, true);
  ShowWidgetProperties(widget);
  m_tool = kToolSelect;
  m_view.SetModified();
}

// --- Selection and geometry ---

int CCustomPanelDesigner::SelectionIndex(const CCustomControlObject* widget) const {
  const auto it = std::find(m_selection.begin(), m_selection.end(), widget);
  return it == m_selection.end() ? -1 : int(it - m_selection.begin());
}

void CCustomPanelDesigner::AddToSelection(CCustomControlObject* widget) {
  if (!m_selected.insert(widget).second) {
    const int i = SelectionIndex(widget);
    m_selection.erase(m_selection.begin() + i);
    m_points.erase(m_points.begin() + i);
  }
  m_selection.push_back(widget);
  m_points.push_back(CPoint{widget->m_rect.left, widget->m_rect.top});
}

void CCustomPanelDesigner::ClearSelection() {
  CRect frames;
  for (const CCustomControlObject* widget : m_selection) frames = Union(frames, Grown(widget->m_rect, kSelectionBand));
  Reset();
  // The frames go in one redraw, now that no widget is selected.
  m_view.RedrawRect(frames, true, true);
}

void CCustomPanelDesigner::Reset() {
  m_selection.clear();
  m_selected.clear();
  m_points.clear();
}

CPoint CCustomPanelDesigner::SnapToGrid(CPoint point) const {
  const CCPData* data = m_view.GetPanelData();
  if (!data || !data->m_snapToGrid || data->m_gridPitch <= 0) return point;
  const int p = data->m_gridPitch;
  auto snap = [p](int c) {
    if (c < 0) return c;
    return (c / p) * p + ((c % p) > p / 2 ? p : 0);
  };
  return CPoint{snap(point.x), snap(point.y)};
}

CRect CCustomPanelDesigner::GetControlRect(const CCustomControlObject* widget) {
  return Normalised(Grown(widget->m_rect, kSelectionBand));
}

CRect CCustomPanelDesigner::GetHandleRect(const CCustomControlObject* widget, int handle) {
  const CRect g = Grown(widget->m_rect, kSelectionBand);
  const int midX = g.left + (g.right - g.left) / 2;
  const int midY = g.top + (g.bottom - g.top) / 2;
  const int s = kSelectionBand;
  switch (handle) {
    case 1: return CRect{g.left, midY - 3, g.left + s, midY + 3};
    case 2: return CRect{g.right - s, midY - 3, g.right, midY + 3};
    case 3: return CRect{midX - 3, g.top, midX + 3, g.top + s};
    case 4: return CRect{midX - 3, g.bottom - s, midX + 3, g.bottom};
    case 5: return CRect{g.left, g.top, g.left + s, g.top + s};
    case 6: return CRect{g.right - s, g.top, g.right, g.top + s};
    case 7: return CRect{g.left, g.bottom - s, g.left + s, g.bottom};
    case 8: return CRect{g.right - s, g.bottom - s, g.right, g.bottom};
    default: return CRect{};
  }
}

std::vector<int> CCustomPanelDesigner::Handles(const CCustomControlObject* widget) {
  const std::uint32_t mode = widget->GetSizingMode();
  std::vector<int> handles;
  if (mode & 0x1) handles.insert(handles.end(), {1, 2});
  if (mode & 0x2) handles.insert(handles.end(), {3, 4});
  if ((mode & 0x3) == 0x3) handles.insert(handles.end(), {5, 7, 6, 8});
  return handles;
}

int CCustomPanelDesigner::HitTestHandle(const CCustomControlObject* widget, int x, int y) {
  for (const int n : Handles(widget)) {
    if (HoldsPoint(GetHandleRect(widget, n), CPoint{x, y})) return n;
  }
  return 0;
}

void CCustomPanelDesigner::SetSizingCursor(int handle) {
  switch (handle) {
    case 1:
    case 2: m_view.setCursor(Qt::SizeHorCursor); break;
    case 3:
    case 4: m_view.setCursor(Qt::SizeVerCursor); break;
    case 5:
    case 8: m_view.setCursor(Qt::SizeFDiagCursor); break;
    case 6:
    case 7: m_view.setCursor(Qt::SizeBDiagCursor); break;
    default: m_view.setCursor(Qt::ArrowCursor); break;
  }
}

CPoint CCustomPanelDesigner::MoveOffset(CPoint point) const {
  const CPoint d{point.x - m_dragStart.x, point.y - m_dragStart.y};
  if (m_selection.empty()) return d;
  const CRect& last = m_selection.back()->m_rect;
  const CPoint moved{last.left + d.x, last.top + d.y};
  const CPoint snapped = SnapToGrid(moved);
  return CPoint{d.x + snapped.x - moved.x, d.y + snapped.y - moved.y};
}

CRect CCustomPanelDesigner::ResizedRect(const CCustomControlObject* widget, CPoint s) const {
  CRect r = widget->m_rect;
  switch (m_handle) {
    case 1: r.left = s.x; break;
    case 2: r.right = s.x; break;
    case 3: r.top = s.y; break;
    case 4: r.bottom = s.y; break;
    case 5: r.left = s.x, r.top = s.y; break;
    case 6: r.right = s.x, r.top = s.y; break;
    case 7: r.left = s.x, r.bottom = s.y; break;
    case 8: r.right = s.x, r.bottom = s.y; break;
    default: break;
  }
  return widget->AdjustSizingRect(Normalised(r), m_handle);
}
