// The text widget (control type 5): a bound parameter's value as text, or a fixed caption.
#pragma once

#include <string>

#include "core/CustomControlObject.h"
#include "core/TextStyle.h"

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
  std::optional<CLogFont> m_storedFont;  // the font record read last, if any
};
