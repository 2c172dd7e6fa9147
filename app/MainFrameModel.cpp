// The frame's calls into the system object and its dialogs.
#include "app/MainFrameModel.h"

#include "app/MainFrame.h"
#include "core/System.h"
#include "core/User.h"

std::uint64_t UserRestrictionMask(const CUser& user) {
  return std::uint64_t(user.m_restrictLow) | (std::uint64_t(user.m_restrictHigh) << 32);
}

bool UserMayUse(const CUser& user, const CUuid& uuid) {
  if (UserRestrictionMask(user) == 0) return true;
  for (const auto* list : {&user.m_devicePermissions, &user.m_panelPermissions}) {
    for (const CPanelPermissions* p : *list) {
      if (p->GetUuid() == uuid) return (p->GetFlags() & CPanelPermissions::kCanUse) != 0;
    }
  }
  return false;
}

bool ModelOpenFile(CSystem& system, const std::string& path) {
  (void)system;
  (void)path;
  return false;
}

bool ModelSaveFile(CSystem& system, const std::string& path) {
  (void)system;
  (void)path;
  return false;
}

bool ModelGoOnline(CSystem& system, std::uint32_t choice) {
  (void)system;
  (void)choice;
  return false;
}

void ModelSetOffline(CSystem& system) { (void)system; }

void ModelRestorePanelOrder(CSystem& system) { (void)system; }

bool ModelConfirmAction(CSystem& system, std::uint32_t bit) {
  (void)system;
  (void)bit;
  return true;
}

void ModelSendGlobalMute(CSystem& system, bool mute) {
  (void)system;
  (void)mute;
}

void ModelRecallSnapshot(CSystem& system, int index) {
  (void)system;
  (void)index;
}

void ModelUpdateSnapshotControls(CSystem& system) { (void)system; }

void RunAutoscanDialog(CMainFrame& frame, CSystem& system) {
  (void)frame;
  (void)system;
}

void RunSecurityDialog(CMainFrame& frame, CSystem& system, const char* caption) {
  (void)frame;
  (void)system;
  (void)caption;
}

bool RunSettingsSheet(CMainFrame& frame, CSystem& system) {
  (void)frame;
  (void)system;
  return false;
}
