// CNerexPasteGate: while a paste writes a processor's settings, its poll sends nothing (no read
// comes back to put the unit's old values over the pasted ones). The gate is a manual-reset
// event that the paste sets and clears on the UI thread and the comms worker reads.
#pragma once

#include <memory>

class CManualResetEvent;

class CNerexPasteGate {
 public:
  CNerexPasteGate();
  ~CNerexPasteGate();
  CNerexPasteGate(const CNerexPasteGate&) = delete;
  CNerexPasteGate& operator=(const CNerexPasteGate&) = delete;

  // Makes the event (once, when the device is initialised); until then the gate never closes.
  void MakeEvent();
  void BeginPaste();
  void EndPaste();
  bool IsPasteInProgress() const;
  // The event itself (manual reset); null before MakeEvent.
  CManualResetEvent* GetPasteEvent() const { return m_event.get(); }

 private:
  std::unique_ptr<CManualResetEvent> m_event;
};
