// The in-place editor of a text widget: what the user may type, and what a finished edit
// becomes. The edit box itself is a window of the view that shows the widget: a view that is
// also a CTextEditorHost opens it on request and reports the keys, the characters and the end
// of the edit back here; a view destroyed while an edit is open calls Detach first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/values/ParamRecords.h"
#include "platform/Types.h"

class CCCTextControl;
class CCustomControlPanel;

// The number a typed text stands for, by the value kind of the widget's parameter: gains and
// angles as typed, frequencies with their "1k5" and "1k 5" forms snapped to the grid, Q values
// snapped, delays in ms, mm, cm, m or ft (else in the widget's delay unit) snapped. Nothing for
// the kinds that have no number, and for text that is not one number with the kind's units
// (ClassifyTypedValue): an emptied box, "-", ".", "dB", "5x", "nan", "1e999".
std::optional<float> ParseEditedValue(ParamKind kind, const std::string& text, std::uint32_t delayUnit);
// Whether the character may be typed for a parameter of that value kind.
bool IsEditCharAllowed(ParamKind kind, char32_t ch);

class CCCTextEdit {
 public:
  CCCTextEdit() = default;
  // Closes an open edit without committing it.
  ~CCCTextEdit();
  CCCTextEdit(const CCCTextEdit&) = delete;
  CCCTextEdit& operator=(const CCCTextEdit&) = delete;

  // Asks the view to open the edit box over the widget (its rectangle grown by 1 pixel) with
  // the caption all selected. False when an edit is open already or the view is no editor host.
  bool Open(CCustomControlPanel* view, CCCTextControl* widget);
  bool IsOpen() const { return m_open; }
  // The box's horizontal alignment for the widget's flags: 2 right, 0 left, else 1 centre.
  static int Alignment(std::uint32_t flags);

  // --- Called by the view's edit box ---
  // Whether a typed character goes into the box.
  bool OnChar(char32_t ch) const;
  // Enter (13) ends the edit and commits it; Escape (27) ends it and throws it away.
  void OnKeyDown(int key);
  // The box lost the focus (also when it is being destroyed): with the commit flag set, the
  // text becomes the caption and its value is sent. Runs once per edit.
  void OnKillFocus(const std::string& text);
  // The view is going away: the edit ends without a commit.
  void Detach();

  // The caption becomes the text, and the parsed value goes to the widget's device.
  void Commit(const std::string& text);

 private:
  void Close();

  CCustomControlPanel* m_pView = nullptr;  // not owned
  CCCTextControl* m_pWidget = nullptr;     // not owned
  bool m_commit = true;
  bool m_open = false;
};
