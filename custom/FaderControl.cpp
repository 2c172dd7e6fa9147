// The fader widget's records, bounds and image reference.
#include "custom/FaderControl.h"

#include "core/DataStream.h"
#include "core/ImageTree.h"
#include "custom/CustomControls.h"
#include "platform/Archive.h"

namespace {
constexpr std::uint32_t kFaderRecordVersion = 1;
constexpr std::int32_t kScaleFontSize = 800;  // 8 points
constexpr int kBoundsMargin = 4;
}  // namespace

CCCFader::CCCFader() { m_scaleStyle.size = kScaleFontSize; }

CCCFader::CCCFader(CCustomControlPanel* view, const CRect& rect) : CCCFader() {
  m_pView = view;
  m_rect = rect;
}

CCCFader::CCCFader(const CCCFader& source)
    : CCustomControlObject(source),
      m_pKnobImage(source.m_pKnobImage),
      m_fillColour(source.m_fillColour),
      m_lineColour(source.m_lineColour),
      m_scaleColour(source.m_scaleColour),
      m_rangeMax(source.m_rangeMax),
      m_rangeMin(source.m_rangeMin),
      m_value(source.m_value),
      m_majorMarks(source.m_majorMarks),
      m_minorMarks(source.m_minorMarks),
      m_flags(source.m_flags),
      m_scaleStyle(source.m_scaleStyle),
      m_storedFont(source.m_storedFont) {}

void CCCFader::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  CCustomControlObject::Serialize(ar, lookup);
  if (ar.IsStoring()) {
    ar.WriteU32(kFaderRecordVersion);
    ar << m_flags << m_rangeMax << m_rangeMin << m_majorMarks << m_minorMarks;
  } else {
    if (ar.ReadU32() != kFaderRecordVersion)
      throw CArchiveException(CArchiveException::BadFormat, "unknown fader widget record version");
    ar >> m_flags >> m_rangeMax >> m_rangeMin >> m_majorMarks >> m_minorMarks;
  }
  ArchiveColour(ar, m_fillColour);
  ArchiveColour(ar, m_lineColour);
  ArchiveColour(ar, m_scaleColour);
  ArchiveImageRef(ar, m_pKnobImage, lookup);
  ArchiveTextStyle(ar, m_scaleStyle, m_storedFont);
}

void CCCFader::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  (void)lookup;
  try {
    if (!ds.Version(kFaderRecordVersion)) return;
    ds.U32(m_flags);
    StreamScaledFloat(ds, m_rangeMax);
    StreamScaledFloat(ds, m_rangeMin);
    ds.U32(m_majorMarks);
    ds.U32(m_minorMarks);
    StreamColour(ds, m_fillColour);
    StreamColour(ds, m_lineColour);
    StreamColour(ds, m_scaleColour);
    CUuid imageId = m_pKnobImage ? m_pKnobImage->GetId() : CUuid{};
    ds.Bytes(imageId.bytes.data(), imageId.bytes.size());
    m_scaleStyle.SerializeStream(ds);
  } catch (const CStreamError&) {
  }
}

CRect CCCFader::GetBoundsRect() const {
  CRect r = m_rect;
  r.right += kBoundsMargin;
  r.bottom += kBoundsMargin;
  return r;
}

std::uint32_t CCCFader::GetSizingMode() const {
  if (!m_pKnobImage) return 3;
  return (m_flags & kFaderHorizontal) ? 1 : 2;
}

bool CCCFader::ReleaseImage(CCCImageBase* image) { return ReleaseImageRef(m_pKnobImage, image); }
