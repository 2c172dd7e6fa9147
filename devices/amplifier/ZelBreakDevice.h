// The Zel breakout boxes (type codes 34 to 47): the least the system needs of them until the
// family's own model, schedule, records and panel are built on this class.
#pragma once

#include <atomic>

#include "core/Discovery.h"
#include "devices/amplifier/ZelBaseDevice.h"

class CZelBreakDevice : public CZelBaseDevice, public IBlockReceivedWord {
 public:
  CZelBreakDevice(CSystem* system, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId);

  const char* GetControlPanelClass() override { return "CZelBreakControlPanel"; }
  // The format registered as "ZelBreakSettings".
  std::uint32_t GetClipboardFormat() override;

  // Bit 21 marks one read-out block as received; an autoscan clears it (and bits 24 to 31) so
  // the block is read again. Worker thread.
  void MaskBlockReceivedWord(std::uint32_t keep) override { m_haveRead &= keep; }
  std::uint32_t GetBlockReceivedWord() const override { return m_haveRead; }
  void SetBlockReceivedWord(std::uint32_t word) { m_haveRead = word; }

 private:
  std::atomic<std::uint32_t> m_haveRead{0};
};
