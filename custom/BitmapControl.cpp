// The bitmap widget's records, sizing and image reference.
#include "custom/BitmapControl.h"

#include <cmath>

#include "core/file/DataStream.h"
#include "core/file/ImageTree.h"
#include "platform/Archive.h"
#include "platform/Graphics.h"
#include "core/draw/TextStyle.h"
#include "custom/WidgetDrawing.h"

namespace {
constexpr std::uint32_t kBitmapRecordVersion = 1;
}

CCCBitmap::CCCBitmap(CCustomControlPanel* view, const CRect& rect) {
  m_pView = view;
  m_rect = rect;
}

CCCBitmap::CCCBitmap(const CCCBitmap& source)
    : CCustomControlObject(source), m_pImage(source.m_pImage), m_imageUse(source.m_imageUse) {}

void CCCBitmap::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  CCustomControlObject::Serialize(ar, lookup);
  if (ar.IsStoring()) {
    ar.WriteU32(kBitmapRecordVersion);
    ar.WriteU32(m_imageUse);
  } else {
    ReadRecordVersion(ar, kBitmapRecordVersion, kBitmapRecordVersion, "bitmap widget");
    m_imageUse = ar.ReadU32();
  }
  ArchiveImageRef(ar, m_pImage, lookup);
}

void CCCBitmap::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  try {
    if (!ds.Version(kBitmapRecordVersion)) return;
    ds.U32(m_imageUse);
    CUuid id = m_pImage ? m_pImage->GetId() : CUuid{};
    StreamUuid(ds, id);
    if (ds.IsLoading()) m_pImage = id.IsNil() ? nullptr : lookup.FindImage(id);
  } catch (const CStreamError&) {
  }
}

std::uint32_t CCCBitmap::GetSizingMode() const {
  return m_pImage && (m_imageUse & kImageUseFixToImage) ? 0 : 3;
}

CRect CCCBitmap::AdjustSizingRect(const CRect& rect, int handle) const {
  CRect r = CCustomControlObject::AdjustSizingRect(rect, handle);
  if (!(m_imageUse & kImageUseAspectRatio) || !m_pImage) return r;
  const int iw = m_pImage->GetPixelWidth();
  const int ih = m_pImage->GetPixelHeight();
  if (iw <= 0 || ih <= 0) return r;
  const float ratio = float(ih) / float(iw);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  // A thin picture would otherwise make the widget as long as no panel is: no side grows past
  // the largest panel.
  const int byWidth = int(std::min(std::trunc(float(w) * ratio), float(kPanelSizeLimit)));
  const int byHeight = int(std::min(std::trunc(float(h) / ratio), float(kPanelSizeLimit)));
  switch (handle) {
    case 1:
    case 2: r.bottom = r.top + byWidth; break;
    case 3:
    case 4: r.right = r.left + byHeight; break;
    case 5:
      if (byWidth <= h) r.left = r.right - byHeight;
      else r.top = r.bottom - byWidth;
      break;
    case 6:
      if (byWidth > h) r.top = r.bottom - byWidth;
      else r.right = r.left + byHeight;
      break;
    case 7:
      if (byWidth <= h) r.left = r.right - byHeight;
      else r.bottom = r.top + byWidth;
      break;
    case 8:
      if (byWidth > h) r.bottom = r.top + byWidth;
      else r.right = r.left + byHeight;
      break;
    default: break;
  }
  return r;
}

bool CCCBitmap::ReleaseImage(CCCImageBase* image) { return ReleaseImageRef(m_pImage, image); }

void CCCBitmap::Draw(Graphics& g, const CRect& paint, bool designMode) {
  (void)designMode;
  if (!m_hitTest) return;
  const CRepaintClip clip(g, paint);
  const CRectF r = CRectF::FromRect(m_rect);
  // A picture that did not decode shows as no picture does, so that it can be found and replaced.
  if (const CCCImage* picture = DrawablePicture(m_pImage)) {
    const int w = picture->GetPixelWidth();
    const int h = picture->GetPixelHeight();
    if (w > 0 && h > 0 && !r.IsEmpty()) {
      if (m_imageUse & (kImageUseStretch | kImageUseAspectRatio))
        g.DrawImage(picture->GetBitmap(), r, CRectF{0, 0, float(w), float(h)});
      else if (m_imageUse & kImageUseFixToImage)
        g.DrawImage(picture->GetBitmap(), CRectF{r.x, r.y, float(w), float(h)}, CRectF{0, 0, float(w), float(h)});
    }
  } else {
    g.FillRectangle(CBrush(CColour{0xFF000000u}), r);
    CTextStyle style;  // Arial, 10 points, regular
    DrawStyledText(g, "No Image", style, r, CStringFormat(StringAlignment::Center, StringAlignment::Center),
                   CColour{0xFFFFFFFFu});
  }
}
