// One tick of a dialog's fade.
#include "widgets/DialogFade.h"

#include <algorithm>

CDialogFade::Tick CDialogFade::Step() {
  if (m_fadingIn) {
    if (m_opacity >= m_target) return Tick::kStop;
    m_opacity = std::min(m_opacity + kStep, 1.0f);
    return Tick::kApplied;
  }
  if (m_opacity <= kEndOpacity) return Tick::kEnd;
  m_opacity = std::max(m_opacity - kStep, 0.0f);
  return Tick::kApplied;
}
