// The bitmap widget (control type 1): one image of the file's image tree in its rectangle.
#pragma once

#include "custom/CustomControlObject.h"
#include "custom/WidgetProperties.h"

// How the image is laid out.
enum : std::uint32_t {
  kImageUseStretch = 0x100,
  kImageUseFixToImage = 0x200,
  kImageUseAspectRatio = 0x400,
};

class CCCBitmap : public CCustomControlObject {
 public:
  // Made for loading: no rectangle, no image, stretched.
  CCCBitmap() = default;
  // Made by the Add Bitmap command: rectangle (0, 0, 60, 60).
  CCCBitmap(CCustomControlPanel* view, const CRect& rect);
  // The clipboard copy: not bound to a device.
  CCCBitmap(const CCCBitmap& source);

  // Version 1: image use and image id. Another version throws CArchiveException (BadFormat).
  void Serialize(CArchive& ar, const CRecordLookup& lookup) override;
  // The widget's own fields only: version 1, image use, the image id.
  void SerializeStream(CDataStream& ds, const CRecordLookup& lookup) override;
  std::uint32_t GetControlType() const override { return kControlBitmap; }
  // The image laid out by the image use, or "No Image" on black without one (also for an image
  // whose picture did not decode).
  void Draw(Graphics& g, const CRect& paint, bool designMode) override;
  // No handles for an image fixed to its size; otherwise free.
  std::uint32_t GetSizingMode() const override;
  // The 10-pixel minimum, then the image's aspect ratio when that is kept.
  CRect AdjustSizingRect(const CRect& rect, int handle) const override;
  bool ReleaseImage(CCCImageBase* image) override;

  void FillPropertiesPane(IDevicePropertyGrid& grid) override;
  bool OnPropertyChanged(CDeviceProperty& row) override;

  CCCImage* m_pImage = nullptr;  // not owned
  std::uint32_t m_imageUse = kImageUseStretch;

 private:
  CWidgetEditResult ApplyEdit(std::uint32_t id, const CWidgetEdit& edit);
  // Image use 0 stretch, 1 fix to the image (the control takes its size), 2 keep its aspect
  // ratio (the height follows the width); another index changes nothing.
  void ApplyImageUse(int index);
};
