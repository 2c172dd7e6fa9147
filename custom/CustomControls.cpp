// Registration of the widget kinds and the shared pieces of their records.
#include "custom/CustomControls.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/file/DataStream.h"
#include "platform/Archive.h"
#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"

void RegisterCustomControls() {
  RegisterCustomControl(kControlBitmap, [] { return static_cast<CCustomControlObject*>(new CCCBitmap); });
  RegisterCustomControl(kControlLed, [] { return static_cast<CCustomControlObject*>(new CCCLED); });
  RegisterCustomControl(kControlFader, [] { return static_cast<CCustomControlObject*>(new CCCFader); });
  RegisterCustomControl(kControlKnob, [] { return static_cast<CCustomControlObject*>(new CCCKnob); });
  RegisterCustomControl(kControlText, [] { return static_cast<CCustomControlObject*>(new CCCTextControl); });
  RegisterCustomControl(kControlButton, [] { return static_cast<CCustomControlObject*>(new CCCButton); });
}

namespace {
template <class Kind>
CCustomControlObject* CopyAs(const CCustomControlObject& source) {
  const auto* kind = dynamic_cast<const Kind*>(&source);
  return kind ? new Kind(*kind) : nullptr;
}
}  // namespace

CCustomControlObject* CopyCustomControl(const CCustomControlObject& source) {
  switch (source.GetControlType()) {
    case kControlBitmap: return CopyAs<CCCBitmap>(source);
    case kControlLed: return CopyAs<CCCLED>(source);
    case kControlFader: return CopyAs<CCCFader>(source);
    case kControlKnob: return CopyAs<CCCKnob>(source);
    case kControlText: return CopyAs<CCCTextControl>(source);
    case kControlButton: return CopyAs<CCCButton>(source);
    default: return nullptr;
  }
}

void StreamScaledFloat(CDataStream& ds, float& value) {
  constexpr double kScale = 100000.0;
  const double scaled = std::trunc(double(value) * kScale);
  std::int32_t word = 0;
  if (std::isnan(scaled))
    word = 0;
  else if (scaled >= double(std::numeric_limits<std::int32_t>::max()))
    word = std::numeric_limits<std::int32_t>::max();
  else if (scaled <= double(std::numeric_limits<std::int32_t>::min()))
    word = std::numeric_limits<std::int32_t>::min();
  else
    word = std::int32_t(scaled);
  ds.I32(word);
  if (ds.IsLoading()) value = float(double(word) / kScale);
}

float CheckedRangeBound(float value) {
  if (std::isnan(value)) throw CArchiveException(CArchiveException::BadFormat, "a widget range that is not a number");
  constexpr float kLimit = std::numeric_limits<float>::max() / 2.0f;
  return std::clamp(value, -kLimit, kLimit);
}
