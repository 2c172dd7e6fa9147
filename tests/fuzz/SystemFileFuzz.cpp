// Fuzz target of the system file reader with every device family registered: any bytes must
// give a clean load or a reported failure, never a crash, a leak or an allocation the data
// cannot back. What loads must store again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/system/System.h"
#include "core/system/SystemFile.h"
#include "platform/Archive.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/RecordingUi.h"

namespace {
class CQuietErrors : public CRecordingUi {
 public:
  void ShowFileError(const std::string&, const std::string&) override {}
};
}  // namespace

// Font lookups for faces named in widget records fill fontconfig's caches, which it never
// frees; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSetUp();
  CQuietErrors errors;
  CSystem system;
  system.SetUiServices(&errors);
  CArchive ar(std::vector<std::uint8_t>(data, data + size));
  if (system.File().Serialize(ar)) {
    CArchive out;
    system.File().Serialize(out);
  }
  return 0;
}
