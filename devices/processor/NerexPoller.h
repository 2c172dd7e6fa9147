// CNerexPoller: a processor's polling schedule. Identification probes until security is
// settled and while the unit is silent (on fewer and fewer of its turns), then queued changes
// first, then every missing block of the read-back (the memories as far as the unit holds them,
// CNerexMemoryReadout), then meters and status on the poll counter. The device holds one and
// hands it its turns; none other can be made, for a turn writes the device's read-back state
// and queues reads for its unit. Comms worker thread.
#pragma once

#include <cstdint>

class CControlMessage;
class CNerexSeriesDevice;

class CNerexPoller {
 public:
  CNerexPoller(const CNerexPoller&) = delete;
  CNerexPoller& operator=(const CNerexPoller&) = delete;

  // The device's turn (CDevice::GetNextPollMessage): fills record and returns true, or false
  // when the device sends nothing this turn.
  bool NextTurn(CControlMessage& record);

  // The identification request, and a read of command (8 bytes) answered with replyLength
  // bytes, stamped against reads overtaken by a change; the security pass sends them too.
  void FillIdentificationRequest(CControlMessage& record);
  void FillRead(CControlMessage& record, std::uint32_t command, std::uint32_t replyLength);
  // The read-back has just become complete: the memories passed by are told, the warning that
  // the unit is not read yet is cleared, and the windows are told to show the unit as read.
  void RunInitialisedEdge();

 private:
  void FillMemoryRead(CControlMessage& record, std::uint32_t command, std::uint32_t memoryNumber,
                      std::uint32_t replyLength);
  void QueueMemoryRead(std::uint32_t command, std::uint32_t memoryNumber, std::uint32_t replyLength);
  bool PollReadPhase(CControlMessage& record);
  bool PresetPass(CControlMessage& record);
  bool XoverPass(CControlMessage& record);
  // The memory read-out asks for the flags or the name of memory number (1 to 255 the presets,
  // from 257 the crossover presets) with this request.
  void AskMemory(CControlMessage& record, std::uint32_t command, std::uint32_t number, std::uint32_t replyLength);
  // At the device's next turn: whether the unit answered the memory the read-out asked for last
  // (CNerexMemoryReadout::NoteAnswer). A memory passed by moves the read on; one the unit does
  // not hold ends the read of its kind there, and the log says how many the unit holds.
  void NoteMemoryAnswer();
  // The memories passed by in a pass that has ended, named in one log line (presets and
  // crossover presets apart). Under the settings lock.
  void TellMemoriesPassedBy();
  bool PollInitialised(CControlMessage& record);

  friend class CNerexSeriesDevice;
  explicit CNerexPoller(CNerexSeriesDevice& device) : m_d(device) {}

  CNerexSeriesDevice& m_d;
  // While the unit is silent: turns still to pass over before the next probe, and the turns
  // to pass over after it (doubling up to a few).
  std::uint32_t m_probeSkips = 0;
  std::uint32_t m_probeBackOff = 0;
};
