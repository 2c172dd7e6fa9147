// The frame's dialogs that the worker hands over to.
#include "app/MainFrameDialogs.h"

#include "app/MainFrame.h"
#include "core/system/System.h"
#include "ui/AutoscanDlg.h"
#include "ui/dialogs/SecurityDlg.h"

void RunAutoscanDialog(CMainFrame& frame, CSystem& system) {
  CAutoscanDlg dialog(system, &frame);
  dialog.SetTitle(QStringLiteral("Autoscanning..."));
  dialog.exec();
}

void RunSecurityDialog(CMainFrame& frame, CSystem& system, const char* caption) {
  CSecurityDlg dialog(system, &frame);
  dialog.SetTitle(QString::fromLatin1(caption));
  dialog.exec();
}
