// The text widget's records and bounds.
#include "custom/TextControl.h"

#include "core/DataStream.h"
#include "platform/Archive.h"

namespace {
constexpr std::uint32_t kTextRecordVersion = 1;
}

CCCTextControl::CCCTextControl(CCustomControlPanel* view, const std::string& face, float points, std::uint32_t flags,
                               const CRect& rect)
    : m_flags(flags) {
  m_pView = view;
  m_rect = rect;
  m_textStyle.face = face;
  m_textStyle.size = std::int32_t(points * 100.0f);
}

CCCTextControl::CCCTextControl(const CCCTextControl& source)
    : CCustomControlObject(source),
      m_flags(source.m_flags),
      m_textColour(source.m_textColour),
      m_outlineColour(source.m_outlineColour),
      m_textStyle(source.m_textStyle),
      m_cornerRadius(source.m_cornerRadius),
      m_outlineWidth(source.m_outlineWidth),
      m_delayDragStep(source.m_delayDragStep),
      m_caption(source.m_caption),
      m_pressed(source.m_pressed),
      m_storedFont(source.m_storedFont) {}

void CCCTextControl::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  CCustomControlObject::Serialize(ar, lookup);
  if (ar.IsStoring()) {
    ar.WriteU32(kTextRecordVersion);
    ar << m_flags << m_caption << m_cornerRadius;
  } else {
    if (ar.ReadU32() != kTextRecordVersion)
      throw CArchiveException(CArchiveException::BadFormat, "unknown text widget record version");
    ar >> m_flags >> m_caption >> m_cornerRadius;
  }
  ArchiveColour(ar, m_haloColour);
  ArchiveColour(ar, m_textColour);
  ArchiveColour(ar, m_outlineColour);
  if (ar.IsStoring())
    ar << m_outlineWidth << m_delayDragStep;
  else
    ar >> m_outlineWidth >> m_delayDragStep;
  ArchiveTextStyle(ar, m_textStyle, m_storedFont);
}

void CCCTextControl::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  (void)lookup;
  try {
    if (!ds.Version(kTextRecordVersion)) return;
    ds.U32(m_flags);
    StreamString(ds, m_caption);
    ds.U32(m_cornerRadius);
    StreamColour(ds, m_haloColour);
    StreamColour(ds, m_textColour);
    StreamColour(ds, m_outlineColour);
    ds.U32(m_outlineWidth);
    ds.U32(m_delayDragStep);
    m_textStyle.SerializeStream(ds);
  } catch (const CStreamError&) {
  }
}

CRect CCCTextControl::GetBoundsRect() const {
  CRect r = m_rect;
  if (m_flags & kTextHalo) {
    r.left -= kTextHaloMargin;
    r.top -= kTextHaloMargin;
    r.right += kTextHaloMargin;
    r.bottom += kTextHaloMargin;
  }
  return r;
}
