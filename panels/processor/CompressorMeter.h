// The small square transfer-curve graph of the Torvex panel: output level against input level
// (both -20 to +20 dB) over a grid picture, with the area under the curve filled up to the
// live input level. It draws a compressor (threshold, ratio, soft knee) or a dynamic-EQ band
// (threshold, ratio, range and mode), whichever of its parameter ids the panel sets. No mouse
// input. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "panels/framework/ControlObject.h"

class CBitmapImage;

class CCompressorMeter : public CControlObject {
 public:
  // image: the panel's grid picture (not owned).
  CCompressorMeter(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect);
  ~CCompressorMeter() override;

  void Draw(Graphics& g, const CRect& clip) override;
  // Re-reads the five parameters through the panel; renders the curve when one changed and
  // returns the widget's rectangle then (the value itself is not used).
  CRect UpdateFromParameter(const CParamValue& value) override;
  // Draws the fill up to the current input level; without full, only when the level moved.
  // out receives the area to repaint (empty: nothing was drawn).
  void DrawLevel(CRect& out, Graphics& g, bool full);
  // Both level readouts, the current one and the one drawn last, go to the bottom of the scale.
  void ResetLevels() { m_level = m_lastLevel = m_minimum; }
  // Output level in dB for an input level in dB.
  float EvaluateCurve(std::int32_t input) const;

  std::int32_t m_maximum = 20;
  std::int32_t m_minimum = -20;
  std::int32_t m_level = -20;  // current input level (dB), set by the panel's meter timer
  // The parameters drawn (0: none).
  std::int32_t m_thresholdId = 0;
  std::int32_t m_ratioId = 0;
  std::int32_t m_kneeId = 0;
  std::int32_t m_maxGainId = 0;
  std::int32_t m_modeId = 0;

  float GetThreshold() const { return m_threshold; }
  float GetRatio() const { return m_ratio; }
  bool HasCurve() const { return m_back != nullptr; }
  // Curve point i (0 to 40) in widget coordinates.
  const std::vector<CPointF>& GetCurvePoints() const { return m_curve; }
  // The graded fill's stop positions p1, p2, p3.
  void GetGradientPositions(float& p1, float& p2, float& p3) const;

 private:
  int Steps() const { return m_maximum - m_minimum; }
  void RenderCurve();

  std::int32_t m_lastLevel = -20;
  float m_threshold = 0.0f;
  float m_ratio = 0.0f;
  float m_knee = 0.0f;
  float m_maxGain = 0.0f;
  std::uint8_t m_mode = 0;
  std::uint8_t m_kneePresent = 0;
  std::uint8_t m_maxGainPresent = 0;
  std::uint8_t m_modePresent = 0;
  CBitmapImage* m_pImage;
  std::unique_ptr<CImage> m_back;
  std::vector<CPointF> m_curve;  // N + 1
  std::vector<CPointF> m_fill;   // N + 4
  CBrush m_gradedBrush;
};
