// The application's settings (section "Settings", and "WinSparkle" for the update checker):
// read once at start, each written back at once by its setter.
#pragma once

#include <cstdint>
#include <string>

// Names of the settings in the store.
namespace SettingKeys {
inline constexpr const char* kSection = "Settings";
inline constexpr const char* kUpdateSection = "WinSparkle";
inline constexpr const char* kComPort = "ComPort";
inline constexpr const char* kBaudRate = "BaudRate";
inline constexpr const char* kOnGoOnline = "OnGoOnline";
inline constexpr const char* kLoadLastFileOnStartup = "LoadLastFileOnStartup";
inline constexpr const char* kAutoSave = "AutoSave";
inline constexpr const char* kLogCommsErrors = "LogCommsErrors";
inline constexpr const char* kCommsTimeoutConstant = "CommsTimeoutConstant";
inline constexpr const char* kMaxLogFileSizeKB = "MaxLogFileSizeKB";
inline constexpr const char* kTemperatureWarning = "TemperatureWarning";
inline constexpr const char* kSuperDebug = "SuperDebug";
inline constexpr const char* kImageLibraryFilename = "ImageLibraryFilename";
inline constexpr const char* kConfirmDialogs = "ConfirmDialogs";
inline constexpr const char* kCheckForUpdates = "CheckForUpdates";
}  // namespace SettingKeys

// The temperature warnings a person may set, in degrees C ("TemperatureWarning" 0 is off): the
// range the amplifiers' own alarm threshold takes.
inline constexpr std::uint32_t kMinTemperatureWarning = 40;
inline constexpr std::uint32_t kMaxTemperatureWarning = 110;

// Go-online choices of "OnGoOnline".
enum : std::uint32_t { kGoOnlineRetrieve = 0, kGoOnlineSend = 1, kGoOnlineAsk = 2 };

class CAppSettings {
 public:
  std::uint32_t comPort = 1;
  std::uint32_t baudRate = 57600;
  std::uint32_t onGoOnline = kGoOnlineAsk;
  bool loadLastFileOnStartup = false;
  std::uint32_t autoSave = 0;  // minutes, 0 off
  bool logCommsErrors = false;
  std::uint32_t commsTimeoutConstant = 0;  // ms
  std::uint32_t maxLogFileSizeKB = 100;
  std::uint32_t temperatureWarning = 70;  // degrees C, 0 off
  bool superDebug = false;
  std::string imageLibraryFilename;

  // Reads every value in the order above; a missing value gives its default.
  void Load();

  // Each stores the value here and writes it to the store at once.
  void SetComPort(std::uint32_t v);
  void SetBaudRate(std::uint32_t v);
  void SetOnGoOnline(std::uint32_t v);
  void SetLoadLastFileOnStartup(bool v);
  void SetAutoSave(std::uint32_t minutes);
  void SetLogCommsErrors(bool v);
  void SetMaxLogFileSizeKB(std::uint32_t v);
  void SetTemperatureWarning(std::uint32_t v);
  void SetImageLibraryFilename(const std::string& v);

  // Reads "CommsTimeoutConstant" again (it has no page; it is changed in the profile only).
  std::uint32_t ReloadCommsTimeoutConstant();

  static std::string DefaultImageLibraryFilename();

  // Read at every use: the confirmation bits (default every bit set) and the update box.
  static std::uint32_t GetConfirmDialogs();
  static void SetConfirmDialogs(std::uint32_t bits);
  static bool GetCheckForUpdates();
  static void SetCheckForUpdates(bool on);
};
