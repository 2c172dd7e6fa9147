// The data of one custom control panel, the least of its widgets and of its view that the
// system object needs to own panels, keep them apart from deleted devices and refresh them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Uuid.h"
#include "platform/Types.h"

class CCCImageBase;
class CDevice;

// Base of the custom widgets. The widget kinds override the hooks that concern them.
class CCustomControlObject {
 public:
  virtual ~CCustomControlObject() = default;
  // The kind as panel records store it (1 bitmap, 2 LED, 3 fader, 4 knob, 5 text, 8 button).
  virtual std::uint32_t GetControlType() const { return 0; }
  // The widget stops showing the image (called before the image is removed).
  virtual void ReleaseImage(CCCImageBase* image) { (void)image; }
  // The widget forgets the custom panel it opens when it is this one.
  virtual void ClearPanelReference(const CUuid& panel) { (void)panel; }
  // The widget forgets the snapshot it recalls when it is this one.
  virtual void ClearSnapshotReference(const CUuid& snapshot) { (void)snapshot; }

  CDevice* m_pDevice = nullptr;  // the bound device, null when unbound; not owned
  std::uint32_t m_parameterId = 0;
};

// Deletes every widget of the array and empties it.
void DeleteCustomControlObjects(std::vector<CCustomControlObject*>& widgets);

// What the system asks of an open custom panel view. UI thread.
class CCustomControlPanel {
 public:
  virtual ~CCustomControlPanel() = default;
  // Every widget bound to this device parameter re-reads it; the panel redraws.
  virtual void BroadcastParameterUpdate(CDevice* device, std::uint32_t parameterId) = 0;
  // Every widget updates its lit state for this snapshot; the panel redraws.
  virtual void BroadcastSnapshotRecalled(const CUuid& snapshot) = 0;
  // Destroys the frame window that holds the view; the view no longer exists afterwards.
  virtual void DestroyPanelWindow() = 0;
  // Brings the frame window that holds the view to the top. Base: nothing.
  virtual void BringPanelToTop() {}
};

class CCPData {
 public:
  CCPData();
  ~CCPData();
  CCPData(const CCPData&) = delete;
  CCPData& operator=(const CCPData&) = delete;

  const CUuid& GetUuid() const { return m_uuid; }
  // Every widget bound to the device drops the binding (before the device is deleted).
  void DetachDevice(const CDevice* device);
  void ReleaseImage(CCCImageBase* image);
  void ClearPanelReference(const CUuid& panel);
  void ClearSnapshotReference(const CUuid& snapshot);

  std::string m_name;  // at most 40 characters
  CUuid m_uuid;
  CCustomControlPanel* m_pView = nullptr;  // the open view, null when closed; not owned
  bool m_showGrid = true;
  bool m_snapToGrid = false;
  bool m_disableClosePanel = false;
  std::int32_t m_gridPitch = 5;            // pixels, 2 to 20
  std::uint32_t m_imageUsage = 1;          // 1 tile, 2 centre, 4 stretch
  CColour m_background = CColour::FromArgb(255, 0, 0, 40);
  CCCImageBase* m_pBackgroundImage = nullptr;  // a node of the file's image tree; not owned
  // flags, show command, maximised x, y, minimised x, y, normal left, top, right, bottom.
  std::array<std::int32_t, 10> m_placement{0, 3, -1, -1, -1, -1, -1, -1, 500, 500};
  bool m_panelWasOpen = false;    // set by loading a file: the panel was open when stored
  std::int32_t m_panelOrder = 0;  // 0 closed, open panels 1 to m with the highest on top
  std::vector<CCustomControlObject*> m_widgets;  // owning; drawing order
  CCustomControlPanel* m_pSecondView = nullptr;  // cleared by the design/operate switch
};
