// The widgets of a processor panel (CNerexPanelWidgets).
#include "panels/processor/NerexPanelWidgets.h"

#include "panels/framework/BmpButton.h"

CBmpButton* CNerexPanelWidgets::GetInputGeqShortcut(int i) const {
  return static_cast<CBmpButton*>(m_panel.m_inputRows[0][std::size_t(i)]);
}
