// The Confirm Dialogs settings page.
#include "ui/ConfirmDialogsDlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "core/model/Confirm.h"

namespace {
const char* const kBoxTexts[CConfirmDialogsDlg::kBoxCount] = {
    "Global Mute On/Off",
    "Graphic EQ Flatten",
    "Preset Recall",
    "Preset Overwrite",
    "Preset Clear",
    "Delete Device",
    "Delete Custom Control Panel",
    // "&&" shows one ampersand on a check box.
    "Change Ouput Routing (Nerex && Torvex-Series Only)",
    "Snapshot Recall",
    "Snapshot Delete",
};
}  // namespace

CConfirmDialogsDlg::CConfirmDialogsDlg(QWidget* parent) : QWidget(parent) {
  setWindowTitle(Title());
  auto* group = new QGroupBox(QStringLiteral("Show confirm dialog boxes for :"), this);
  auto* groupLayout = new QVBoxLayout(group);
  for (int i = 0; i < kBoxCount; ++i) {
    m_boxes[std::size_t(i)] = new QCheckBox(QString::fromUtf8(kBoxTexts[i]), group);
    groupLayout->addWidget(m_boxes[std::size_t(i)]);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch(1);
  OnInitDialog();
}

QString CConfirmDialogsDlg::Title() { return QStringLiteral("Confirm Dialogs"); }

void CConfirmDialogsDlg::OnInitDialog() {
  for (int i = 0; i < kBoxCount; ++i) m_boxes[std::size_t(i)]->setChecked(GetConfirmBit(kConfirmBits[i]));
}

void CConfirmDialogsDlg::OnApply() {
  for (int i = 0; i < kBoxCount; ++i) SetConfirmBit(kConfirmBits[i], m_boxes[std::size_t(i)]->isChecked());
}
