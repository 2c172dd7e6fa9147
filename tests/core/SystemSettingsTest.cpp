// The system's settings: defaults with an empty profile, setters that write at once and mark
// the file modified, and values that survive into the next run.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "core/comms/CommsWorker.h"
#include "core/comms/SerialComms.h"
#include "core/system/System.h"
#include "platform/AppPaths.h"
#include "platform/SerialPortMemory.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMessages.h"
#include "tests/support/RecordingFrame.h"

TEST(SystemSettingsTest, EmptyProfile_GivesEveryDefault) {
  CSystem s;
  s.Settings().LoadSettings();
  const CAppSettings& v = s.GetSettings();
  EXPECT_EQ(v.comPort, 1u);
  EXPECT_EQ(v.baudRate, 57600u);
  EXPECT_EQ(v.onGoOnline, 2u);
  EXPECT_FALSE(v.loadLastFileOnStartup);
  EXPECT_EQ(v.autoSave, 0u);
  EXPECT_FALSE(v.logCommsErrors);
  EXPECT_EQ(v.commsTimeoutConstant, 0u);
  EXPECT_EQ(v.maxLogFileSizeKB, 100u);
  EXPECT_EQ(v.temperatureWarning, 70u);
  EXPECT_FALSE(v.superDebug);
  EXPECT_EQ(s.Settings().GetImageLibraryFilename(), GetAppDataFolder() + "ImageLib.ovl");
}

TEST(SystemSettingsTest, Setters_WriteAtOnceMarkModifiedAndSurviveARestart) {
  {
    CSystem s;
    s.Settings().LoadSettings();
    s.Settings().SetComPort(4);
    EXPECT_TRUE(s.IsModified());
    s.SetModified(false);
    s.Settings().SetBaudRate(115200);
    s.Settings().SetOnGoOnline(1);
    s.Settings().SetLoadLastFileOnStartup(true);
    s.Settings().SetAutoSave(15);
    s.Settings().SetLogCommsErrors(true);
    s.Settings().SetMaxLogFileSizeKB(250);
    s.Settings().SetTemperatureWarning(0);
    s.Settings().SetImageLibraryFilename("/data/shared.ovl");
    s.Settings().SetCheckForUpdates(false);
    EXPECT_TRUE(s.IsModified());
    EXPECT_EQ(s.GetSettings().autoSave, 15u);
    EXPECT_EQ(CSettingsStore::GetInt("Settings", "TemperatureWarning", 70), 0u);
  }
  CSystem next;
  next.Settings().LoadSettings();
  const CAppSettings& v = next.GetSettings();
  EXPECT_EQ(v.comPort, 4u);
  EXPECT_EQ(v.baudRate, 115200u);
  EXPECT_EQ(v.onGoOnline, 1u);
  EXPECT_TRUE(v.loadLastFileOnStartup);
  EXPECT_EQ(v.autoSave, 15u);
  EXPECT_TRUE(v.logCommsErrors);
  EXPECT_EQ(v.maxLogFileSizeKB, 250u);
  EXPECT_EQ(v.temperatureWarning, 0u);
  EXPECT_EQ(next.Settings().GetImageLibraryFilename(), "/data/shared.ovl");
  EXPECT_FALSE(CAppSettings::GetCheckForUpdates());
  EXPECT_FALSE(next.IsModified());
}

// Each setter given the value it holds already leaves the file unmodified (a sheet's OK with
// nothing changed); given another value it marks it.
TEST(SystemSettingsTest, Setters_MarkTheFileModifiedOnlyWhenTheValueChanges) {
  const std::vector<std::pair<const char*, std::function<void(CSystem&, bool)>>> setters = {
      {"ComPort", [](CSystem& s, bool other) { s.Settings().SetComPort(s.GetSettings().comPort + (other ? 1 : 0)); }},
      {"BaudRate", [](CSystem& s, bool other) { s.Settings().SetBaudRate(other ? 9600 : s.GetSettings().baudRate); }},
      {"OnGoOnline", [](CSystem& s, bool other) { s.Settings().SetOnGoOnline(other ? 0 : s.GetSettings().onGoOnline); }},
      {"LoadLastFile",
       [](CSystem& s, bool other) { s.Settings().SetLoadLastFileOnStartup(s.GetSettings().loadLastFileOnStartup != other); }},
      {"AutoSave", [](CSystem& s, bool other) { s.Settings().SetAutoSave(other ? 5 : s.GetSettings().autoSave); }},
      {"LogCommsErrors", [](CSystem& s, bool other) { s.Settings().SetLogCommsErrors(s.GetSettings().logCommsErrors != other); }},
      {"MaxLogFileSize", [](CSystem& s, bool other) { s.Settings().SetMaxLogFileSizeKB(other ? 300 : s.GetSettings().maxLogFileSizeKB); }},
      {"TemperatureWarning",
       [](CSystem& s, bool other) { s.Settings().SetTemperatureWarning(other ? 90 : s.GetSettings().temperatureWarning); }},
      {"ImageLibrary",
       [](CSystem& s, bool other) {
         s.Settings().SetImageLibraryFilename(other ? "/data/other.ovl" : s.GetSettings().imageLibraryFilename);
       }},
      {"CheckForUpdates",
       [](CSystem& s, bool other) { s.Settings().SetCheckForUpdates(CAppSettings::GetCheckForUpdates() != other); }},
  };
  CSystem s;
  s.Settings().LoadSettings();
  for (const auto& [name, set] : setters) {
    SCOPED_TRACE(name);
    s.SetModified(false);
    set(s, false);
    EXPECT_FALSE(s.IsModified());
    set(s, true);
    EXPECT_TRUE(s.IsModified());
  }
}

TEST(SystemSettingsTest, ValuesSetOnlyInTheProfileAreReadAndBooleansAreNonZero) {
  CSettingsStore::WriteInt("Settings", "SuperDebug", 7);
  CSettingsStore::WriteInt("Settings", "CommsTimeoutConstant", 40);
  CSettingsStore::WriteInt("Settings", "LogCommsErrors", 2);
  CSystem s;
  s.Settings().LoadSettings();
  EXPECT_TRUE(s.GetSettings().superDebug);
  EXPECT_EQ(s.GetSettings().commsTimeoutConstant, 40u);
  EXPECT_TRUE(s.GetSettings().logCommsErrors);

  CSettingsStore::WriteInt("Settings", "CommsTimeoutConstant", 90);
  CAppSettings copy = s.GetSettings();
  EXPECT_EQ(copy.ReloadCommsTimeoutConstant(), 90u);
  EXPECT_EQ(copy.commsTimeoutConstant, 90u);
}

TEST(SystemSettingsTest, Start_ReadsTheSettings) {
  CSettingsStore::WriteInt("Settings", "BaudRate", 9600);
  CRecordingFrame frame;
  CSystem s;
  s.Start(&frame);
  EXPECT_EQ(s.GetSettings().baudRate, 9600u);
  s.GetComms().StopCommsThread();
}

namespace {
// A port that opens only the devices in the set, at any baud rate, and records each try.
class CSomePortsExist : public CMemorySerialPort {
 public:
  CSomePortsExist(std::set<std::string> devices, std::vector<std::uint32_t>* bauds)
      : CMemorySerialPort(std::make_shared<CSerialLine>()), m_devices(std::move(devices)), m_bauds(bauds) {}
  bool Open(const std::string& device, std::uint32_t baudRate) override {
    m_bauds->push_back(baudRate);
    return m_devices.count(device) && CMemorySerialPort::Open(device, baudRate);
  }

 private:
  std::set<std::string> m_devices;
  std::vector<std::uint32_t>* m_bauds;
};
}  // namespace

TEST(SystemSettingsTest, ListComPorts_OffersEveryPortThatOpensAtTheBaudRateAndClosesIt) {
  std::vector<std::uint32_t> bauds;
  const std::set<std::string> present{GetComPortDevice(2), GetComPortDevice(9), GetComPortDevice(32)};
  SetSerialPortFactoryForTests([&] { return std::make_unique<CSomePortsExist>(present, &bauds); });
  CSystem s;
  SetSerialPortFactoryForTests({});
  s.Settings().SetBaudRate(19200);
  std::vector<std::uint32_t> ports{77};  // appended to, not replaced
  s.Settings().ListComPorts(ports);
  EXPECT_EQ(ports, (std::vector<std::uint32_t>{77, 2, 9, 32}));
  EXPECT_EQ(bauds, std::vector<std::uint32_t>(32, 19200));
  EXPECT_FALSE(s.IsPortOpen());
}

TEST(SystemSettingsTest, ListComPorts_NeverTouchesAnOpenConnection) {
  std::vector<std::uint32_t> bauds;
  SetSerialPortFactoryForTests([&] { return std::make_unique<CSomePortsExist>(std::set<std::string>{GetComPortDevice(1)}, &bauds); });
  CSystem s;
  SetSerialPortFactoryForTests({});
  ASSERT_TRUE(s.GetComms().GetTransport().Open(1, 57600, true));
  std::vector<std::uint32_t> ports;
  s.Settings().ListComPorts(ports);
  EXPECT_TRUE(ports.empty());
  EXPECT_TRUE(s.IsPortOpen());
}
