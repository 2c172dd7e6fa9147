// The text widget (control type 5): a bound parameter's value as text, or a fixed caption.
#pragma once

#include <string>

#include "custom/CustomControlObject.h"
#include "core/draw/TextStyle.h"
#include "custom/TextEdit.h"
#include "custom/WidgetProperties.h"

// Text widget flags.
enum : std::uint32_t {
  kTextDragEnabled = 0x20,
  kTextHalo = 0x40,
  kTextReadOnly = 0x80,
  kTextAppendUnits = 0x1000,
  kTextDelayMs = 0x2000,
  kTextDelayMetres = 0x4000,
  kTextDelayFeet = 0x8000,
  kTextOutline = 0x10000,
  kTextAlignLeft = 0x40000,
  kTextAlignCentre = 0x80000,
  kTextAlignRight = 0x100000,
  kTextAlignTop = 0x200000,
  kTextAlignMiddle = 0x400000,
  kTextAlignBottom = 0x800000,
};
inline constexpr std::uint32_t kTextDefaultFlags = 0x483120;
inline constexpr int kTextHaloMargin = 3;

class CCCTextControl : public CCustomControlObject {
 public:
  // Made for loading: every field at its default.
  CCCTextControl() = default;
  // Made by the Add Text Control command: the face and size give the text style; the flags
  // are taken as given.
  CCCTextControl(CCustomControlPanel* view, const std::string& face, float points, std::uint32_t flags,
                 const CRect& rect);
  // The clipboard copy: not bound, halo colour at its default, not dragging.
  CCCTextControl(const CCCTextControl& source);

  // Version 1; another version throws CArchiveException (BadFormat).
  void Serialize(CArchive& ar, const CRecordLookup& lookup) override;
  void SerializeStream(CDataStream& ds, const CRecordLookup& lookup) override;
  std::uint32_t GetControlType() const override { return kControlText; }
  // The rectangle, grown by 3 pixels with the halo.
  CRect GetBoundsRect() const override;
  std::uint32_t GetSizingMode() const override { return 3; }
  // The caption (or a muted gain's in red), with the halo while pressed and the outline.
  void Draw(Graphics& g, const CRect& paint, bool designMode) override;
  // Presses start value drags by the parameter's kind; a double click opens the editor.
  void OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                      CRect& redraw) override;
  // Unless it is read-only.
  bool TakesPresses() const override { return (m_flags & kTextReadOnly) == 0; }
  // Ends a drag and takes the pressed look away.
  void Deactivate() override;
  void OnMouseLeave() override { m_dragging = false; }
  // A reported value becomes the caption; the bounds when the text or the inactive flag changed.
  CRect OnParameterUpdate(const CParamValue& value) override;
  // The text shown for a value by its kind and the widget's number format and units.
  std::string FormatValue(const CParamValue& value) const;
  const std::string& GetText() const { return m_caption; }
  // 0x2000 (ms), 0x4000 (m), 0x8000 (ft) or 0.
  std::uint32_t GetDelayUnit() const;
  void SetDelayUnit(std::uint32_t unit);
  // The shared rows or entries, then "Text Appearance" (TextControlProperties.cpp). Corner
  // radius and outline width are refused beyond half the height or half the width.
  void FillPropertiesPane(IDevicePropertyGrid& grid) override;
  bool OnPropertyChanged(CDeviceProperty& row) override;
  CListForm ListForm() const override;

  std::uint32_t m_flags = kTextDefaultFlags;
  CColour m_textColour = CColour::FromArgb(255, 255, 255, 255);
  CColour m_outlineColour = CColour::FromArgb(255, 255, 255, 255);
  CColour m_haloColour = CColour::FromArgb(255, 0, 0, 0);
  CTextStyle m_textStyle;  // Arial 10 points
  std::uint32_t m_cornerRadius = 5;
  std::uint32_t m_outlineWidth = 2;
  std::uint32_t m_delayDragStep = 1;
  std::string m_caption = "Text";  // UTF-8
  bool m_dragging = false;
  CPoint m_lastPoint;
  bool m_pressed = false;
  CCCTextEdit m_editor;  // the in-place editor; its box exists only while editing
  std::optional<CLogFont> m_storedFont;  // the font record read last, if any

 private:
  // A corner radius and outline width read from a record are held to what a panel can show.
  void KeepLengthsInRange();
  // One edit of either property editor, by property id.
  CWidgetEditResult ApplyEdit(std::uint32_t id, const CWidgetEdit& edit);
  bool Contains(int x, int y) const {
    return x >= m_rect.left && x <= m_rect.right && y >= m_rect.top && y <= m_rect.bottom;
  }
};
