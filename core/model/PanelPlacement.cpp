// Where a device's control panel goes, and its run of words in the device's record.
#include "core/model/PanelPlacement.h"

#include <utility>

#include "core/file/DataStream.h"
#include "platform/Archive.h"

namespace {
// Length word of the archive's placement block: eleven 32-bit words.
constexpr std::uint32_t kPlacementLength = 44;
}  // namespace

CWindowPlacement CPanelPlacement::GetPanelPlacement() const {
  CWindowPlacement wp;
  wp.flags = std::uint32_t(m_placement[kPlFlags]);
  wp.showCmd = std::uint32_t(m_placement[kPlShowCmd]);
  wp.minPosition = CPoint{m_placement[kPlMinX], m_placement[kPlMinY]};
  wp.maxPosition = CPoint{m_placement[kPlMaxX], m_placement[kPlMaxY]};
  wp.normalPosition =
      CRect{m_placement[kPlLeft], m_placement[kPlTop], m_placement[kPlRight], m_placement[kPlBottom]};
  return wp;
}

void CPanelPlacement::SetPanelPlacement(const CWindowPlacement& wp) {
  m_placement[kPlFlags] = std::int32_t(wp.flags);
  m_placement[kPlShowCmd] = std::int32_t(wp.showCmd);
  m_placement[kPlMinX] = wp.minPosition.x;
  m_placement[kPlMinY] = wp.minPosition.y;
  m_placement[kPlMaxX] = wp.maxPosition.x;
  m_placement[kPlMaxY] = wp.maxPosition.y;
  m_placement[kPlLeft] = wp.normalPosition.left;
  m_placement[kPlTop] = wp.normalPosition.top;
  m_placement[kPlRight] = wp.normalPosition.right;
  m_placement[kPlBottom] = wp.normalPosition.bottom;
}

void CPanelPlacement::Store(CArchive& ar, bool panelOpen) const {
  // Window-placement order: length first, minimised before maximised.
  ar.WriteU32(kPlacementLength);
  ar.WriteU32(std::uint32_t(m_placement[kPlFlags]));
  ar.WriteU32(std::uint32_t(m_placement[kPlShowCmd]));
  ar.WriteI32(m_placement[kPlMinX]);
  ar.WriteI32(m_placement[kPlMinY]);
  ar.WriteI32(m_placement[kPlMaxX]);
  ar.WriteI32(m_placement[kPlMaxY]);
  ar.WriteI32(m_placement[kPlLeft]);
  ar.WriteI32(m_placement[kPlTop]);
  ar.WriteI32(m_placement[kPlRight]);
  ar.WriteI32(m_placement[kPlBottom]);
  ar.WriteU32(panelOpen ? 1u : 0u);
  ar.WriteI32(m_panelOrder);
}

void CPanelPlacement::Load(CArchive& ar) {
  ar.ReadU32();  // placement length
  m_placement[kPlFlags] = ar.ReadI32();
  m_placement[kPlShowCmd] = ar.ReadI32();
  m_placement[kPlMinX] = ar.ReadI32();
  m_placement[kPlMinY] = ar.ReadI32();
  m_placement[kPlMaxX] = ar.ReadI32();
  m_placement[kPlMaxY] = ar.ReadI32();
  m_placement[kPlLeft] = ar.ReadI32();
  m_placement[kPlTop] = ar.ReadI32();
  m_placement[kPlRight] = ar.ReadI32();
  m_placement[kPlBottom] = ar.ReadI32();
  // The stored word was a window address: it only tells that the panel was open.
  m_panelWasOpen = ar.ReadU32() != 0;
  m_panelOrder = ar.ReadI32();
  if (m_placement[kPlRight] < m_placement[kPlLeft]) std::swap(m_placement[kPlLeft], m_placement[kPlRight]);
  if (m_placement[kPlBottom] < m_placement[kPlTop]) std::swap(m_placement[kPlTop], m_placement[kPlBottom]);
}

void CPanelPlacement::Stream(CDataStream& ds, bool panelOpen) {
  // The stream keeps the device's own order: the maximised point is the first position.
  CWindowPlacement wp = GetPanelPlacement();
  std::swap(wp.minPosition, wp.maxPosition);
  StreamWindowPlacement(ds, wp);
  std::uint32_t open = panelOpen ? 1u : 0u;
  std::int32_t order = m_panelOrder;
  if (ds.IsLoading()) {
    std::swap(wp.minPosition, wp.maxPosition);
    SetPanelPlacement(wp);
  }
  ds.U32(open);
  if (ds.IsLoading()) m_panelWasOpen = open != 0;
  ds.I32(order);
  if (ds.IsLoading()) m_panelOrder = order;
}
