// The data of one custom control panel: name and identity, grid and background, where its
// window was and whether it was open, and its widgets in drawing order. The system owns every
// panel; the panel's view and frame only point at it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "custom/CustomControlObject.h"
#include "core/model/DeviceProperty.h"
#include "core/model/ObjectProperties.h"
#include "core/file/Uuid.h"
#include "platform/Types.h"

class CArchive;
class CCCImageBase;
class CCCImage;
class CDevice;
class ICustomPanelHost;

// Name of the clipboard format of custom panels.
inline constexpr const char* kCustomPanelClipboardFormat = "CustomControlPanel";
inline constexpr std::int32_t kGridPitchMin = 2;
inline constexpr std::int32_t kGridPitchMax = 20;
inline constexpr std::int32_t kDefaultGridPitch = 5;
inline constexpr const char* kGridPitchRangeText = "Window value must be between %d and %d";

// How the background image is laid out.
enum : std::uint32_t { kImageUsageTile = 1, kImageUsageCentre = 2, kImageUsageStretch = 4 };

class CCPData : public CObjectProperties, public IPropertyGridOwner {
 public:
  explicit CCPData(ICustomPanelHost* owner = nullptr);
  ~CCPData() override;
  CCPData(const CCPData&) = delete;
  CCPData& operator=(const CCPData&) = delete;

  // --- CObjectProperties: the property list is the grid's rows without "Disable Close
  // Panel", and "Image Usage" only with a background image; the clipboard goes to the open
  // view ---
  void GetProperties(std::vector<CPropertyItem>& items) override;
  bool ValidateProperty(CNamedPropertyValue& value) override;
  void CopyToClipboard(std::uint32_t command) override;
  bool CanCopy(std::uint32_t command) override;
  void PasteFromClipboard(std::uint32_t command) override;
  bool CanPaste(std::uint32_t command) override;
  std::uint32_t GetClipboardFormat() override;

  // --- Properties grid (design mode only) ---
  // "General": "Name" (1), "Disable Close Panel" (7), "Grid Pitch" (3); "Background":
  // "Background Colour" (4), "Background Image" (5), "Image Usage" (6).
  void FillPropertiesPane(IDevicePropertyGrid& grid) override;
  // Applies one committed row; a name the panel-name rule refuses (a control character, over
  // 40 characters) or a pitch outside 2 to 20 is refused with its message in the row. Every
  // change marks the file modified.
  bool OnPropertyChanged(CDeviceProperty& row) override;
  CListForm ListForm() const;

  // Stores the panel record (version 2) or loads one (versions 1 and 2). A record of another
  // version, a widget type no kind has, or a damaged widget throws CArchiveException; the
  // widgets read so far stay in the panel, which the caller deletes.
  void Serialize(CArchive& ar, const CRecordLookup& lookup);

  std::string GetName() const { return m_name; }
  const CUuid& GetUuid() const { return m_uuid; }
  ICustomPanelHost* GetOwner() const { return m_pOwner; }

  // Every widget bound to the device drops the binding (before the device is deleted); its
  // parameter id stays.
  void DetachDevice(const CDevice* device);
  // The widgets and the background let go of the image (before it is deleted).
  void ReleaseImage(CCCImageBase* image);
  void ClearPanelReference(const CUuid& panel);
  void ClearSnapshotReference(const CUuid& snapshot);

  ICustomPanelHost* m_pOwner = nullptr;
  CCustomControlPanel* m_pView = nullptr;  // the open view, null when closed; not owned
  std::string m_name;                      // at most 40 characters
  CUuid m_uuid;
  bool m_showGrid = true;
  bool m_snapToGrid = false;
  bool m_disableClosePanel = false;
  std::int32_t m_gridPitch = kDefaultGridPitch;  // pixels, 2 to 20
  std::uint32_t m_imageUsage = kImageUsageTile;
  CColour m_background = CColour::FromArgb(255, 0, 0, 40);
  CCCImage* m_pBackgroundImage = nullptr;  // an image of the file's image tree; not owned
  // flags, show command, maximised x, y, minimised x, y, normal left, top, right, bottom.
  std::array<std::int32_t, 10> m_placement{0, 3, -1, -1, -1, -1, -1, -1, 500, 500};
  bool m_panelWasOpen = false;    // set by loading a file: the panel was open when stored
  std::int32_t m_panelOrder = 0;  // 0 closed, open panels 1 to m with the highest on top
  std::vector<CCustomControlObject*> m_widgets;  // owning; drawing order
  CCustomControlPanel* m_pSecondView = nullptr;  // cleared by the design/operate switch

 private:
  bool InDesignMode() const;
  // The open view redraws everything and the file is marked modified.
  void Rebuilt();
  // Redraws the widget in the open view when it answered true.
  void Redraw(CCustomControlObject* widget, bool changed);
};

// The panel with that id in the host's panel list; null when none has it.
CCPData* FindCustomPanel(const ICustomPanelHost& host, const CUuid& id);
