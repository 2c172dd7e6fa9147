// The button and LED widgets' records, state and references.
#include "custom/ButtonControl.h"

#include "core/CPData.h"
#include "core/DataStream.h"
#include "core/ImageTree.h"
#include "core/Snapshot.h"
#include "core/System.h"
#include "platform/Archive.h"

namespace {
constexpr std::uint32_t kButtonRecordVersion = 2;
constexpr std::uint32_t kButtonRecordVersion1 = 1;
}  // namespace

CCCButton::CCCButton(CCustomControlPanel* view, const CRect& rect) {
  m_pView = view;
  m_rect = rect;
}

CCCButton::CCCButton(const CCCButton& source)
    : CCustomControlObject(source),
      m_state(source.m_state),
      m_pImage(source.m_pImage),
      m_flags(source.m_flags),
      m_text(source.m_text),
      m_textColour(source.m_textColour),
      m_outlineColour(source.m_outlineColour),
      m_fillColour(source.m_fillColour),
      m_haloColour(source.m_haloColour),
      m_textStyle(source.m_textStyle),
      m_cornerRadius(source.m_cornerRadius),
      m_outlineWidth(source.m_outlineWidth),
      m_haloSize(source.m_haloSize),
      m_panelId(source.m_panelId),
      m_snapshotId(source.m_snapshotId),
      m_storedFont(source.m_storedFont) {}

void CCCButton::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  CCustomControlObject::Serialize(ar, lookup);
  std::uint32_t version = kButtonRecordVersion;
  if (ar.IsStoring()) {
    ar.WriteU32(version);
    ar.WriteU32(m_flags);
    ar.WriteString(m_text);
    ar.WriteI32(m_cornerRadius);
  } else {
    version = ar.ReadU32();
    if (version != kButtonRecordVersion && version != kButtonRecordVersion1)
      throw CArchiveException(CArchiveException::BadFormat, "unknown button widget record version");
    m_flags = ar.ReadU32();
    if (version == kButtonRecordVersion1) m_flags |= kButtonModifyParameter;
    m_text = ar.ReadString();
    m_cornerRadius = ar.ReadI32();
  }
  ArchiveColour(ar, m_haloColour);
  ArchiveColour(ar, m_textColour);
  ArchiveColour(ar, m_outlineColour);
  ArchiveColour(ar, m_fillColour);
  if (ar.IsStoring())
    ar.WriteI32(m_outlineWidth);
  else
    m_outlineWidth = ar.ReadI32();
  ArchiveTextStyle(ar, m_textStyle, m_storedFont);
  ArchiveImageRef(ar, m_pImage, lookup);
  if (version == kButtonRecordVersion) {
    ArchiveUuid(ar, m_panelId);
    ArchiveUuid(ar, m_snapshotId);
  } else {
    m_panelId = CUuid{};
    m_snapshotId = CUuid{};
  }
}

void CCCButton::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  (void)lookup;
  try {
    if (!ds.Version(kButtonRecordVersion)) return;
    ds.U32(m_flags);
    StreamString(ds, m_text);
    ds.I32(m_cornerRadius);
    StreamColour(ds, m_haloColour);
    StreamColour(ds, m_textColour);
    StreamColour(ds, m_outlineColour);
    StreamColour(ds, m_fillColour);
    ds.I32(m_outlineWidth);
    m_textStyle.SerializeStream(ds);
    // The image stays as it is: a stream carries no image tree to look the id up in.
    CUuid imageId = m_pImage ? m_pImage->GetId() : CUuid{};
    StreamUuid(ds, imageId);
    StreamUuid(ds, m_panelId);
    StreamUuid(ds, m_snapshotId);
  } catch (const CStreamError&) {
  }
}

CRect CCCButton::GetBoundsRect() const {
  CRect r = m_rect;
  if (m_flags & kButtonOffset) {
    r.right += 1;
    r.bottom += 1;
  } else if (m_flags & kButtonHalo) {
    r.left -= m_haloSize;
    r.top -= m_haloSize;
    r.right += m_haloSize;
    r.bottom += m_haloSize;
  }
  return r;
}

std::uint32_t CCCButton::GetSizingMode() const {
  return m_pImage && (m_flags & kButtonFixToImage) ? 0 : 3;
}

CRect CCCButton::OnParameterUpdate(const CParamValue& value) {
  if (value.kind != kParamKindBool || !(m_flags & kButtonModifyParameter)) return CRect{};
  const bool on = value.flag != 0;
  const bool changed = on != m_state || GetParameterInfo().flag != m_lastInactive;
  if (!changed) return CRect{};
  m_state = on;
  return GetBoundsRect();
}

CRect CCCButton::OnSnapshotRecalled(const CUuid& snapshot) {
  if (snapshot != m_snapshotId) return CRect{};
  RefreshState();
  return GetBoundsRect();
}

void CCCButton::RefreshState() {
  if (m_flags & kButtonLaunchPanel) {
    m_state = true;
    return;
  }
  if (m_flags & kButtonRecallSnapshot) {
    CCPData* panel = GetPanel();
    CSystem* system = panel ? panel->GetOwner() : nullptr;
    if (!system) return;
    const auto& snapshots = system->GetSnapshots();
    bool lit = false;
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
      if (snapshots[i]->GetUuid() != m_snapshotId) continue;
      lit = std::int32_t(i) == system->GetCurrentSnapshot();
      break;
    }
    m_state = lit;
    return;
  }
  CCustomControlObject::RefreshState();
}

bool CCCButton::ReleaseImage(CCCImageBase* image) { return ReleaseImageRef(m_pImage, image); }

bool CCCButton::ClearPanelReference(const CUuid& panel) {
  if (m_panelId != panel) return false;
  m_panelId = CUuid{};
  return true;
}

bool CCCButton::ClearSnapshotReference(const CUuid& snapshot) {
  if (m_snapshotId != snapshot) return false;
  m_snapshotId = CUuid{};
  return true;
}
