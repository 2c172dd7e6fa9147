// The EQ response graph of the processor panels: the graphic EQ of an input, the parametric EQ
// of an input or the parametric EQ and crossover of an output (the panel's graph ids). It
// draws each section's response and their sum over a grid, with a handle per band; a band is
// selected by its handle and dragged to change its frequency and gain, the wheel changes its
// Q. Every edit goes to the device through ApplyUserChange. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/draw/TextStyle.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "panels/framework/ControlObject.h"
#include "panels/processor/response/EqResponse.h"

enum : int {
  kGraphicEqCurveId = 140,
  kInputPeqCurveId = 141,
  kOutputEqCurveId = 142,
};

// One section of the graph: a band record of the device's current settings (null for a
// graphic-EQ band) and its response, recomputed before drawing while stale.
struct CCurveData {
  CCurveData() : pBand(nullptr) {}  // a graphic-EQ band
  CCurveData(const NerexEqBand* band, const NerexEqBandIds& bandIds) : pBand(band), ids(bandIds) {}

  std::uint8_t stale = 1;
  CCurvePoints points{};     // frequency (Hz), level (dB), phase (degrees)
  const NerexEqBand* pBand;  // the device's; null for a graphic-EQ band
  NerexEqBandIds ids;        // the parameter ids of the band's fields
};

// The response of a band record: filter type in bits 0-6 of its type byte (3 and 4 are the
// crossover high-pass and low-pass with the alignment in the Q byte), bypass in bit 7.
// Returns false when the band draws flat (bypassed).
bool MakeEqSection(const NerexEqBand& band, CEqSection& section);

class CNerexSeriesParametricControl : public CControlObject {
 public:
  CNerexSeriesParametricControl(CControlPanelWnd* owner, int id, const CRect& rect);
  ~CNerexSeriesParametricControl() override;

  void Draw(Graphics& g, const CRect& clip) override;
  bool OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) override;
  // A band drag cut short (another window, the focus, the unit gone) ends here.
  void OnDeactivate() override { m_dragging = false; }

  // Deletes every section.
  void ClearSections();
  void AddSection(CCurveData* section) { m_sections.push_back(section); }
  // Marks one section (or, with -1, every section) for recomputing.
  void MarkStale(int section);
  // Recomputes the stale sections and, when any was, the sum. Returns how many were.
  int RecomputeStale();
  const CCurvePoints& GetSum() const { return m_sum; }
  // The plot rectangle in panel coordinates and the scale the graph uses now.
  CRect GetPlotRect() const;
  int GetHighestDb() const { return 18; }
  int GetLowestDb() const { return m_graphicEqMode ? -18 : -30; }
  // The handle of a section in panel coordinates (empty when it has none).
  CRect GetHandleRect(int section) const;
  // True when the section's band is taken by a 48 dB crossover of the output.
  bool IsSectionTaken(int section) const;

  // --- Fields the panels set ---
  bool m_graphicEqMode = false;
  // Graphic-EQ mode: the input's Q-shape byte, bypass byte and 28 band gains (tenths of a dB)
  // in the device's current settings, and the parameter id of band 0 (band b is that + b;
  // 0: the graph does not edit).
  const std::uint8_t* m_pGeqShape = nullptr;
  const std::uint8_t* m_pGeqBypass = nullptr;
  const std::int16_t* m_pGeqGains = nullptr;
  std::int32_t m_geqFirstId = 0;
  float m_geqRangeDb = 15.0f;  // a dragged graphic-EQ band stays within +- this
  std::vector<CCurveData*> m_sections;  // owned
  int m_selectedBand = -1;
  bool m_dragging = false;  // the panel clears it when the pointer leaves the graph or the press ends

 private:
  double PixelsPerDb() const;
  double DbToY(double dB) const;
  double YToDb(int y) const;
  int XToCode(int x) const;
  void ComputeSection(int index);
  void DrawGrid();
  void DrawHandles(Graphics& g);
  void DragBand(int x, int y);
  void DragGeqBand(int y);
  void WheelBand(int notches);

  // Draws the grid and the lines of the sections not selected into the layer.
  void DrawLayer();
  // The line of a section's points (or the sum) at the plot's scale, offset by (dx, dy).
  void TraceLine(const CCurvePoints& points, float dx, float dy);

  CTextStyle m_labelStyle;
  std::unique_ptr<CImage> m_grid;
  bool m_gridForGeq = false;
  // The grid with the lines of the sections not selected: redrawn only when one of those
  // sections was recomputed or the selection moved, so that a drag redraws one line and the sum.
  std::unique_ptr<CImage> m_layer;
  bool m_layerStale = true;
  int m_layerSelection = -1;
  CCurvePoints m_sum{};
  std::vector<CPointF> m_line;  // kCurvePoints
};
