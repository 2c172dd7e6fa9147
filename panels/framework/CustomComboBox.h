// A drawn drop-down list of a device panel and its items. UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/draw/TextStyle.h"
#include "panels/framework/ControlObject.h"

// One item: its own copy of the text and the value the combo sends when it is chosen.
struct CComboBoxData {
  std::string text;  // UTF-8
  std::int32_t value = 0;
};

class CCustomComboBox : public CControlObject {
 public:
  CCustomComboBox(CControlPanelWnd* owner, int id, const CRect& rect);
  ~CCustomComboBox() override;

  void Draw(Graphics& g, const CRect& clip) override;
  // A press opens the list; the wheel steps the choice.
  bool OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) override;
  // An integer (or float) value chooses the item carrying it; no item: nothing chosen.
  CRect UpdateFromParameter(const CParamValue& value) override;

  void AddItem(const std::string& text, std::int32_t value);
  // Deletes every item.
  void DeleteStringArray();
  const std::vector<CComboBoxData*>& GetItems() const { return m_items; }
  int GetCurSel() const { return m_curSel; }
  // -1 chooses nothing; out-of-range indexes are refused.
  void SetCurSel(int index);
  // Chooses the item and sends its value to the device (the user's choice).
  void ChooseItem(int index);
  std::string GetCurText() const;

  CTextStyle& GetTextStyle() { return m_style; }
  // The box's fill (first) and its frame (second), ARGB; the text and the arrow take the
  // text style's colour.
  std::uint32_t m_colour1 = 0xFF000000u;
  std::uint32_t m_colour2 = 0xFF000000u;
  // Where the list opens: below this rectangle, as wide as it.
  CRect m_dropAnchor;

 private:
  std::vector<CComboBoxData*> m_items;  // owning
  int m_curSel = -1;
  CTextStyle m_style;
};
