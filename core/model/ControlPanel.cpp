// Model-side helpers of the control-panel interface.
#include "core/model/ControlPanel.h"

#include "core/model/Device.h"

CParamValue CControlPanel::GetCurrentValue(int parameterId) const {
  return m_device ? m_device->GetCurrentValue(parameterId) : MakeNoParamValue();
}
