// Writes a system file with a unit of every family that the program polls, in two zones, and a
// custom panel holding a widget of every kind, for looking at the application with the
// simulator:
//   orvak-sample-system OUT.ovd
// --help (or -h) prints the usage; any other word that starts with "-" is refused, so that no
// option is ever taken for the name of the file to write.
// Device IDs match "--processor 120:1 --zel-amp 52:2 --zel-break 40:3 --processor 16:4
// --zel-break 44:5 --zel-amp 56:6 --processor 121:7 --processor 112:8 --processor 17:9
// --zel-amp 55:10 --zel-break 41:11" of the simulator (kSampleSystemSimulatorOptions).
#include <QGuiApplication>
#include <cstdio>
#include <cstring>

#include "core/system/System.h"
#include "custom/CustomControls.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/app/SampleSystem.h"

int main(int argc, char** argv) {
  // The tool shows no window: it runs on a machine without a display unless told otherwise.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const char* const usage = "usage: orvak-sample-system OUT.ovd\n"
                            "  writes the sample system to OUT.ovd (./-name.ovd for a name that starts with -)\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (argc != 2 || argv[1][0] == '-' || argv[1][0] == 0) {
    std::fputs(usage, stderr);
    return 2;
  }
  RegisterProcessorFamily();
  RegisterAmplifierFamilies();
  RegisterCustomControls();

  CSystem system;
  if (!BuildSampleSystem(system)) {
    std::fprintf(stderr, "a device family is missing\n");
    return 1;
  }
  if (!system.File().SaveFile(argv[1])) return 1;
  std::printf("%s\n", argv[1]);
  return 0;
}
