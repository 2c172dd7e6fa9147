// Drawn drop-down list: the box with the chosen item's text and an arrow; the list itself is
// the panel's popup.
#include "panels/framework/CustomComboBox.h"

#include <algorithm>

#include "panels/framework/ControlPanelWnd.h"
#include "platform/Graphics.h"
#include "platform/MouseMessages.h"

CCustomComboBox::CCustomComboBox(CControlPanelWnd* owner, int id, const CRect& rect)
    : CControlObject(owner, id, rect), m_dropAnchor(rect) {}

CCustomComboBox::~CCustomComboBox() { DeleteStringArray(); }

void CCustomComboBox::AddItem(const std::string& text, std::int32_t value) {
  m_items.push_back(new CComboBoxData{text, value});
}

void CCustomComboBox::DeleteStringArray() {
  for (CComboBoxData* item : m_items) delete item;
  m_items.clear();
  m_curSel = -1;
}

void CCustomComboBox::SetCurSel(int index) {
  if (index < -1 || index >= int(m_items.size())) return;
  m_curSel = index;
}

void CCustomComboBox::ChooseItem(int index) {
  if (index < 0 || index >= int(m_items.size())) return;
  m_curSel = index;
  SendValue(MakeIntParamValue(m_id, m_items[std::size_t(index)]->value));
}

std::string CCustomComboBox::GetCurText() const {
  return m_curSel >= 0 ? m_items[std::size_t(m_curSel)]->text : std::string();
}

void CCustomComboBox::Draw(Graphics& g, const CRect& clip) {
  (void)clip;
  const CRectF box = CRectF::FromRect(m_rect);
  g.FillRectangle(CBrush(CColour{m_colour1}), box);
  g.DrawRectangle(CPen(CColour{m_colour2}), CRectF{box.x, box.y, box.width - 1.0f, box.height - 1.0f});
  const CColour textColour = m_style.colour;
  // The arrow: a small triangle in a square at the right end.
  const float side = std::min(box.height, 14.0f);
  const float ax = box.Right() - side - 1.0f;
  const float cy = box.y + box.height / 2.0f;
  g.FillPolygon(CBrush(textColour), {{ax + side * 0.25f, cy - side * 0.15f},
                                     {ax + side * 0.75f, cy - side * 0.15f},
                                     {ax + side * 0.5f, cy + side * 0.2f}});
  const std::string text = GetCurText();
  if (!text.empty()) {
    if (const CFont* font = m_style.Font() ? m_style.Font() : m_style.GetFont()) {
      CStringFormat format(StringAlignment::Near, StringAlignment::Center);
      format.noWrap = true;
      g.DrawString(text, *font, CRectF{box.x + 3.0f, box.y, std::max(0.0f, ax - box.x - 3.0f), box.height}, format,
                   CBrush(textColour));
    }
  }
  if (!IsEnabled()) DrawDisabledLook(g);
}

bool CCustomComboBox::OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) {
  (void)x;
  (void)y;
  redraw = CRect{};
  switch (message) {
    case WM_LBUTTONDOWN:
      if (m_owner && !m_items.empty()) m_owner->OpenDropDown(this);
      return true;
    case WM_MOUSEWHEEL: {
      // Turning the wheel towards the user moves down the list.
      const int notches = std::int32_t(flags) / WHEEL_DELTA;
      if (notches == 0 || m_items.empty()) return true;
      const int next = std::clamp(m_curSel - notches, 0, int(m_items.size()) - 1);
      if (next != m_curSel) {
        ChooseItem(next);
        redraw = m_rect;
      }
      return true;
    }
    default: return false;
  }
}

CRect CCustomComboBox::UpdateFromParameter(const CParamValue& value) {
  if (value.kind == ParamKind::kNone) return CRect{};
  std::int32_t wanted = value.integer;
  if (value.kind == ParamKind::kBool) {
    wanted = BoolOf(value) ? 1 : 0;
  } else if (value.kind != ParamKind::kInteger) {
    wanted = std::int32_t(value.value);
  }
  int index = -1;
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i]->value == wanted) {
      index = int(i);
      break;
    }
  }
  if (index == m_curSel) return CRect{};
  m_curSel = index;
  return m_rect;
}
