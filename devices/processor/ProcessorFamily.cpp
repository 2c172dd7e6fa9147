// The processor family's entries of the device factory.
#include "devices/processor/ProcessorFamily.h"

#include "core/model/DeviceFactory.h"
#include "devices/processor/NerexSeriesDevice.h"

void RegisterProcessorFamily() {
  for (std::uint32_t code : {16u, 17u, 110u, 112u, 114u, 115u, 116u, 118u, 120u, 121u})
    RegisterDeviceCreator(code, &CreateNerexSeriesDevice);
}
