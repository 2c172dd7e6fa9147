// The system's custom panels, the widgets copied in the designer, the design mode, and the
// stacking order of the open panel windows (device control panels and custom panel views).
#pragma once

#include <cstdint>
#include <vector>

class CCPData;
class CControlPanel;
class CCustomControlObject;
class CCustomControlPanel;
class CDevice;
class CSystem;

// UI thread.
class CSystemPanels {
 public:
  explicit CSystemPanels(CSystem& system) : m_system(system) {}
  ~CSystemPanels();
  CSystemPanels(const CSystemPanels&) = delete;
  CSystemPanels& operator=(const CSystemPanels&) = delete;

  const std::vector<CCPData*>& GetCustomPanels() const { return m_customPanels; }
  // Appends a panel the system then owns.
  void AppendCustomPanel(CCPData* panel) { m_customPanels.push_back(panel); }
  // Closes the open panel windows and deletes every panel.
  void DeleteAllCustomPanels();
  // A new custom panel "Panel <n>" (smallest free n); users 1 and up get access to it.
  CCPData* AddCustomPanel();
  // Deletes the panel at index with every reference to it; nothing for a bad index.
  void DeleteCustomPanel(int index);
  // Every open custom panel refreshes the widgets bound to this device parameter.
  void UpdateCustomPanelControls(CDevice* device, std::uint32_t parameterId);
  // Every open custom panel with a widget bound to the device (null: every open panel) draws
  // itself again, so that its widgets show whether their parameters can be changed now.
  void RedrawCustomPanels(const CDevice* device);

  // The widgets the designer copied, for pasting; owned.
  std::vector<CCustomControlObject*>& GetCopiedWidgets() { return m_copiedWidgets; }
  const std::vector<CCustomControlObject*>& GetCopiedWidgets() const { return m_copiedWidgets; }
  void ClearCopiedWidgets();
  std::int32_t GetDesignMode() const { return m_designMode; }
  void SetDesignMode(std::int32_t mode) { m_designMode = mode; }

  // An open panel window: a device control panel or a custom panel view.
  struct CPanelView {
    CControlPanel* devicePanel = nullptr;
    CCustomControlPanel* customPanel = nullptr;
    friend bool operator==(const CPanelView&, const CPanelView&) = default;
  };
  // The open panels ordered by their order numbers, lowest first.
  void GetOpenPanelViews(std::vector<CPanelView>& views) const;
  // The view becomes the top panel (highest order number). Nothing while loading.
  void OnPanelActivated(const CPanelView& view);
  // The view's order number becomes 0 and those above it move down. Nothing while loading.
  void OnPanelClosed(const CPanelView& view);
  // Brings the open panels' windows to the top in order, the highest last.
  void RestorePanelOrder();

 private:
  // The system deletes the panels and the copies with its contents, the panels' windows
  // already gone.
  friend class CSystem;
  void DeleteContents();

  void SetPanelOrder(const CPanelView& view, std::int32_t order);
  std::int32_t GetPanelOrder(const CPanelView& view) const;

  CSystem& m_system;
  std::vector<CCPData*> m_customPanels;
  std::vector<CCustomControlObject*> m_copiedWidgets;
  std::int32_t m_designMode = 0;
};
