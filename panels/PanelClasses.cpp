// Each family's panel class joins the registry here under its GetControlPanelClass name; a
// family whose panel is not listed opens no panel window.
#include "panels/PanelClasses.h"

#include "panels/ControlPanelWnd.h"
#include "panels/FennickControlPanel.h"
#include "panels/NerexControlPanel.h"
#include "panels/TorvexControlPanel.h"
#include "panels/ZelBreakControlPanel.h"
#include "panels/ZelSeriesControlPanel.h"

void RegisterDevicePanelClasses() {
  RegisterControlPanelClass("CFennickControlPanel", &CFennickControlPanel::CreateObject);
  RegisterControlPanelClass("CZelFennickControlPanel", &CZelFennickControlPanel::CreateObject);
  RegisterControlPanelClass("CNerexControlPanel", &CNerexControlPanel::CreateObject);
  RegisterControlPanelClass("CCalder48ControlPanel", &CCalder48ControlPanel::CreateObject);
  RegisterControlPanelClass("CHollin2ControlPanel", &CHollin2ControlPanel::CreateObject);
  RegisterControlPanelClass("CZelBreakControlPanel", &CZelBreakControlPanel::CreateObject);
  RegisterControlPanelClass("CZelSeriesControlPanel", &CZelSeriesControlPanel::CreateObject);
  RegisterControlPanelClass("CTorvexControlPanel", &CTorvexControlPanel::CreateObject);
}
