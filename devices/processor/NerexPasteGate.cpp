// The gate that keeps a processor's poll quiet during a paste (CNerexPasteGate).
#include "devices/processor/NerexPasteGate.h"

#include "platform/Sync.h"

CNerexPasteGate::CNerexPasteGate() = default;
CNerexPasteGate::~CNerexPasteGate() = default;

void CNerexPasteGate::MakeEvent() {
  if (!m_event) m_event = std::make_unique<CManualResetEvent>(false);
}

void CNerexPasteGate::BeginPaste() {
  if (m_event) m_event->Set();
}

void CNerexPasteGate::EndPaste() {
  if (m_event) m_event->Reset();
}

bool CNerexPasteGate::IsPasteInProgress() const { return m_event && m_event->IsSet(); }
