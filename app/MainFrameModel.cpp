// The frame's calls into the confirmation step, the global mute and the worker's dialogs.
#include "app/MainFrameModel.h"

#include "app/MainFrame.h"
#include "core/System.h"
#include "ui/AutoscanDlg.h"

bool ConfirmAction(CSystem& system, std::uint32_t bit) {
  (void)system;
  (void)bit;
  return true;
}

void SendGlobalMute(CSystem& system, bool mute) {
  (void)system;
  (void)mute;
}

void RunAutoscanDialog(CMainFrame& frame, CSystem& system) {
  CAutoscanDlg dialog(system, &frame);
  dialog.SetTitle(QStringLiteral("Autoscanning..."));
  dialog.exec();
}

void RunSecurityDialog(CMainFrame& frame, CSystem& system, const char* caption) {
  (void)frame;
  (void)system;
  (void)caption;
}
