// The widget kinds of custom control panels and the pieces their records share.
#pragma once

#include <cstdint>

#include "custom/CustomControlObject.h"

class CDataStream;

// Registers the create-by-type constructor of every widget kind (types 1, 2, 3, 4, 5 and 8)
// with the widget factory. Once at start-up, before a file is read; repeating it is harmless.
void RegisterCustomControls();

// A copy for the clipboard made by the kind's copy constructor (not bound to a device); null
// for a widget of no known kind.
CCustomControlObject* CopyCustomControl(const CCustomControlObject& source);

// A range bound in a stream record: the value x 100000 cut toward zero as a signed 32-bit
// number (kept within its range), read back divided by 100000.
void StreamScaledFloat(CDataStream& ds, float& value);

// Scale mark counts, as many as the property rows let a fader or knob have; a record is held
// to it when read.
inline constexpr std::uint32_t kScaleMarksLimit = 20;

// A fader's or knob's range bound as a record holds it. A value that is not a number makes the
// record damaged (CArchiveException, BadFormat); any other is held within half the float range
// either way, so that the width of a range is always a finite number.
float CheckedRangeBound(float value);
