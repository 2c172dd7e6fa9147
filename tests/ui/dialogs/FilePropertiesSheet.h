// The "File Properties" sheet as the frame opens it, for the tests of its pages: the general
// page and the users page, shown on the users page, their messages recorded.
#pragma once

#include <QDialogButtonBox>
#include <QPushButton>
#include <QStringList>
#include <QTabBar>

#include "core/system/System.h"
#include "ui/SettingsSheet.h"
#include "ui/dialogs/UserLevelsDialog.h"

// The sheet, its two pages, and what the pages said.
struct FilePropertiesSheet {
  explicit FilePropertiesSheet(CSystem& system) : sheet(QStringLiteral("File Properties")) {
    general = new CGeneralFilePropertiesDialog(&system);
    users = new CUserLevelsDialog(&system);
    sheet.AddPage(QStringLiteral("General"), general);
    sheet.AddPage(QStringLiteral("User Levels"), users);
    for (CSettingsPage* page : {static_cast<CSettingsPage*>(general), static_cast<CSettingsPage*>(users)})
      page->SetMessageHandler([this](const QString& text) { messages << text; });
    sheet.show();
    sheet.Tabs()->setCurrentIndex(1);
  }
  void PressOk() { sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click(); }
  CSettingsSheet sheet;
  CGeneralFilePropertiesDialog* general;
  CUserLevelsDialog* users;
  QStringList messages;
};
