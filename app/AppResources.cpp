// Shell texts and images from the program's resources.
#include "app/AppResources.h"

#include <map>
#include <utility>

#include "app/CommandIds.h"
#include "resources/Resources.h"

namespace {

QImage ImageFromBytes(std::string_view kind, int id) {
  const auto bytes = FindResourceBytes(kind, std::uint32_t(id));
  if (bytes.empty()) return QImage();
  return QImage::fromData(bytes.data(), int(bytes.size()));
}

// Where each command's button image sits: the toolbar strip (high-colour resource) and the
// button's index in it, 16 x 16 pixels a button.
const std::map<std::uint32_t, std::pair<int, int>>& ButtonImages() {
  using namespace Cmd;
  static const std::map<std::uint32_t, std::pair<int, int>> table = {
      {kFileNew, {129, 0}},         {kFileOpen, {129, 1}},         {kFileSave, {129, 2}},
      {kEditCopy, {129, 3}},        {kEditPaste, {129, 4}},        {kAppAbout, {129, 5}},
      {kOnline, {326, 0}},          {kOptions, {326, 1}},          {kAutoscan, {326, 2}},
      {kGlobalMute, {339, 0}},      {kLinkManager, {354, 0}},      {kLinkingStatus, {354, 1}},
      {kOperateMode, {354, 2}},     {kDesignMode, {354, 3}},       {kImageLibraryManager, {354, 4}},
      {kPanelCombo, {374, 0}},      {kNewCustomPanel, {374, 1}},   {kDeletePanel, {374, 2}},
      {kSnapshotCombo, {380, 0}},   {kNewSnapshot, {380, 1}},      {kDeleteSnapshot, {380, 2}},
      {kRenameSnapshot, {380, 3}},  {kDeviceProperties, {330, 0}}, {kAddDevice, {330, 1}},
      {kDeleteDevice, {330, 2}},    {kAddZone, {330, 3}},          {kDeleteZone, {330, 4}},
  };
  return table;
}

}  // namespace

QString AppString(int id) { return QString::fromStdString(LoadResourceString(std::uint32_t(id))); }

QImage LoadAppImage(int id) {
  QImage image = ImageFromBytes("BMP", id);
  return image.isNull() ? ImageFromBytes("ICON", id) : image;
}

QImage LoadAppIcon(int id) { return ImageFromBytes("ICON", id); }

QImage LoadToolbarImage(std::uint32_t commandId) {
  const auto& table = ButtonImages();
  auto it = table.find(commandId);
  if (it == table.end()) return QImage();
  const QImage strip = ImageFromBytes("BMP", it->second.first);
  const int x = it->second.second * 16;
  if (strip.isNull() || strip.width() < x + 16) return QImage();
  return strip.copy(x, 0, 16, 16);
}
