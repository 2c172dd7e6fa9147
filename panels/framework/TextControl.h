// A value or label text of a device panel, with its in-place editor. UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "core/draw/TextStyle.h"
#include "panels/framework/ControlObject.h"

// Format flags of a text control. The low bits lay the text out in its rectangle; the higher
// ones say how a bound value is shown, nudged by the wheel and read back from the editor.
enum : std::uint32_t {
  kTextCentre = 0x1,        // centred across (else left)
  kTextRight = 0x2,         // right-aligned
  kTextVCentre = 0x4,       // centred from top to bottom (else at the top)
  kTextBottom = 0x8,        // at the bottom
  kTextSingleLine = 0x20,   // one line: line breaks are not followed
  kTextExpandTabs = 0x40,   // accepted, no effect (texts carry no tabs)
  kTextTabStop = 0x80,      // accepted, no effect
  kTextNoClip = 0x100,      // the text may run over the rectangle's edges
  // Levels are whole decibels written "<n>dB" (limiter and threshold readouts; their wheel
  // step is 1 dB).
  kTextWholeDb = 0x400,
  // The wheel nudges the bound value: one notch moves it by one step of its kind times the
  // nudge step (levels 1 dB, frequencies, Q, ratios and times one code step, delays see
  // kDelayStepUnits).
  kTextWheelNudge = 0x1000,
  // Delay readout units; exactly one is set on a delay readout (see GetDelayUnit).
  kTextDelayMs = 0x2000,
  kTextDelayMetres = 0x4000,
  kTextDelayFeet = 0x8000,
  // Fine wheel steps: a level moves by 0.1 dB a notch instead of 1 dB.
  kTextFineNudge = 0x10000,
};


// A delay wheel notch with nudge step n (the Delay Multiplier index) moves the delay by
// kDelayStepUnits[n] delay units of 1/12288 ms: about one sample at 48 kHz, ten samples, 1 ms
// and 10 ms. Steps beyond the table take its last entry.
inline constexpr std::uint32_t kDelayStepUnits[] = {256, 2560, 12288, 122880};
inline constexpr double kDelayUnitMs = 1.0 / 12288.0;

// Metres and feet that sound travels in one millisecond.
inline constexpr double kMetresPerMs = 0.34337189;
inline constexpr double kFeetPerMs = 1.126548232;

class CTextControl : public CControlObject {
 public:
  // face and points make the text style; colour is ARGB.
  CTextControl(CControlPanelWnd* owner, int id, bool editable, const std::string& face, float points,
               std::uint32_t colour, std::uint32_t formatFlags, const CRect& rect);

  void Draw(Graphics& g, const CRect& clip) override;
  bool OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) override;
  // Formats the value by its kind and the format flags; returns the rectangle when the text
  // changed.
  CRect UpdateFromParameter(const CParamValue& value) override;

  // The text as the panel shows it (UTF-8). SetText does not redraw.
  std::string GetText() const { return m_text; }
  void SetText(std::string text) { m_text = std::move(text); }
  void SetBrushColour(std::uint32_t argb) { m_style.colour = CColour{argb}; }
  std::uint32_t GetBrushColour() const { return m_style.colour.argb; }
  CTextStyle& GetTextStyle() { return m_style; }

  bool IsEditable() const { return m_editable; }
  void SetEditable(bool editable) { m_editable = editable; }
  std::uint32_t GetFormatFlags() const { return m_formatFlags; }
  void SetFormatFlags(std::uint32_t flags) { m_formatFlags = flags; }
  // 0 means no limit.
  int GetMaxLength() const { return m_maxLength; }
  void SetMaxLength(int length) { m_maxLength = length; }
  int GetNudgeStep() const { return m_nudgeStep; }
  void SetNudgeStep(int step) { m_nudgeStep = step; }

  // kTextDelayMs when set, else kTextDelayMetres when set, else the feet bit (0 when none).
  std::uint32_t GetDelayUnit() const;
  // Replace the first unit bit set (ms, metres, feet in that order) by metres or feet.
  void SetDelayUnitMetres() { ReplaceDelayUnit(kTextDelayMetres); }
  void SetDelayUnitFeet() { ReplaceDelayUnit(kTextDelayFeet); }
  void SetDelayUnitMs() { ReplaceDelayUnit(kTextDelayMs); }

  // The value text of a bound value under these flags.
  std::string FormatValue(const CParamValue& value) const;
  // The edited text turned into a value for the device, read in the kind of the current value
  // (delays in the readout's unit when the text names none). False when the text gives no
  // value of that kind.
  bool ParseEditedText(const std::string& text, CParamValue& out) const;
  // The editor's text was committed: the value goes to the device, unless the device refuses
  // it (ControlChangeRefusal), which the panel then shows under the widget.
  void CommitEdit(const std::string& text);

 private:
  void ReplaceDelayUnit(std::uint32_t unit);
  // The value one wheel movement of notches gives, from the current value.
  bool NudgedValue(const CParamValue& current, int notches, CParamValue& out) const;

  std::string m_text;
  bool m_editable;
  std::uint32_t m_formatFlags;
  int m_maxLength = 0;
  int m_nudgeStep = 1;
  CTextStyle m_style;
};
