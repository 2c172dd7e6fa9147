// The bitmap widget's two property editors: the image and how it is laid out.
#include <cmath>

#include "core/file/ImageTree.h"
#include "custom/BitmapControl.h"
#include "custom/WidgetProperties.h"

namespace {

enum : std::uint32_t { kIdImage = 11, kIdImageUse = 12 };

constexpr std::uint32_t kImageUseBits[] = {kImageUseStretch, kImageUseFixToImage, kImageUseAspectRatio};
const std::vector<std::string> kImageUseNames = {"Stretch Image", "Fix To Image", "Maintain Aspect Ratio"};

}  // namespace

void CCCBitmap::FillPropertiesPane(IDevicePropertyGrid& grid) {
  CCustomControlObject::FillPropertiesPane(grid);
  auto group = std::make_unique<CDevicePropertyGroup>("Image Appearance");
  group->Add(MakeImageRow(WidgetHost(*this), m_pImage, "Image", "Image to be used", kIdImage));
  if (m_pImage)
    group->Add(MakeNameListRow("Image Use", kImageUseNames, IndexOfBit(m_imageUse, kImageUseBits),
                               "How to use the image", kIdImageUse));
  grid.AddGroup(std::move(group));
}

bool CCCBitmap::OnPropertyChanged(CDeviceProperty& row) {
  const std::uint32_t id = row.GetData();
  if (id >= 1 && id <= 3) return CCustomControlObject::OnPropertyChanged(row);
  return FinishRowEdit(row, ApplyEdit(id, CWidgetEdit::FromRow(row, CTextStyle{})));
}

CWidgetEditResult CCCBitmap::ApplyEdit(std::uint32_t id, const CWidgetEdit& edit) {
  CWidgetEditResult result;
  if (id == kIdImageUse) {
    ApplyImageUse(edit.index);
    return result;
  }
  if (id != kIdImage) return CWidgetEditResult::Refuse();
  // The grid's rows follow the image ("Image Use" only with one) after every commit.
  result.structure = true;
  if (edit.image == m_pImage) return result;
  const CRect before = WidgetArea(*this);
  m_pImage = edit.image;
  MarkModified(*this);
  // A list edit keeps the rectangle: only the grid fits it to the new image.
  if (!edit.fromList && m_pImage && (m_imageUse & kImageUseFixToImage))
    m_rect = CRect{m_rect.left, m_rect.top, m_rect.left + m_pImage->GetPixelWidth(),
                   m_rect.top + m_pImage->GetPixelHeight()};
  RepaintWidget(*this, before);
  return result;
}

void CCCBitmap::ApplyImageUse(int index) {
  if (index < 0 || index > 2) return;
  const CRect old = m_rect;
  const bool changed = SetOneOf(m_imageUse, kImageUseBits, index);
  const int iw = m_pImage ? m_pImage->GetPixelWidth() : 0;
  const int ih = m_pImage ? m_pImage->GetPixelHeight() : 0;
  if (index == 1 && m_pImage) m_rect = CRect{m_rect.left, m_rect.top, m_rect.left + iw, m_rect.top + ih};
  if (index == 2 && iw > 0 && ih > 0) {
    const float ratio = float(ih) / float(iw);
    m_rect.bottom = m_rect.top + int(std::trunc(float(m_rect.right - m_rect.left) * ratio));
  }
  if (m_pView) {
    if (index == 1) m_pView->RedrawRect(GrownRect(old, 12));
    if (index == 2) {
      CRect area;
      UnionRects(area, old, m_rect);
      m_pView->RedrawRect(GrownRect(area, 12));
    }
  }
  if (changed || m_rect != old) MarkModified(*this);
  if (m_pView) m_pView->RedrawControl(this);
}
