// The mouse message flags of a Qt event, for the windows that hand Qt's mouse events to their
// widgets. Window code only: model code includes MouseMessages.h alone.
#pragma once

#include <QtCore/qnamespace.h>
#include <cstdint>

#include "platform/MouseMessages.h"

// The flag bits of a mouse message from a Qt event's buttons and modifiers.
inline std::uint32_t MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  std::uint32_t flags = 0;
  if (buttons & Qt::LeftButton) flags |= MK_LBUTTON;
  if (buttons & Qt::RightButton) flags |= MK_RBUTTON;
  if (modifiers & Qt::ShiftModifier) flags |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier) flags |= MK_CONTROL;
  return flags;
}
