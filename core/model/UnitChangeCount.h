// Autosave's count of what a device's unit changed in the file: how many of the unit's replies
// changed what the device's record stores. Every reply of every family is taken through one
// entry (CDevice::ProcessReply), which compares the stored print of the device before and after
// the family's handler and counts here; meters and other values the file does not keep leave
// the print as it was.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <vector>

class CControlMessage;

class CUnitChangeCount {
 public:
  CUnitChangeCount() = default;
  CUnitChangeCount(const CUnitChangeCount&) = delete;
  CUnitChangeCount& operator=(const CUnitChangeCount&) = delete;

  // How many times a reply of the unit changed what the device's record stores (the person's
  // own changes mark the system modified instead). The system keeps the count it saw when the
  // file was read or saved: a count that moved since tells autosave that the file no longer
  // holds what the unit reported, without the record being stored to find out. Any thread.
  std::uint32_t Get() const { return m_count; }
  // Counts a reply when what the device's record stores differs from the print taken before
  // it. Worker thread, under the system's lock.
  void CountIfChanged(std::uint64_t printBefore, std::uint64_t printAfter) {
    if (printBefore != printAfter) ++m_count;
  }
  // The commands whose replies carry meters alone, nothing that the file keeps: their replies
  // are taken without a print, as the family sets them up before the device is polled.
  void SetMeterCommands(std::initializer_list<std::uint32_t> commands) { m_meterCommands = commands; }
  // Whether the reply may change what the file keeps: a read that is not a meter read (a write
  // is answered by its ACK alone).
  bool MayStore(const CControlMessage& reply) const;

 private:
  std::vector<std::uint32_t> m_meterCommands;
  std::atomic<std::uint32_t> m_count{0};
};
