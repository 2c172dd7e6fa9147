// libFuzzer target of the system file reader: any bytes must give a clean load or a reported
// failure, never a crash, a leak or an allocation the data cannot back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/System.h"
#include "core/SystemFile.h"
#include "platform/Archive.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/RecordingUi.h"

namespace {
class CQuietErrors : public CRecordingUi {
 public:
  void ShowFileError(const std::string&, const std::string&) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = [] {
    RegisterFileTestDevices();
    return true;
  }();
  (void)registered;
  CQuietErrors errors;
  CSystem system;
  system.SetUiServices(&errors);
  CArchive ar(std::vector<std::uint8_t>(data, data + size));
  if (system.Serialize(ar)) {
    // What was read must store again.
    CArchive out;
    system.Serialize(out);
  }
  return 0;
}
