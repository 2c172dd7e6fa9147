// The processor's polling schedule: identification probes until security is settled and while
// the unit is silent, then queued changes first, then every missing block of the read-back,
// then meters and status on the poll counter. Comms worker thread.
#include <algorithm>
#include <cstring>

#include "core/protocol/ControlMessage.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

// Memory numbers of crossover presets start here (list position + 257); the memory indices
// count them from this value.
constexpr std::uint32_t kXoverBase = 256;
// Highest memory number of a preset memory.
constexpr std::size_t kMaxPresetNumber = 255;

constexpr std::uint32_t kMemoryReadLength = 11;
constexpr std::uint32_t kMemoryNameReplyLength = 29;
constexpr std::uint32_t kMemoryFlagsReplyLength = 12;
constexpr std::uint32_t kMetersReplyLength = 20;
constexpr std::uint32_t kMeterPage64ReplyLength = 40;
constexpr std::uint32_t kTimedPresetsReplyLength = 77;
constexpr std::uint32_t kGeneralReplyLength = 31;
constexpr std::uint32_t kIdentRequestLength = 2;
constexpr std::uint32_t kIdentReplyLength = 21;

// Probes a device that waits for its security step once every this many turns plus one.
constexpr std::uint32_t kProbeTurns = 10;
constexpr std::uint32_t kMaxPollCounter = 200;
// Most turns a silent unit is passed over between two probes.
constexpr std::uint32_t kMaxProbeSkips = 8;

}  // namespace

void CNerexSeriesDevice::FillIdentificationRequest(CControlMessage& record) {
  record.frame[0] = 0xB0;
  record.frame[1] = std::uint8_t(m_deviceId);
  record.Set(kCmdIdentify, kIdentRequestLength, kIdentReplyLength, this, false, kNerexIdentReplyStart, 0, 0);
  // The reply names its unit: byte 4 is the ID the request names in byte 1 (B8 00 14, the model,
  // the ID), so another unit's identification, come late, is never taken for this one's.
  record.replyEchoMask = 1u << 1;
  record.replyEchoOffset = 3;
  record.replyEchoNamesUnit = true;
}

void CNerexSeriesDevice::FillRead(CControlMessage& record, std::uint32_t command, std::uint32_t replyLength) {
  record.Set(command, 8, replyLength, this, false, kNerexReplyStart, 0, 0);
  ReadGuard().StampRead(record);
}

void CNerexSeriesDevice::FillMemoryRead(CControlMessage& record, std::uint32_t command, std::uint32_t memoryNumber,
                                        std::uint32_t replyLength) {
  FillRead(record, command, replyLength);
  PutMemoryNumber(record.frame + kNerexPayload, memoryNumber);
  // Told back with a late answer of the read (OnLateAnswer).
  record.argument = memoryNumber;
  record.frameLength = kMemoryReadLength;
  FinaliseFrame(record, *this);
}

void CNerexSeriesDevice::QueueMemoryRead(std::uint32_t command, std::uint32_t memoryNumber, std::uint32_t replyLength) {
  auto message = std::make_unique<CControlMessage>();
  FillMemoryRead(*message, command, memoryNumber, replyLength);
  QueueMessage(false, std::move(message));
}

bool CNerexSeriesDevice::GetNextPollMessage(CControlMessage& record) {
  if (IsPasteInProgress() || IsIgnored()) return false;
  NoteMemoryAnswer();
  // A device set aside for a unit of another model asks only, now and then, which unit answers.
  if (NeedsInitialisation() || UnitAtId().IsSetAside()) {
    if (m_pollCounter <= kProbeTurns) {
      ++m_pollCounter;
      return false;
    }
    FillIdentificationRequest(record);
    m_pollCounter = 0;
    return true;
  }
  // A unit that left its last request unanswered is probed with the short identification
  // request until it answers again, on fewer and fewer of its turns: a block read or a queued
  // request would wait out its whole time-out three times on every turn and hold up every
  // other unit on the bus.
  if (HasMissedLastReply()) {
    if (m_probeSkips > 0) {
      --m_probeSkips;
      return false;
    }
    FillIdentificationRequest(record);
    m_probeSkips = m_probeBackOff;
    m_probeBackOff = std::min(kMaxProbeSkips, m_probeBackOff == 0 ? 1 : 2 * m_probeBackOff);
    return true;
  }
  m_probeSkips = m_probeBackOff = 0;
  if (Queue().PopMessage(record)) return true;
  CSingleLock lock(SettingsLock());
  if (!AllBlocksReceived()) return PollReadPhase(record);
  return PollInitialised(record);
}

bool CNerexSeriesDevice::PollReadPhase(CControlMessage& record) {
  TellMemoriesPassedBy();
  const int model = GetModel();
  auto mask = [this](std::uint32_t bit) { return (m_receivedMask & bit) != 0; };
  // A bit set here without a request: the read-back may be complete now.
  auto completedHere = [this]() {
    if (!AllBlocksReceived()) return false;
    RunInitialisedEdge();
    return true;
  };

  if (!mask(kReceivedIdentity)) {
    FillIdentificationRequest(record);
    return true;
  }
  if (!mask(kReceivedInputBlock)) {
    FillMemoryRead(record, kCmdReadInputs, 0, GetBlockReplyLength(0, model));
    return true;
  }
  if (!mask(kReceivedOutputBlock)) {
    FillMemoryRead(record, kCmdReadOutputs, 0, GetBlockReplyLength(2, model));
    return true;
  }
  if (IsTorvexLayoutModel(model) && !mask(kReceivedGeqBlock)) {
    FillMemoryRead(record, kCmdReadGeq, 0, GetBlockReplyLength(4, model));
    return true;
  }
  if (model == kModelTorvex48 && !mask(kReceivedDeqBlock)) {
    FillMemoryRead(record, kCmdReadDeq, 0, GetBlockReplyLength(6, model));
    return true;
  }
  if (!mask(kReceived53)) {
    // An index past the list (it was shortened meanwhile, or the unit holds fewer memories) has
    // nothing left to ask.
    if (m_memoryFlagsIndex < PresetsToRead()) {
      AskMemory(record, kCmdReadMemoryFlags, m_memoryFlagsIndex + 1, kMemoryFlagsReplyLength);
      return true;
    }
    m_receivedMask |= kReceived53;
    if (completedHere()) return false;
  }
  if (!mask(kReceived49)) return PresetPass(record);
  if (!mask(kReceived53Second)) {
    if (m_memoryFlagsIndex >= kXoverBase && m_memoryFlagsIndex - kXoverBase < XoversToRead()) {
      AskMemory(record, kCmdReadMemoryFlags, m_memoryFlagsIndex + 1, kMemoryFlagsReplyLength);
      return true;
    }
    m_receivedMask |= kReceived53Second;
    if (completedHere()) return false;
  }
  if (!mask(kReceived49Second)) return XoverPass(record);
  if (!mask(kReceivedMeters)) {
    FillRead(record, kCmdReadNames, std::uint32_t(48 + 8 * (GetInputCount() + GetOutputCount())));
    record.frame[kNerexPayload] = 0;
    record.frameLength = 9;
    FinaliseFrame(record, *this);
    return true;
  }
  if (!mask(kReceived79)) {
    FillRead(record, kCmdReadGeneral, kGeneralReplyLength);
    FinaliseFrame(record, *this);
    return true;
  }
  if (!mask(kReceivedTimedPresets)) {
    FillRead(record, kCmdReadTimedPresets, kTimedPresetsReplyLength);
    FinaliseFrame(record, *this);
    return true;
  }
  return false;
}

bool CNerexSeriesDevice::PresetPass(CControlMessage& record) {
  const std::size_t end = PresetsToRead();
  while (m_memoryNameIndex < end && !m_presets[m_memoryNameIndex]->HoldsAnySection()) ++m_memoryNameIndex;
  if (m_memoryNameIndex >= end) {
    m_receivedMask |= kReceived49;
    if (!m_xoverPresets.empty()) {
      m_memoryFlagsIndex = m_memoryNameIndex = kXoverBase;
    } else {
      m_receivedMask |= kReceived49Second | kReceived53Second;
    }
    Post(FrameMsg::kStatusEvent, kNerexStatusPresets);
    if (AllBlocksReceived()) RunInitialisedEdge();
    return false;
  }
  const int model = GetModel();
  const std::uint32_t number = m_memoryNameIndex + 1;
  AskMemory(record, kCmdReadMemoryName, number, kMemoryNameReplyLength);
  QueueMemoryRead(kCmdReadInputs, number, GetBlockReplyLength(0, model));
  QueueMemoryRead(kCmdReadOutputs, number, GetBlockReplyLength(2, model));
  if (IsTorvexLayoutModel(model)) QueueMemoryRead(kCmdReadGeq, number, GetBlockReplyLength(4, model));
  if (model == kModelTorvex48) QueueMemoryRead(kCmdReadDeq, number, GetBlockReplyLength(6, model));
  return true;
}

bool CNerexSeriesDevice::XoverPass(CControlMessage& record) {
  if (m_memoryNameIndex < kXoverBase) m_memoryNameIndex = kXoverBase;
  const std::size_t end = XoversToRead();
  while (m_memoryNameIndex - kXoverBase < end && !m_xoverPresets[m_memoryNameIndex - kXoverBase]->HoldsAnySection())
    ++m_memoryNameIndex;
  if (m_memoryNameIndex - kXoverBase >= end) {
    m_receivedMask |= kReceived49Second;
    if (AllBlocksReceived()) RunInitialisedEdge();
    return false;
  }
  const std::uint32_t number = m_memoryNameIndex + 1;
  AskMemory(record, kCmdReadMemoryName, number, kMemoryNameReplyLength);
  QueueMemoryRead(kCmdReadOutputs, number, GetBlockReplyLength(2, GetModel()));
  return true;
}

void CNerexSeriesDevice::AskMemory(CControlMessage& record, std::uint32_t command, std::uint32_t number,
                                   std::uint32_t replyLength) {
  FillMemoryRead(record, command, number, replyLength);
  m_memoryAsked = number;
  m_memoryAskedCommand = command;
}

std::size_t CNerexSeriesDevice::PresetsToRead() const {
  return std::min({m_presets.size(), kMaxPresetNumber, m_unitPresets});
}

std::size_t CNerexSeriesDevice::XoversToRead() const { return std::min(m_xoverPresets.size(), m_unitXovers); }

void CNerexSeriesDevice::NoteMemoryAnswer() {
  CSingleLock lock(SettingsLock());
  const std::uint32_t asked = m_memoryAsked;
  const std::uint32_t command = m_memoryAskedCommand;
  if (asked == 0) return;
  m_memoryAsked = 0;
  if (!HasMissedLastReply()) {
    if (asked == m_memoryUnanswered) m_memoryUnanswered = m_memoryMisses = 0;
    return;
  }
  if (asked != m_memoryUnanswered) {
    m_memoryUnanswered = asked;
    m_memoryMisses = 0;
  }
  if (++m_memoryMisses < kMemoryMissesToEnd) return;
  if (m_memoriesHeldLate.count(asked) != 0) {
    // Its answers came, only later than the read waits: the unit holds the memory. The read
    // passes it by, the file keeping it, and goes on with the next one.
    m_memoryUnanswered = m_memoryMisses = 0;
    if (command == kCmdReadMemoryFlags && m_memoryFlagsIndex + 1 == asked) ++m_memoryFlagsIndex;
    if (command == kCmdReadMemoryName && m_memoryNameIndex + 1 == asked) ++m_memoryNameIndex;
    m_memoriesPassedBy.emplace_back(command, asked);
    return;
  }
  // The unit answers (its probe came back before each of these asks) but not for this memory:
  // it holds the ones before it only.
  const bool xover = asked > kXoverBase;
  const std::size_t held = xover ? asked - kXoverBase - 1 : asked - 1;
  const std::size_t inFile = xover ? m_xoverPresets.size() : std::min(m_presets.size(), kMaxPresetNumber);
  (xover ? m_unitXovers : m_unitPresets) = held;
  m_memoryUnanswered = m_memoryMisses = 0;
  if (m_host)
    m_host->WriteLog(
        FormatText("%s memories of %s: the unit holds %zu, the file %zu - memories %zu to %zu are not read\n",
                   xover ? "Crossover" : "Preset", GetUnitText().c_str(), held, inFile, held + 1, inFile));
}

void CNerexSeriesDevice::OnLateAnswer(std::uint32_t command, std::uint32_t argument) {
  (void)command;
  // Only the reads of a memory carry its number.
  if (argument == 0) return;
  CSingleLock lock(SettingsLock());
  m_memoriesHeldLate.insert(argument);
}

void CNerexSeriesDevice::TellMemoriesPassedBy() {
  // Those of each pass once it has ended, presets and crossover presets apart.
  auto ended = [this](const std::pair<std::uint32_t, std::uint32_t>& m) {
    const bool xover = m.second > kXoverBase;
    const std::uint32_t bit = m.first == kCmdReadMemoryFlags ? (xover ? kReceived53Second : kReceived53)
                                                             : (xover ? kReceived49Second : kReceived49);
    return (m_receivedMask & bit) != 0;
  };
  for (const bool xover : {false, true}) {
    std::string numbers;
    std::uint32_t from = 0, to = 0;
    auto flush = [&] {
      if (from == 0) return;
      numbers += (numbers.empty() ? "" : ", ") + std::to_string(from) + (to > from ? "-" + std::to_string(to) : "");
    };
    std::erase_if(m_memoriesPassedBy, [&](const std::pair<std::uint32_t, std::uint32_t>& m) {
      if ((m.second > kXoverBase) != xover || !ended(m)) return false;
      const std::uint32_t n = xover ? m.second - kXoverBase : m.second;
      if (from != 0 && n == to + 1) {
        to = n;
      } else {
        flush();
        from = to = n;
      }
      return true;
    });
    flush();
    if (!numbers.empty() && m_host)
      m_host->WriteLog(FormatText("%s memories of %s answered later than the read time-out, not read - the file keeps "
                                  "them: %s\n",
                                  xover ? "Crossover" : "Preset", GetUnitText().c_str(), numbers.c_str()));
  }
}

void CNerexSeriesDevice::RunInitialisedEdge() {
  TellMemoriesPassedBy();
  m_warningBits &= ~kNerexWarningNotInitialised;
  Post(FrameMsg::kRedrawMeterEntry);
  Post(FrameMsg::kRefreshRack);
  Post(FrameMsg::kStatusEvent, kNerexStatusSettings);
  Post(FrameMsg::kPropagateWarning);
  // The read-out brought the unit's name and firmware: the properties pane shows them when
  // this is the selected device.
  Post(FrameMsg::kShowDeviceProps, 1);
}

bool CNerexSeriesDevice::PollInitialised(CControlMessage& record) {
  const std::uint32_t c = m_pollCounter;
  if (c > kMaxPollCounter) {
    m_pollCounter = 0;
    return false;
  }
  if (!IsConnected() && c % 10 != 0) {
    ++m_pollCounter;
    return false;
  }
  const int model = GetModel();
  const bool monitor = m_host && m_host->IsSystemMonitorVisible();
  const bool panel = GetControlPanel() != nullptr;
  const bool every20th = c % 20 == 0;
  bool built = false;

  if (IsFennickModel(model) && every20th) {
    FillRead(record, kCmdReadGeneral, kGeneralReplyLength);
    FinaliseFrame(record, *this);
    built = true;
  } else if (model == kModelTorvex48) {
    int page = -1;
    if (m_extendedMeters) {
      if (monitor || (panel && m_panelPage == kNerexPageInputDeq) || every20th) page = 64;
    } else if (monitor) {
      if (!panel || c % 2 == 1) {
        page = 0;
      } else {
        page = m_panelPage == kNerexPageInputDeq ? 12 : m_panelPage == kNerexPageOutputComp ? 20 : 0;
      }
    } else if (panel) {
      if (m_panelPage == kNerexPageInputDeq) page = 12;
      else if (m_panelPage == kNerexPageOutputComp) page = 20;
      else if (m_panelPage == kNerexPageMixer || every20th) page = 0;
    } else if (every20th) {
      page = 0;
    }
    if (page >= 0) {
      FillRead(record, kCmdMeterPage, page == 64 ? kMeterPage64ReplyLength : kMetersReplyLength);
      record.frame[kNerexPayload] = std::uint8_t(page);
      record.frameLength = 9;
      FinaliseFrame(record, *this);
      m_meterPageSent = std::uint8_t(page);
      built = true;
    }
  } else if (monitor || panel || every20th) {
    FillRead(record, kCmdMeters, kMetersReplyLength);
    FinaliseFrame(record, *this);
    built = true;
  }
  ++m_pollCounter;
  return built;
}
