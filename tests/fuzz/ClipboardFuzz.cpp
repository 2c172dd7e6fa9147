// Fuzz target of the records that come in through the clipboard from another instance of the
// program: the processor's settings record pasted by every paste command onto any model and
// selected channel, and the device stream records of every family. Input: the kind, the
// device type, the command, the selected channel, then the record bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "core/file/DataStream.h"
#include "core/model/Device.h"
#include "core/system/System.h"
#include "devices/processor/NerexClipboard.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Clipboard.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSetUp();
  static CSystem system;
  CFuzzInput in(data, size);
  const bool pasteRecord = (in.Byte() & 1) == 0;
  std::unique_ptr<CDevice> device(CreateFuzzDevice(system, in.Byte(), 1));
  if (!device) return 0;
  const std::uint32_t command = kCmdCopyChannel + in.Byte() % 13;  // copy, then every paste
  const std::uint32_t channel = in.Byte() % 14;

  if (pasteRecord) {
    auto* processor = dynamic_cast<CNerexSeriesDevice*>(device.get());
    if (!processor) return 0;
    processor->PanelView().SetSelectedChannel(channel);
    SetClipboardData(processor->GetClipboardFormat(), in.RestCopy());
    processor->CanPaste(command);
    processor->PasteFromClipboard(command);
    return 0;
  }
  const auto bytes = in.Rest();
  std::istringstream stream(std::string(bytes.begin(), bytes.end()));
  CDataStream ds(stream);
  device->SerializeStream(ds);
  return 0;
}
