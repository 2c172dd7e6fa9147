// The preset questions of the processor panels: how a panel asks them before it hands a
// preset action in, and the name and file dialogs, the timed-preset editor and the preset
// manager, each opened over the panel that asks.
#include "panels/processor/NerexPresetUi.h"

#include <QFileDialog>

#include <algorithm>
#include <array>

#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/NerexSeriesFile.h"
#include "platform/Sync.h"
#include "widgets/FileFilters.h"
#include "panels/processor/FennickPresetDlg.h"
#include "panels/processor/FennickTimedPresetDlg.h"
#include "panels/processor/NerexSeriesPresetDlg.h"

namespace {

// Memory n (1-based) of the device's list, null where the list has none. Under the settings
// lock.
const CNerexSeriesMemory* Memory(const CNerexSeriesDevice& device, int n) {
  const CNerexMemoryView presets = device.GetPresets();
  return n >= 1 && std::size_t(n) <= presets.size() ? presets[std::size_t(n) - 1] : nullptr;
}

// The memory number of the panel's row, 0 when there is none or it lies beyond the list.
int MemoryOfRow(const CNerexSeriesDevice& device, int row) {
  CSingleLock lock(device.SettingsLock());
  return Memory(device, row + 1) ? row + 1 : 0;
}

bool Stored(const CNerexSeriesDevice& device, int n) {
  CSingleLock lock(device.SettingsLock());
  const CNerexSeriesMemory* memory = Memory(device, n);
  return memory && memory->HoldsAnySection();
}

bool AnyStored(const CNerexSeriesDevice& device) {
  CSingleLock lock(device.SettingsLock());
  const CNerexMemoryView presets = device.GetPresets();
  return std::any_of(presets.begin(), presets.end(), [](const CNerexSeriesMemory* m) { return m && m->HoldsAnySection(); });
}

std::string MemoryName(const CNerexSeriesDevice& device, int n) {
  CSingleLock lock(device.SettingsLock());
  const CNerexSeriesMemory* memory = Memory(device, n);
  return memory ? memory->name : std::string();
}

}  // namespace

bool HandPresetAction(CNerexSeriesDevice& device, INerexPresetQuestions& panel, int id) {
  const CParamValue action(id, 0.0f, ParamKind::kNone);
  // Without the right to recall presets nothing is asked: the gate refuses the action.
  if (!device.Gate().MayCurrentUserChange(id)) return device.Gate().ApplyUserChange(action);
  // Nor while the unit is away online, where every preset action is refused: the refusal says
  // so before a name, a file or the timed presets are asked for in vain.
  if (device.HeldValues().RefuseChangeWhileAway(id)) return false;
  CNerexPresetAnswer answer;
  answer.row = panel.GetPresetSelection();
  const int n = MemoryOfRow(device, answer.row);
  switch (id) {
    case kPresetActionStore:
      if (n == 0) return false;
      answer.name = MemoryName(device, n);
      if (!panel.AskPresetName("Store Preset", answer.name)) return false;
      break;
    case kPresetActionRename:
      if (!Stored(device, n)) return false;
      answer.name = MemoryName(device, n);
      if (!panel.AskPresetName("Rename Preset", answer.name)) return false;
      break;
    case kPresetActionSaveFile:
    case kPresetActionLoadFile:
      if (!panel.AskPresetFile(id == kPresetActionSaveFile, answer.path)) return false;
      break;
    case kPresetActionTimed:
      if (!AnyStored(device)) return false;
      {
        CSingleLock lock(device.SettingsLock());
        answer.timed = device.GetTimedPresets();
      }
      {
        const std::array<TimedPresetEntry, kNerexTimedPresets> shown = answer.timed;
        if (!panel.EditTimedPresets(answer.timed.data(), kNerexTimedPresets)) return false;
        // The unit's replies went on being taken while the dialog was open: a row the person
        // left as shown keeps what the device holds now, so that only the rows they changed
        // are theirs.
        CSingleLock lock(device.SettingsLock());
        const std::array<TimedPresetEntry, kNerexTimedPresets>& now = device.GetTimedPresets();
        for (std::size_t row = 0; row < shown.size(); ++row)
          if (answer.timed[row] == shown[row]) answer.timed[row] = now[row];
      }
      break;
    case kPresetActionManager:
      // Its own buttons hand in what they do, each with its own answers.
      panel.OpenPresetManager();
      return true;
    default: break;
  }
  const bool taken = ConfirmAndApplyUserChange(device, action, answer);
  if (!answer.fileError.empty()) panel.ShowPresetFileError(answer.fileError);
  if (!answer.fileNote.empty()) panel.ShowPresetFileNote(answer.fileNote);
  return taken;
}

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
