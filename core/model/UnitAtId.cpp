// Who answers at a device's ID.
#include "core/model/UnitAtId.h"

#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "core/protocol/ControlMessage.h"
#include "core/support/SystemMessages.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"
#include "platform/WindowMessages.h"

namespace {
// The system's lock for the length of a call, when the device has a system.
class CHostLock {
 public:
  explicit CHostLock(const CDevice& device) {
    if (IDeviceHost* host = device.GetHost()) m_lock.emplace(host->GetLock());
  }

 private:
  std::optional<CSingleLock> m_lock;
};
}  // namespace

std::uint32_t CUnitAtId::UnitTypeOfReply(const CControlMessage& record) const {
  return record.write || record.receivedLength <= 3 ? 0 : record.frame[3];
}

std::string CUnitAtId::ModelNameOfType(std::uint32_t typeCode) const {
  return FormatText("unit of type %u", unsigned(typeCode));
}

std::string CUnitAtId::SetAside(std::uint32_t unitType, const std::string& unitModel, bool confirmed) {
  // Whoever holds the lock sees the device either as it was or wholly set aside.
  const CHostLock lock(m_device);
  if (m_otherModelAtId == unitType) {
    ConfirmAside();
    return {};
  }
  const bool wasAside = IsSetAside();
  m_otherModelAtId = unitType;
  m_otherModelName = unitModel;
  if (confirmed || wasAside) ConfirmAside();
  // No security step writes to this unit, and nothing queued for the device's own model goes to
  // it: the device sends only its probes, whose replies it reads itself.
  if (!wasAside) m_asideBeforeSecurity = m_device.NeedsInitialisation();
  m_device.SetNeedsInitialisation(false);
  if (m_device.IsConnected()) {
    m_device.OnDisconnected(false);
  } else {
    m_device.m_commsLevel = 0;
  }
  m_device.Post(FrameMsg::kRedrawMeterEntry);
  m_device.Post(FrameMsg::kRefreshRack);
  m_device.Post(FrameMsg::kPropagateOnline);
  if (m_device.GetControlPanel()) m_device.Post(FrameMsg::kPanelOnlineState, 0);
  if (IDeviceHost* host = m_device.GetHost(); host && host->IsSelectedDevice(&m_device))
    m_device.Post(FrameMsg::kSelectDevice, 1);
  return GetOtherModelNote();
}

void CUnitAtId::ConfirmAside() {
  m_asideConfirmed = true;
  // The device's own unit left: what was queued for it is of no use now but the changes a person
  // made, which go to it first once it is taken up in a "Retrieve" session; in "Send" the file's
  // settings, sent again then, carry them.
  const bool sending = m_device.GetSessionMode() == 1;
  m_device.m_queue.KeepOnlyWaitingChanges(sending);
}

std::string CUnitAtId::GetOtherModelNote() const {
  const CHostLock lock(m_device);
  if (m_otherModelAtId == 0) return {};
  return FormatText("ID %u: the file has a %s, the unit is a %s", unsigned(m_device.GetDeviceId()),
                    m_device.GetModelName().c_str(), m_otherModelName.c_str());
}

void CUnitAtId::SetLateAnswerNote(const std::string& note) {
  const CHostLock lock(m_device);
  m_lateAnswerNote = note;
}

void CUnitAtId::SetAddressClash(const std::string& note) {
  const CHostLock lock(m_device);
  m_clashNote = note;
  m_addressClash = !note.empty();
}

std::string CUnitAtId::GetAddressClashNote() const {
  const CHostLock lock(m_device);
  return m_clashNote;
}

std::string CUnitAtId::GetLineNotes() const {
  const CHostLock lock(m_device);
  std::string notes = m_clashNote;
  if (!m_lateAnswerNote.empty()) notes += (notes.empty() ? "" : "\n") + m_lateAnswerNote;
  return notes;
}

bool CUnitAtId::TakeUnitModel(const CControlMessage& record) {
  using EReplyEcho = CControlMessage::EReplyEcho;
  // Another unit's reply (come late, say) tells nothing of the unit at this ID.
  if (record.replyEcho == EReplyEcho::kOther) return false;
  const std::uint32_t unitType = UnitTypeOfReply(record);
  // A reply that leaves its header empty tells no model.
  if (unitType == 0) return !IsSetAside();
  const bool ownModel = (unitType & 0x7F) == (m_device.GetTypeCode() & 0x7F);
  // Nor does one that names nobody tell who is at the ID.
  if (record.replyEcho == EReplyEcho::kEmpty) return ownModel && !IsSetAside();
  if (!ownModel) {
    const std::string note = SetAside(unitType, ModelNameOfType(unitType), false);
    if (IDeviceHost* host = m_device.GetHost(); !note.empty() && host)
      host->WriteLog(note + " - nothing is sent to that unit or read from it\n");
    return false;
  }
  if (!IsSetAside()) return true;
  TakeUp();
  return false;
}

void CUnitAtId::TakeUp() {
  const bool otherUnitWasThere = m_asideConfirmed;
  m_otherModelAtId = 0;
  IDeviceHost* host = m_device.GetHost();
  if (host)
    host->WriteLog(
        FormatText("ID %u: the unit is a %s again\n", unsigned(m_device.GetDeviceId()), m_device.GetModelName().c_str()));
  if (!otherUnitWasThere) {
    // The other model answered once, between answers of this one: the unit never left. It goes
    // on where it was, and what waited for it is sent; nothing is sent again.
    m_device.SetNeedsInitialisation(m_asideBeforeSecurity);
    m_device.Post(FrameMsg::kRefreshRack);
    return;
  }
  // As at going online: the file's settings in a "Send" session (which carry a person's changes
  // too), a read-out otherwise, each after the security step. In "Retrieve" the changes a person
  // made that still wait go first.
  COutgoingQueue& queue = m_device.m_queue;
  std::vector<std::unique_ptr<CControlMessage>> waiting;
  if (host) {
    CSingleLock lock(host->GetLock());
    waiting = queue.TakeAll();
  }
  m_device.Reinitialise(m_device.GetSessionMode());
  if (!waiting.empty()) {
    CSingleLock lock(host->GetLock());
    queue.PutFirst(std::move(waiting));
  }
  m_device.Post(FrameMsg::kRefreshRack);
}

bool CUnitAtId::TakeModelOfShorterReply(const CControlMessage& record) {
  if (record.write || record.receivedLength <= 3) return false;
  TakeUnitModel(record);
  return IsSetAside();
}
