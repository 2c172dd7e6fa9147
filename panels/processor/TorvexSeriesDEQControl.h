// The dynamic-EQ graph of the Torvex panel's Input DEQ page: for the selected input's three
// bands the response at full range (a line), the response at the gain the band applies now
// (a filled area graded from green to red that follows the live detector level), and a handle
// per band that is dragged to change the band's frequency and effect; the wheel changes its Q.
// Every edit goes to the device through ApplyUserChange. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/draw/TextStyle.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "panels/framework/ControlObject.h"
#include "panels/processor/response/EqResponse.h"

inline constexpr int kDeqGraphId = 1445;

// One band shown by the graph. Created by the panel's DEQ refresh and owned by the graph.
struct CDEQCurveData {
  CDEQCurveData(const NerexDeqBand* band, const NerexDeqBandIds& bandIds, int input, int position)
      : pBand(band), ids(bandIds), input(input), position(position) {}

  std::uint8_t fullRangeStale = 1;
  std::uint8_t currentStale = 1;
  // [0] full-range response in dB, [1] current response in dB, [2] unused; point k stands for
  // frequency code 13 + k.
  std::array<std::array<double, 3>, kCurvePoints> points{};
  const NerexDeqBand* pBand;  // the band's record in the device's current settings; the device's
  NerexDeqBandIds ids;        // the parameter ids of the band's fields
  int input;                  // the input (0..3) whose band it is: picks the bit of the band mask
  int position;               // the band position (0..2): picks the mask byte
  std::int32_t level = 0;     // detector level, dB
};

class CTorvexSeriesDEQControl : public CControlObject {
 public:
  CTorvexSeriesDEQControl(CControlPanelWnd* owner, const CRect& rect);
  ~CTorvexSeriesDEQControl() override;

  void Draw(Graphics& g, const CRect& clip) override;
  bool OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) override;
  // A press cut short (another window, the focus, the unit gone) ends the handle, range and
  // frequency drags as a release does.
  void OnDeactivate() override { m_pressed = m_effectDrag = m_frequencyDrag = 0; }

  // Repaints the live fills over the static layer (copied first when copy is set); out
  // receives the plot rectangle in panel coordinates.
  void DrawDynamicFills(CRect& out, Graphics& g, bool copy);
  // A band's detector level (0 for an inactive band); a changed level marks its fill stale.
  void SetBandLevel(int band, int levelDb);
  // Deletes every band.
  void ClearCurves();

  // The band list (owned). The panel's DEQ refresh empties it and appends the input's bands.
  std::vector<CDEQCurveData*>& GetBands() { return m_bands; }
  void AddBand(CDEQCurveData* band) { m_bands.push_back(band); }
  // The device's three DEQ band masks (bit i of byte j: input i's band j is locked); null: none.
  void SetBandMasks(const std::uint8_t* masks) { m_pBandMasks = masks; }

  int GetSelectedBand() const { return m_selectedBand; }
  void SetSelectedBand(int band) { m_selectedBand = band; }
  bool IsPressed() const { return m_pressed != 0; }

  // The gain in dB the band applies at its detector level.
  static float GetDynamicGain(const CDEQCurveData& band);
  // The plot rectangle, relative to the widget's top-left corner.
  CRect GetPlotRect() const { return CRect{m_plotLeft, m_plotTop, m_plotRight, m_plotBottom}; }
  // A band's handle rectangle in widget coordinates.
  CRect GetHandleRect(const CDEQCurveData& band) const;
  bool IsBandMasked(const CDEQCurveData& band) const;
  // Level (dB) and frequency code under a panel point, signed: left of the plot the code
  // falls below its lowest (the senders clamp it to the band's range).
  void PointToValues(int x, int y, int& dB, int& index) const;

  std::int32_t m_highestDb = 18;
  std::int32_t m_lowestDb = -18;
  std::uint16_t m_highestIndex = kCurveLastIndex;
  std::uint16_t m_lowestIndex = kCurveFirstIndex;

 private:
  double PixelsPerDb() const { return double(m_plotBottom - m_plotTop) / 36.0; }
  double PixelsPerStep() const { return double(m_plotRight - m_plotLeft) / 419.0; }
  double ZeroDbY() const { return double(m_plotTop) + 18.0 * PixelsPerDb(); }
  // The band's full range in dB: positive for the boost modes, negative for the cut modes.
  static int SignedEffect(const NerexDeqBand& band);
  CDEQCurveData* SelectedBand() const;
  void DrawGrid();
  void RenderStaticLayer();
  void DrawBandHandles(Graphics& g);
  // Sends the band's effect (dB) and frequency code when they differ from its record.
  void SendEffect(const CDEQCurveData& band, int effectDb) const;
  void SendFrequency(const CDEQCurveData& band, int index) const;

  CTextStyle m_labelStyle;
  std::unique_ptr<CImage> m_grid;
  std::unique_ptr<CImage> m_static;
  std::int32_t m_plotLeft = 35, m_plotTop = 10, m_plotRight = 0, m_plotBottom = 0;
  std::int32_t m_selectedBand = -1;
  std::uint8_t m_pressed = 0;
  std::uint8_t m_effectDrag = 0;
  std::uint8_t m_frequencyDrag = 0;
  std::int32_t m_grabX = 0, m_grabY = 0;
  std::vector<CDEQCurveData*> m_bands;  // owned
  const std::uint8_t* m_pBandMasks = nullptr;
  // The response line's points across the plot, and the filled area's: the line closed along
  // the plot's bottom at both ends.
  static constexpr int kLinePoints = 419;
  static constexpr int kFillPoints = kLinePoints + 2;
  std::vector<CPointF> m_fillPoints;
  std::vector<CPointF> m_linePoints;
};
