// The knob widget's records and image reference.
#include "custom/KnobControl.h"

#include "core/DataStream.h"
#include "core/ImageTree.h"
#include "custom/CustomControls.h"
#include "platform/Archive.h"

namespace {
constexpr std::uint32_t kKnobRecordVersion = 1;
constexpr std::int32_t kScaleFontSize = 800;  // 8 points
}  // namespace

CCCKnob::CCCKnob() { m_scaleStyle.size = kScaleFontSize; }

CCCKnob::CCCKnob(CCustomControlPanel* view, const CRect& rect) : CCCKnob() {
  m_pView = view;
  m_rect = rect;
}

CCCKnob::CCCKnob(const CCCKnob& source)
    : CCustomControlObject(source),
      m_flags(source.m_flags),
      m_pImage(source.m_pImage),
      m_rangeMax(source.m_rangeMax),
      m_rangeMin(source.m_rangeMin),
      m_maxAngle(source.m_maxAngle),
      m_minAngle(source.m_minAngle),
      m_majorMarks(source.m_majorMarks),
      m_minorMarks(source.m_minorMarks),
      m_ledColour(source.m_ledColour),
      m_knobColour(source.m_knobColour),
      m_notchColour(source.m_notchColour),
      m_scaleColour(source.m_scaleColour),
      m_ledSize(source.m_ledSize),
      m_notchRadius(source.m_notchRadius),
      m_scaleStyle(source.m_scaleStyle),
      m_value(source.m_value),
      m_storedFont(source.m_storedFont) {}

void CCCKnob::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  CCustomControlObject::Serialize(ar, lookup);
  if (ar.IsStoring()) {
    ar.WriteU32(kKnobRecordVersion);
    ar << m_flags << m_rangeMax << m_rangeMin << m_maxAngle << m_minAngle << m_majorMarks << m_minorMarks
       << m_ledSize << m_notchRadius;
  } else {
    if (ar.ReadU32() != kKnobRecordVersion)
      throw CArchiveException(CArchiveException::BadFormat, "unknown knob widget record version");
    ar >> m_flags >> m_rangeMax >> m_rangeMin >> m_maxAngle >> m_minAngle >> m_majorMarks >> m_minorMarks >>
        m_ledSize >> m_notchRadius;
  }
  ArchiveColour(ar, m_ledColour);
  ArchiveColour(ar, m_knobColour);
  ArchiveColour(ar, m_notchColour);
  ArchiveColour(ar, m_scaleColour);
  ArchiveImageRef(ar, m_pImage, lookup);
  ArchiveTextStyle(ar, m_scaleStyle, m_storedFont);
}

void CCCKnob::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  (void)lookup;
  try {
    if (!ds.Version(kKnobRecordVersion)) return;
    ds.U32(m_flags);
    StreamScaledFloat(ds, m_rangeMax);
    StreamScaledFloat(ds, m_rangeMin);
    ds.I32(m_maxAngle);
    ds.I32(m_minAngle);
    ds.U32(m_majorMarks);
    ds.U32(m_minorMarks);
    ds.U32(m_ledSize);
    ds.U32(m_notchRadius);
    StreamColour(ds, m_ledColour);
    StreamColour(ds, m_knobColour);
    StreamColour(ds, m_notchColour);
    StreamColour(ds, m_scaleColour);
    CUuid imageId = m_pImage ? m_pImage->GetId() : CUuid{};
    StreamUuid(ds, imageId);
    m_scaleStyle.SerializeStream(ds);
  } catch (const CStreamError&) {
  }
}

bool CCCKnob::ReleaseImage(CCCImageBase* image) { return ReleaseImageRef(m_pImage, image); }
