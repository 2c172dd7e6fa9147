// libFuzzer target of the system file reader: any bytes must give a clean load or a reported
// failure, never a crash, a leak or an allocation the data cannot back.
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/System.h"
#include "core/SystemFile.h"
#include "custom/CustomControls.h"
#include "platform/Archive.h"
#include "tests/support/FileTestDevices.h"

namespace {
class CQuietErrors : public IFileErrorSink {
 public:
  void ShowFileError(const std::string&, const std::string&) override {}
};
}  // namespace

// Font lookups for faces named in widget records fill fontconfig's caches, which it never
// frees; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = [] {
    // Widgets' text styles make fonts, which need the application's font database.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "system_file_fuzzer";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    RegisterFileTestDevices();
    RegisterCustomControls();
    return true;
  }();
  (void)registered;
  CQuietErrors errors;
  CSystem system;
  system.SetFileErrorSink(&errors);
  CArchive ar(std::vector<std::uint8_t>(data, data + size));
  if (system.Serialize(ar)) {
    // What was read must store again.
    CArchive out;
    system.Serialize(out);
  }
  return 0;
}
