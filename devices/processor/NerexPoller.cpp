// The processor's polling schedule (CNerexPoller) and the device's turns handed to it. Comms
// worker thread.
#include <algorithm>
#include <cstring>

#include "core/protocol/ControlMessage.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPoller.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

// The memory indices count the crossover presets from this value.
constexpr std::uint32_t kXoverBase = kNerexXoverBase;

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

void CNerexPoller::FillIdentificationRequest(CControlMessage& record) {
  record.frame[0] = 0xB0;
  record.frame[1] = std::uint8_t(m_d.m_deviceId);
  record.Set(kCmdIdentify, kIdentRequestLength, kIdentReplyLength, &m_d, false, kNerexIdentReplyStart, 0, 0);
  // The reply names its unit: byte 4 is the ID the request names in byte 1 (B8 00 14, the model,
  // the ID), so another unit's identification, come late, is never taken for this one's.
  record.replyEchoMask = 1u << 1;
  record.replyEchoOffset = 3;
  record.replyEchoNamesUnit = true;
}

void CNerexPoller::FillRead(CControlMessage& record, std::uint32_t command, std::uint32_t replyLength) {
  record.Set(command, 8, replyLength, &m_d, false, kNerexReplyStart, 0, 0);
  m_d.ReadGuard().StampRead(record);
}

void CNerexPoller::FillMemoryRead(CControlMessage& record, std::uint32_t command, std::uint32_t memoryNumber,
                                        std::uint32_t replyLength) {
  FillRead(record, command, replyLength);
  PutMemoryNumber(record.frame + kNerexPayload, memoryNumber);
  // Told back with a late answer of the read (OnLateAnswer).
  record.argument = memoryNumber;
  record.frameLength = kMemoryReadLength;
  FinaliseFrame(record, m_d);
}

void CNerexPoller::QueueMemoryRead(std::uint32_t command, std::uint32_t memoryNumber, std::uint32_t replyLength) {
  auto message = std::make_unique<CControlMessage>();
  FillMemoryRead(*message, command, memoryNumber, replyLength);
  m_d.QueueMessage(false, std::move(message));
}

bool CNerexSeriesDevice::GetNextPollMessage(CControlMessage& record) { return m_poller.NextTurn(record); }

bool CNerexPoller::NextTurn(CControlMessage& record) {
  if (m_d.PasteGate().IsPasteInProgress() || m_d.IsIgnored()) return false;
  NoteMemoryAnswer();
  // A device set aside for a unit of another model asks only, now and then, which unit answers.
  if (m_d.NeedsInitialisation() || m_d.UnitAtId().IsSetAside()) {
    if (m_d.m_pollCounter <= kProbeTurns) {
      ++m_d.m_pollCounter;
      return false;
    }
    FillIdentificationRequest(record);
    m_d.m_pollCounter = 0;
    return true;
  }
  // A unit that left its last request unanswered is probed with the short identification
  // request until it answers again, on fewer and fewer of its turns: a block read or a queued
  // request would wait out its whole time-out three times on every turn and hold up every
  // other unit on the bus.
  if (m_d.HasMissedLastReply()) {
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
  if (m_d.Queue().PopMessage(record)) return true;
  CSingleLock lock(m_d.SettingsLock());
  if (!m_d.AllBlocksReceived()) return PollReadPhase(record);
  return PollInitialised(record);
}

bool CNerexPoller::PollReadPhase(CControlMessage& record) {
  TellMemoriesPassedBy();
  const int model = m_d.GetModel();
  auto mask = [this](std::uint32_t bit) { return (m_d.m_receivedMask & bit) != 0; };
  // A bit set here without a request: the read-back may be complete now.
  auto completedHere = [this]() {
    if (!m_d.AllBlocksReceived()) return false;
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
    if (m_d.m_memoryFlagsIndex < m_d.m_readout.PresetsToRead(m_d.m_presets.size())) {
      AskMemory(record, kCmdReadMemoryFlags, m_d.m_memoryFlagsIndex + 1, kMemoryFlagsReplyLength);
      return true;
    }
    m_d.m_receivedMask |= kReceived53;
    if (completedHere()) return false;
  }
  if (!mask(kReceived49)) return PresetPass(record);
  if (!mask(kReceived53Second)) {
    if (m_d.m_memoryFlagsIndex >= kXoverBase && m_d.m_memoryFlagsIndex - kXoverBase < m_d.m_readout.XoversToRead(m_d.m_xoverPresets.size())) {
      AskMemory(record, kCmdReadMemoryFlags, m_d.m_memoryFlagsIndex + 1, kMemoryFlagsReplyLength);
      return true;
    }
    m_d.m_receivedMask |= kReceived53Second;
    if (completedHere()) return false;
  }
  if (!mask(kReceived49Second)) return XoverPass(record);
  if (!mask(kReceivedMeters)) {
    FillRead(record, kCmdReadNames, std::uint32_t(48 + 8 * (m_d.GetInputCount() + m_d.GetOutputCount())));
    record.frame[kNerexPayload] = 0;
    record.frameLength = 9;
    FinaliseFrame(record, m_d);
    return true;
  }
  if (!mask(kReceived79)) {
    FillRead(record, kCmdReadGeneral, kGeneralReplyLength);
    FinaliseFrame(record, m_d);
    return true;
  }
  if (!mask(kReceivedTimedPresets)) {
    FillRead(record, kCmdReadTimedPresets, kTimedPresetsReplyLength);
    FinaliseFrame(record, m_d);
    return true;
  }
  return false;
}

bool CNerexPoller::PresetPass(CControlMessage& record) {
  const std::size_t end = m_d.m_readout.PresetsToRead(m_d.m_presets.size());
  while (m_d.m_memoryNameIndex < end && !m_d.m_presets[m_d.m_memoryNameIndex]->HoldsAnySection()) ++m_d.m_memoryNameIndex;
  if (m_d.m_memoryNameIndex >= end) {
    m_d.m_receivedMask |= kReceived49;
    if (!m_d.m_xoverPresets.empty()) {
      m_d.m_memoryFlagsIndex = m_d.m_memoryNameIndex = kXoverBase;
    } else {
      m_d.m_receivedMask |= kReceived49Second | kReceived53Second;
    }
    m_d.Post(FrameMsg::kStatusEvent, kNerexStatusPresets);
    if (m_d.AllBlocksReceived()) RunInitialisedEdge();
    return false;
  }
  const int model = m_d.GetModel();
  const std::uint32_t number = m_d.m_memoryNameIndex + 1;
  AskMemory(record, kCmdReadMemoryName, number, kMemoryNameReplyLength);
  QueueMemoryRead(kCmdReadInputs, number, GetBlockReplyLength(0, model));
  QueueMemoryRead(kCmdReadOutputs, number, GetBlockReplyLength(2, model));
  if (IsTorvexLayoutModel(model)) QueueMemoryRead(kCmdReadGeq, number, GetBlockReplyLength(4, model));
  if (model == kModelTorvex48) QueueMemoryRead(kCmdReadDeq, number, GetBlockReplyLength(6, model));
  return true;
}

bool CNerexPoller::XoverPass(CControlMessage& record) {
  if (m_d.m_memoryNameIndex < kXoverBase) m_d.m_memoryNameIndex = kXoverBase;
  const std::size_t end = m_d.m_readout.XoversToRead(m_d.m_xoverPresets.size());
  while (m_d.m_memoryNameIndex - kXoverBase < end && !m_d.m_xoverPresets[m_d.m_memoryNameIndex - kXoverBase]->HoldsAnySection())
    ++m_d.m_memoryNameIndex;
  if (m_d.m_memoryNameIndex - kXoverBase >= end) {
    m_d.m_receivedMask |= kReceived49Second;
    if (m_d.AllBlocksReceived()) RunInitialisedEdge();
    return false;
  }
  const std::uint32_t number = m_d.m_memoryNameIndex + 1;
  AskMemory(record, kCmdReadMemoryName, number, kMemoryNameReplyLength);
  QueueMemoryRead(kCmdReadOutputs, number, GetBlockReplyLength(2, m_d.GetModel()));
  return true;
}

void CNerexPoller::AskMemory(CControlMessage& record, std::uint32_t command, std::uint32_t number,
                                   std::uint32_t replyLength) {
  FillMemoryRead(record, command, number, replyLength);
  m_d.m_readout.Asked(command, number);
}

void CNerexPoller::NoteMemoryAnswer() {
  CSingleLock lock(m_d.SettingsLock());
  const CNerexMemoryReadout::Outcome outcome = m_d.m_readout.NoteAnswer(m_d.HasMissedLastReply());
  if (outcome.kind == CNerexMemoryReadout::Outcome::kPassedBy) {
    if (outcome.command == kCmdReadMemoryFlags && m_d.m_memoryFlagsIndex + 1 == outcome.number) ++m_d.m_memoryFlagsIndex;
    if (outcome.command == kCmdReadMemoryName && m_d.m_memoryNameIndex + 1 == outcome.number) ++m_d.m_memoryNameIndex;
    return;
  }
  if (outcome.kind != CNerexMemoryReadout::Outcome::kUnitHoldsFewer) return;
  const std::size_t held = outcome.held;
  const std::size_t inFile =
      outcome.xover ? m_d.m_xoverPresets.size() : std::min(m_d.m_presets.size(), kNerexMaxPresetNumber);
  if (m_d.m_host)
    m_d.m_host->WriteLog(
        FormatText("%s memories of %s: the unit holds %zu, the file %zu - memories %zu to %zu are not read\n",
                   outcome.xover ? "Crossover" : "Preset", m_d.GetUnitText().c_str(), held, inFile, held + 1, inFile));
}

void CNerexSeriesDevice::OnLateAnswer(std::uint32_t command, std::uint32_t argument) {
  (void)command;
  // Only the reads of a memory carry its number.
  if (argument == 0) return;
  CSingleLock lock(SettingsLock());
  m_readout.AnsweredLate(argument);
}

void CNerexPoller::TellMemoriesPassedBy() {
  // Those of each pass once it has ended, presets and crossover presets apart.
  auto ended = [this](std::uint32_t command, std::uint32_t number) {
    const bool xover = number > kXoverBase;
    const std::uint32_t bit = command == kCmdReadMemoryFlags ? (xover ? kReceived53Second : kReceived53)
                                                             : (xover ? kReceived49Second : kReceived49);
    return (m_d.m_receivedMask & bit) != 0;
  };
  for (const bool xover : {false, true}) {
    const std::string numbers = m_d.m_readout.TakePassedBy(xover, ended);
    if (!numbers.empty() && m_d.m_host)
      m_d.m_host->WriteLog(FormatText("%s memories of %s answered later than the read time-out, not read - the file keeps "
                                      "them: %s\n",
                                      xover ? "Crossover" : "Preset", m_d.GetUnitText().c_str(), numbers.c_str()));
  }
}

void CNerexPoller::RunInitialisedEdge() {
  TellMemoriesPassedBy();
  m_d.m_warningBits &= ~kNerexWarningNotInitialised;
  m_d.Post(FrameMsg::kRedrawMeterEntry);
  m_d.Post(FrameMsg::kRefreshRack);
  m_d.Post(FrameMsg::kStatusEvent, kNerexStatusSettings);
  m_d.Post(FrameMsg::kPropagateWarning);
  // The read-out brought the unit's name and firmware: the properties pane shows them when
  // this is the selected device.
  m_d.Post(FrameMsg::kShowDeviceProps, 1);
}

bool CNerexPoller::PollInitialised(CControlMessage& record) {
  const std::uint32_t c = m_d.m_pollCounter;
  if (c > kMaxPollCounter) {
    m_d.m_pollCounter = 0;
    return false;
  }
  if (!m_d.IsConnected() && c % 10 != 0) {
    ++m_d.m_pollCounter;
    return false;
  }
  const int model = m_d.GetModel();
  const bool monitor = m_d.m_host && m_d.m_host->IsSystemMonitorVisible();
  const bool panel = m_d.GetControlPanel() != nullptr;
  const bool every20th = c % 20 == 0;
  bool built = false;

  if (IsFennickModel(model) && every20th) {
    FillRead(record, kCmdReadGeneral, kGeneralReplyLength);
    FinaliseFrame(record, m_d);
    built = true;
  } else if (model == kModelTorvex48) {
    int page = -1;
    if (m_d.m_extendedMeters) {
      if (monitor || (panel && m_d.m_panelView.GetPanelPage() == kNerexPageInputDeq) || every20th) page = 64;
    } else if (monitor) {
      if (!panel || c % 2 == 1) {
        page = 0;
      } else {
        page = m_d.m_panelView.GetPanelPage() == kNerexPageInputDeq ? 12 : m_d.m_panelView.GetPanelPage() == kNerexPageOutputComp ? 20 : 0;
      }
    } else if (panel) {
      if (m_d.m_panelView.GetPanelPage() == kNerexPageInputDeq) page = 12;
      else if (m_d.m_panelView.GetPanelPage() == kNerexPageOutputComp) page = 20;
      else if (m_d.m_panelView.GetPanelPage() == kNerexPageMixer || every20th) page = 0;
    } else if (every20th) {
      page = 0;
    }
    if (page >= 0) {
      FillRead(record, kCmdMeterPage, page == 64 ? kMeterPage64ReplyLength : kMetersReplyLength);
      record.frame[kNerexPayload] = std::uint8_t(page);
      record.frameLength = 9;
      FinaliseFrame(record, m_d);
      m_d.m_meterPageSent = std::uint8_t(page);
      built = true;
    }
  } else if (monitor || panel || every20th) {
    FillRead(record, kCmdMeters, kMetersReplyLength);
    FinaliseFrame(record, m_d);
    built = true;
  }
  ++m_d.m_pollCounter;
  return built;
}
