// Answers the preset name dialog a processor panel is about to show: checks the name it offers
// and saves the typed one.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTimer>

#include "panels/processor/FennickPresetDlg.h"

inline void AnswerPresetNameDialog(const QString& offered, const QString& typed) {
  QTimer::singleShot(0, [offered, typed] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dialog = dynamic_cast<CFennickPresetDlg*>(w); dialog && dialog->isVisible()) {
        EXPECT_EQ(dialog->NameEdit()->text(), offered);
        dialog->NameEdit()->setText(typed);
        dialog->SaveButton()->click();
      }
  });
}
