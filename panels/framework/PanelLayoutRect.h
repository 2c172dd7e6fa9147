// The layout tables' boxes (resources/PanelLayout.h) as the widgets' rectangles.
#pragma once

#include "platform/Types.h"
#include "resources/PanelLayout.h"

inline CRect ToRect(const panel_layout::Box& b) { return CRect{b.left, b.top, b.right, b.bottom}; }
