// The frame's dialogs that the worker hands over to.
#include "app/MainFrameDialogs.h"

#include "app/MainFrame.h"
#include "core/System.h"
#include "ui/AutoscanDlg.h"

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
