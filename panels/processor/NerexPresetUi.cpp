// The preset questions of the processor panels: the name and file dialogs, the timed-preset
// editor and the preset manager, each opened over the panel that asks.
#include "panels/processor/NerexPresetUi.h"

#include <QFileDialog>

#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/NerexSeriesFile.h"
#include "widgets/FileFilters.h"
#include "panels/processor/FennickPresetDlg.h"
#include "panels/processor/FennickTimedPresetDlg.h"
#include "panels/processor/NerexSeriesPresetDlg.h"

namespace NerexPresetUi {

bool AskPresetName(QWidget* panel, const std::string& caption, std::string& name) {
  CFennickPresetDlg dialog(panel, 20, 180, QString::fromUtf8(caption));
  dialog.m_name = QString::fromUtf8(name);
  if (dialog.exec() != QDialog::Accepted) return false;
  name = dialog.GetPresetName().toStdString();
  return true;
}

bool AskPresetFile(QWidget* panel, bool save, std::string& path) {
  QFileDialog dialog(panel);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QString::fromLatin1(kNerexPresetFileExtension));
  dialog.setNameFilters(ToQtNameFilters(save ? kNerexPresetFileFilter : kNerexPresetOpenFilter).split(QStringLiteral(";;")));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().front().toStdString();
  return true;
}

bool EditTimedPresets(QWidget* panel, CNerexSeriesDevice& device, TimedPresetEntry* entries) {
  CFennickTimedPresetDlg dialog(panel, 20, 180, QStringLiteral("Configure Timed Presets"), entries, device.GetPresets());
  return dialog.exec() == QDialog::Accepted;
}

void OpenPresetManager(QWidget* panel, CNerexSeriesDevice& device) {
  CNerexSeriesPresetDlg dialog(panel, &device, 268, 10, QStringLiteral("Presets"));
  dialog.exec();
}

}  // namespace NerexPresetUi
