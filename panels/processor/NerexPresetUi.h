// A processor panel's preset questions: what the panel answers before a preset action of one of
// its widgets is handed in (INerexPresetQuestions), how it asks them and hands the action in
// (HandPresetAction), and the windows behind them, which a panel opens with itself as the
// parent.
#pragma once

#include <string>

class CNerexSeriesDevice;
class QWidget;
struct TimedPresetEntry;

// The questions of the preset actions (ids 420 to 427, 436 to 438 and 495), each asked of the
// panel whose widget was pressed. A panel without them cancels every question. UI thread.
class INerexPresetQuestions {
 public:
  virtual ~INerexPresetQuestions() = default;

  // The selected row of the panel's preset list, 0-based; -1 when none.
  virtual int GetPresetSelection() const { return -1; }
  // Asks for a preset name (at most 16 characters) under caption; false when cancelled.
  virtual bool AskPresetName(const std::string& caption, std::string& name) {
    (void)caption, (void)name;
    return false;
  }
  // Asks for a preset file to save to (save) or load from; false when cancelled.
  virtual bool AskPresetFile(bool save, std::string& path) {
    (void)save, (void)path;
    return false;
  }
  // Shows why a preset file could not be saved or loaded.
  virtual void ShowPresetFileError(const std::string& message) { (void)message; }
  // Shows what became of a loaded preset file's name that a preset memory could not keep.
  virtual void ShowPresetFileNote(const std::string& message) { (void)message; }
  // Edits the ten timed presets in place; false when cancelled (then they are unchanged).
  virtual bool EditTimedPresets(TimedPresetEntry* entries, int count) {
    (void)entries, (void)count;
    return false;
  }
  // Opens the preset manager dialog (modal); its buttons hand in their own actions.
  virtual void OpenPresetManager() {}
};

// How a processor panel hands in a preset action of one of its widgets: asks the panel's
// questions first (the name, the file, the timed presets, the confirmation) with the panel's
// selection as the row, hands the action in with the answers (a CNerexPresetAnswer, through
// ConfirmAndApplyUserChange), and shows a preset file's error or note afterwards. The preset
// manager (id 495) opens from here and hands in its own actions; it changes nothing itself. A
// user without the right to recall presets is asked nothing, and while the unit is away online
// the action is refused at once (the panel says why) and the manager does not open. False when
// a question was declined or the action was refused. UI thread.
bool HandPresetAction(CNerexSeriesDevice& device, INerexPresetQuestions& panel, int id);

namespace NerexPresetUi {

// The preset name dialog at (20, 180) over the panel; false when cancelled.
bool AskPresetName(QWidget* panel, const std::string& caption, std::string& name);
// The ".fnp" save or open dialog; false when cancelled.
bool AskPresetFile(QWidget* panel, bool save, std::string& path);
// The timed-preset editor at (20, 180), "Configure Timed Presets"; false when cancelled.
bool EditTimedPresets(QWidget* panel, CNerexSeriesDevice& device, TimedPresetEntry* entries);
// The preset manager at (268, 10), "Presets".
void OpenPresetManager(QWidget* panel, CNerexSeriesDevice& device);

}  // namespace NerexPresetUi
