// What the custom panels and their widgets need of the system that owns them: the modified
// flag, the design/operate mode, the panel and snapshot lists, the copied widgets, the UI
// services (posting to the main frame) and the two pickers that list the system's images and
// devices. The system implements it; panels and widgets reach the system only through it.
// UI thread.
#pragma once

#include <cstdint>
#include <vector>

class CCCImageBase;
class CCPData;
class CDevice;
class CCustomControlObject;
class CSnapshot;
class IUiServices;

class ICustomPanelHost {
 public:
  virtual void SetModified(bool modified = true) = 0;
  // 1 in design mode, 0 in operate mode.
  virtual std::int32_t GetDesignMode() const = 0;
  virtual const std::vector<CCPData*>& GetCustomPanels() const = 0;
  virtual const std::vector<CSnapshot*>& GetSnapshots() const = 0;
  // The index of the snapshot recalled last, -1 for none.
  virtual std::int32_t GetCurrentSnapshot() const = 0;
  // True when the current user holds the right to recall snapshots.
  virtual bool MayCurrentUserRecallSnapshots() const = 0;
  // The widgets on the panel clipboard.
  virtual const std::vector<CCustomControlObject*>& GetCopiedWidgets() const = 0;
  // The index of device in the system's device list, -1 when the system does not hold it.
  virtual int GetDeviceIndex(const CDevice* device) const = 0;
  // Null without a user interface: nothing is posted and no picker runs.
  virtual IUiServices* GetUiServices() const = 0;
  // The image selection dialog over the file's images and the library; image may come back
  // null ("Remove Image"). True on OK.
  virtual bool PickImage(CCCImageBase*& image) = 0;
  // The parameter selection dialog over the system's devices; it binds the widget itself on OK.
  virtual bool PickParameter(CCustomControlObject* widget) = 0;

 protected:
  ~ICustomPanelHost() = default;
};
