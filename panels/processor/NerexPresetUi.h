// The windows behind a processor panel's preset questions (INerexSeriesPanel): a panel
// answers them by calling these with itself as the parent.
#pragma once

#include <string>

class CNerexSeriesDevice;
class QWidget;
struct TimedPresetEntry;

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
