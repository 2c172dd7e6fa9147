// CNerexPanelWidgets: the widgets of a processor panel as its derived panel built them, read
// through the panel's fields (null where the panel builds no such widget). Tests press, read
// and measure them through it. UI thread.
#pragma once

#include "panels/processor/NerexSeriesBaseControlPanel.h"

class CNerexPanelWidgets {
 public:
  explicit CNerexPanelWidgets(const CNerexSeriesBaseControlPanel& panel) : m_panel(panel) {}

  CBmpButton* GetSideTab(int index) const { return m_panel.m_sideTabs[std::size_t(index)]; }
  CBmpButton* GetChannelSelect(int j) const { return m_panel.m_channelSelect[std::size_t(j)]; }
  CBmpButton* GetPresetManagerButton() const { return m_panel.m_presetManagerButton; }
  CBitmapFader* GetInputFader(int i) const { return m_panel.m_inputFaders[std::size_t(i)]; }
  CBitmapFader* GetOutputFader(int k) const { return m_panel.m_outputFaders[std::size_t(k)]; }
  CTextControl* GetHeaderText() const { return m_panel.m_headerText; }
  CTextControl* GetInputName(int i) const { return m_panel.m_inputNames[std::size_t(i)]; }
  CTextControl* GetLimiterLevel(int k) const { return m_panel.m_limiterLevels[std::size_t(k)]; }
  CCustomComboBox* GetAutoLimiters() const { return m_panel.m_autoLimiters; }
  CControlObject* GetGeqFader(int b) const { return m_panel.m_geqFaders[std::size_t(b)]; }
  CBmpButton* GetOutputLink(int k, int j) const { return m_panel.m_outputLinks[std::size_t(k)][std::size_t(j)]; }
  CBmpButton* GetInputLink(int i, int j) const { return m_panel.m_inputLinks[std::size_t(i)][std::size_t(j)]; }
  CBmpButton* GetRoutingButton(int k, int i) const { return m_panel.m_routingButtons[std::size_t(k)][std::size_t(i)]; }
  CBitmapMeter* GetInputMeter(int i) const { return m_panel.m_inputMeters[std::size_t(i)]; }
  CBitmapMeter* GetOutputMeter(int k) const { return m_panel.m_outputMeters[std::size_t(k)]; }
  CTextControl* GetInputGainText(int i) const { return m_panel.m_inputGainTexts[std::size_t(i)]; }
  CTextControl* GetOutputGainText(int k) const { return m_panel.m_outputGainTexts[std::size_t(k)]; }
  CTextControl* GetOutputName(int k) const { return m_panel.m_outputNames[std::size_t(k)]; }
  CTextControl* GetDeviceNameText() const { return m_panel.m_deviceName; }
  CBmpButton* GetInputMute(int i) const { return m_panel.m_inputMutes[std::size_t(i)]; }
  CBmpButton* GetOutputMute(int k) const { return m_panel.m_outputMutes[std::size_t(k)]; }
  CCustomComboBox* GetLimiterAttack(int k) const { return m_panel.m_limiterAttacks[std::size_t(k)]; }
  CCustomComboBox* GetInputPeqType(int b) const { return m_panel.m_peqType[std::size_t(b)]; }
  CCustomComboBox* GetOutputPeqType(int b) const { return m_panel.m_outputPeqType[std::size_t(b)]; }
  CCustomComboBox* GetHighPassType() const { return m_panel.m_highPassType; }
  CBmpButton* GetPageTab(int index) const { return m_panel.m_pageTabs[std::size_t(index)]; }
  CTextControl* GetInputCaption() const { return m_panel.m_inputCaption; }
  CTorvexSeriesDEQControl* GetDeqGraph() const { return m_panel.m_deqGraph; }
  CCompressorMeter* GetCompressorGraph(int k) const { return m_panel.m_compressorGraphs[std::size_t(k)]; }
  CControlObject* GetMatrixKnob(int k, int i) const { return m_panel.m_matrixGains[std::size_t(k)][std::size_t(i)]; }
  CControlObject* GetMatrixText(int k, int i) const { return m_panel.m_matrixGainTexts[std::size_t(k)][std::size_t(i)]; }
  // Input row r (0: the GEQ shortcut, 1: PEQ, 2: DEQ) of input i.
  CControlObject* GetInputRowWidget(int r, int i) const { return m_panel.m_inputRows[std::size_t(r)][std::size_t(i)]; }
  CBmpButton* GetInputGeqShortcut(int i) const;

 private:
  const CNerexSeriesBaseControlPanel& m_panel;
};
