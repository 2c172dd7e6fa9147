// CNerexPanelView: what a processor's panel shows - its page, the mixer's side tab, the
// selected input, output and channel, and the preset row selected in the preset lists. The
// panel writes it, the poll reads the page to choose its meter page, the clipboard, the context
// menu and the preset actions read the selections. The unit never holds it.
#pragma once

#include <cstdint>

// Panel page ids (the ids of the tab buttons); side tab ids of the mixer page.
enum : std::uint32_t {
  kNerexPageMixer = 59,
  kNerexPageInputGeq = 60,
  kNerexPageInputPeq = 61,
  kNerexPageOutputEq = 63,
  kNerexPageInputDeq = 64,
  kNerexPageOutputComp = 65,
  kNerexPageCompact = 435,
  kNerexSideTabSource = 295,
};

class CNerexPanelView {
 public:
  std::uint32_t GetPanelPage() const { return m_panelPage; }
  void SetPanelPage(std::uint32_t page) { m_panelPage = page; }
  std::uint32_t GetSideTab() const { return m_sideTab; }
  void SetSideTab(std::uint32_t tab) { m_sideTab = tab; }
  std::uint32_t GetSelectedInput() const { return m_selectedInput; }
  void SetSelectedInput(std::uint32_t input) { m_selectedInput = input; }
  std::uint32_t GetSelectedOutput() const { return m_selectedOutput; }
  void SetSelectedOutput(std::uint32_t output) { m_selectedOutput = output; }
  std::uint32_t GetSelectedChannel() const { return m_selectedChannel; }
  void SetSelectedChannel(std::uint32_t channel) { m_selectedChannel = channel; }
  std::uint32_t GetSelectedPreset() const { return m_selectedPreset; }
  void SetSelectedPreset(std::uint32_t preset) { m_selectedPreset = preset; }

 private:
  std::uint32_t m_panelPage = kNerexPageMixer;
  std::uint32_t m_sideTab = kNerexSideTabSource;
  std::uint32_t m_selectedInput = 0;
  std::uint32_t m_selectedOutput = 0;
  std::uint32_t m_selectedChannel = 0;
  std::uint32_t m_selectedPreset = 0;
};
