// Each family's panel class joins the registry here under its GetControlPanelClass name; a
// family whose panel is not listed opens no panel window.
#include "panels/PanelClasses.h"

#include "panels/framework/ControlPanelWnd.h"
#include "panels/processor/FennickControlPanel.h"
#include "panels/processor/NerexControlPanel.h"
#include "panels/processor/TorvexControlPanel.h"
#include "panels/amplifier/ZelBreakControlPanel.h"
#include "panels/amplifier/ZelSeriesControlPanel.h"

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
