// The units the loader supports: status texts, loader kinds and automatic firmware names.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "core/file/TextConversion.h"
#include "core/file/VersionTable.h"
#include "platform/AppPaths.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/Loaders.h"

namespace {

struct LoaderModel {
  std::uint8_t type;
  const char* text;
  LoaderKind kind;
};

constexpr LoaderModel kModels[] = {
    {0x10, "Fennick Connected", LoaderKind::kProcessor},
    {0x11, "Zel-Fennick Connected", LoaderKind::kProcessor},
    {0x22, "FennickXB08 Cobranet Connected", LoaderKind::kZel},
    {0x23, "FennickXB16 Cobranet Connected", LoaderKind::kZel},
    {0x24, "FennickXB08 Ethersound Connected", LoaderKind::kZel},
    {0x25, "FennickXB16 Ethersound Connected", LoaderKind::kZel},
    {0x26, "FennickXB08 Dante Connected", LoaderKind::kZel},
    {0x27, "FennickXB16 Dante Connected", LoaderKind::kZel},
    {0x28, "Zel XB-08 Cobranet Connected", LoaderKind::kZel},
    {0x29, "Zel XB-16 Cobranet Connected", LoaderKind::kZel},
    {0x2A, "Zel XB-08 Ethersound Connected", LoaderKind::kZel},
    {0x2B, "Zel XB-16 Ethersound Connected", LoaderKind::kZel},
    {0x2C, "Zel XB-08 Dante Connected", LoaderKind::kZel},
    {0x2D, "Zel XB-16 Dante Connected", LoaderKind::kZel},
    {0x2E, "QuillXB08 Connected", LoaderKind::kZel},
    {0x2F, "QuillXB16 Connected", LoaderKind::kZel},
    {0x30, "", LoaderKind::kAmpModule},
    {0x31, "Vm4 Amplifier Connected", LoaderKind::kAmpModule},
    {0x32, "Vm6 Amplifier Connected", LoaderKind::kAmpModule},
    {0x33, "Zel-2 Connected", LoaderKind::kZel},
    {0x34, "Zel-3 Connected", LoaderKind::kZel},
    {0x35, "Zel-4 Connected", LoaderKind::kZel},
    {0x36, "Zel-5 Connected", LoaderKind::kZel},
    {0x37, "Zel-6 Connected", LoaderKind::kZel},
    {0x38, "Zel-1 Connected", LoaderKind::kZel},
    {0x3C, "Sornic Amplifier Connected", LoaderKind::kSornic},
    {0x72, "Nerex24 Connected", LoaderKind::kProcessor},
    {0x73, "Nerex26 Connected", LoaderKind::kProcessor},
    {0x74, "Nerex44 Connected", LoaderKind::kProcessor},
    {0x76, "Nerex46 Connected", LoaderKind::kProcessor},
    {0x78, "Nerex48 Connected", LoaderKind::kProcessor},
};

const LoaderModel* FindModel(std::uint8_t type) {
  for (const LoaderModel& model : kModels) {
    if (model.type == type) return &model;
  }
  return nullptr;
}

}  // namespace

LoaderKind LoaderKindOf(std::uint8_t type) {
  const LoaderModel* model = FindModel(type);
  return model ? model->kind : LoaderKind::kNone;
}

std::string ConnectedText(std::uint8_t type) {
  const LoaderModel* model = FindModel(type);
  return model ? model->text : "";
}

std::string LoaderModelName(std::uint8_t type) {
  const LoaderModel* model = FindModel(type);
  if (!model) return "unit";
  std::string name = model->text;
  constexpr std::string_view kSuffix = " Connected";
  if (name.size() > kSuffix.size() && name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0)
    name.resize(name.size() - kSuffix.size());
  return name.empty() ? "amplifier module" : name;
}

namespace {

// The firmware files that loaders pick themselves: the name's prefix, the version-table key of
// its version, and the units it is for.
struct AutomaticFirmware {
  const char* prefix;
  const char* key;
  const char* owner;
};

constexpr AutomaticFirmware kZelCobra{"ZelXBCobraFirmware_v", "ZEL_BREAK", "the Zel Cobranet breakout boxes"};
constexpr AutomaticFirmware kZelEther{"ZelXBEtherFirmware_v", "ZEL_BREAK", "the Zel Ethersound breakout boxes"};
constexpr AutomaticFirmware kZelDante{"ZelXBDanteFirmware_v", "ZEL_BREAK", "the Zel Dante and Quill breakout boxes"};
constexpr AutomaticFirmware kZelAmp{"ZelAmpFirmware_v", "ZEL_SERIES", "the Zel-1 to Zel-5 amplifiers"};
constexpr AutomaticFirmware kZel6{"Zel6Firmware_v", "ZEL_6", "the Zel-6 amplifiers"};
constexpr AutomaticFirmware kFennick{"FennickFirmware_v", "Fennick", "the Fennick processors"};
constexpr const AutomaticFirmware* kAutomaticFirmware[] = {&kZelCobra, &kZelEther, &kZelDante,
                                                           &kZelAmp,   &kZel6,     &kFennick};

// The file a type code's loader picks itself; null for codes whose file the user chooses.
const AutomaticFirmware* AutomaticFirmwareOf(std::uint8_t type) {
  switch (type) {
    case 0x22: case 0x23: case 0x28: case 0x29: return &kZelCobra;
    case 0x24: case 0x25: case 0x2A: case 0x2B: return &kZelEther;
    case 0x26: case 0x27: case 0x2C: case 0x2D: case 0x2E: case 0x2F: return &kZelDante;
    case 0x33: case 0x34: case 0x35: case 0x36: case 0x38: return &kZelAmp;
    case 0x37: return &kZel6;
    case 0x10: case 0x11: return &kFennick;
    default: return nullptr;
  }
}

bool StartsWithNoCase(const std::string& text, const char* start) {
  const std::size_t n = std::strlen(start);
  if (text.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(start[i])))
      return false;
  }
  return true;
}

std::string ProgramFolderOr(const std::string& programFolder) {
  return programFolder.empty() ? GetExecutableFolder() : programFolder;
}

}  // namespace

std::string AutomaticFirmwareVersion(std::uint8_t type, const std::string& programFolder) {
  const AutomaticFirmware* firmware = AutomaticFirmwareOf(type);
  if (!firmware) return std::string();
  return ReadIniValueFromFile(ProgramFolderOr(programFolder) + kFirmwareTableName, firmware->key);
}

std::string AutomaticFirmwarePath(std::uint8_t type, const std::string& programFolder) {
  const AutomaticFirmware* firmware = AutomaticFirmwareOf(type);
  if (!firmware) return std::string();
  std::string version = AutomaticFirmwareVersion(type, programFolder);
  std::replace(version.begin(), version.end(), '.', '_');
  return ProgramFolderOr(programFolder) + firmware->prefix + version + ".hex";
}

std::string NoFirmwareVersionText(std::uint8_t type) {
  const AutomaticFirmware* firmware = AutomaticFirmwareOf(type);
  std::string text = "No firmware version is configured for this unit: ";
  text.append(kFirmwareTableName).append(" has no \"").append(firmware ? firmware->key : "").append("\" entry");
  return text;
}

std::string AutomaticFirmwareOwner(const std::string& fileName) {
  const std::size_t n = fileName.size();
  if (n < 4 || !StartsWithNoCase(fileName.substr(n - 4), ".hex")) return std::string();
  for (const AutomaticFirmware* firmware : kAutomaticFirmware) {
    if (StartsWithNoCase(fileName, firmware->prefix)) return firmware->owner;
  }
  return std::string();
}

std::string PresetSetName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const CWideString name = Utf8ToCString(slash == std::string::npos ? path : path.substr(slash + 1));
  std::string bytes;
  for (std::size_t i = 0; i < name.size() && i < 40; ++i) bytes += char(name[i] & 0xFF);
  return bytes;
}

namespace {

// The size of the file at path, 0 when there is none to read.
std::uint64_t FileBytes(const std::string& path) {
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return 0;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : std::min<std::uint64_t>(size, kMaxLoaderFileBytes);
}

}  // namespace

std::uint64_t LongestLoadMs(const CLoaderJob& job) {
  const std::uint8_t type = job.deviceType;
  switch (LoaderKindOf(type)) {
    case LoaderKind::kAmpModule:
      return (job.firmwarePath.empty() ? 0 : LongestAmpFirmwareMs(FileBytes(job.firmwarePath))) +
             (job.presetPath.empty() ? 0 : LongestAmpPresetsMs(FileBytes(job.presetPath)));
    case LoaderKind::kZel:
      return LongestLongIdFirmwareMs(FileBytes(AutomaticFirmwarePath(type, job.programFolder)), false);
    case LoaderKind::kSornic: return LongestLongIdFirmwareMs(FileBytes(job.firmwarePath), true);
    case LoaderKind::kProcessor: {
      const std::string automatic = AutomaticFirmwarePath(type, job.programFolder);
      return LongestProcessorFirmwareMs(FileBytes(automatic.empty() ? job.firmwarePath : automatic));
    }
    case LoaderKind::kNone: break;
  }
  return 0;
}
