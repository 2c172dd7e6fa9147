// Fuzz target set-up.
#include "tests/fuzz/FuzzSupport.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <memory>

#include "core/system/System.h"
#include "custom/CustomControls.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/AppPaths.h"
#include "platform/SettingsStore.h"

void FuzzSetUp() {
  static const bool done = [] {
    static QTemporaryDir folder;
    if (folder.isValid()) {
      CSettingsStore::UseFolderForTests(folder.path().toStdString() + "/settings");
      SetUserDataRootForTests(folder.path().toStdString() + "/userdata");
    }
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    RegisterCustomControls();
    // Widgets' text styles make fonts, which need the application's font database; a target
    // that shows windows has made its own application already.
    if (QCoreApplication::instance()) return true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return true;
  }();
  (void)done;
}

const std::vector<CFuzzDeviceType>& FuzzDeviceTypes() {
  static const std::vector<CFuzzDeviceType> types = [] {
    std::vector<CFuzzDeviceType> all;
    for (std::uint32_t code : {16u, 17u, 110u, 112u, 114u, 115u, 116u, 118u, 120u, 121u}) all.push_back({code, 0});
    for (std::uint32_t code = 34; code <= 47; ++code) all.push_back({code, 0});
    all.push_back({49, 0});
    all.push_back({50, 0});
    for (std::uint32_t code = 51; code <= 56; ++code) all.push_back({code, 0});
    for (std::uint32_t model = 0; model < 4; ++model) all.push_back({60, model});
    return all;
  }();
  return types;
}

CDevice* CreateFuzzDevice(CSystem& system, std::uint8_t choice, std::uint32_t deviceId) {
  const auto& types = FuzzDeviceTypes();
  const CFuzzDeviceType& type = types[choice % types.size()];
  return system.CreateDevice(deviceId, type.typeCode, type.modelIndex);
}
