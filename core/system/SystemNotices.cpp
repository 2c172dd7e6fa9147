// The system's global mute, its notices between devices and its confirmations before risky
// actions.
#include "core/system/System.h"

#include "core/model/Confirm.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/Device.h"
#include "core/comms/CommsWorker.h"
#include "core/comms/GlobalMute.h"
#include "core/model/UiServices.h"

void CSystem::SendGlobalMute(bool mute) {
  auto frames = BuildGlobalMuteMessages(mute);
  CSingleLock lock(m_lock);
  m_globalMute = mute;
  // The worker takes the queue from the back. The new frames go in below everything still
  // waiting, so that a mute followed quickly by an unmute reaches the units in that order and
  // leaves them unmuted; within one press the last-queued frame still goes out first.
  m_comms->QueueSystemMessagesBehind(std::move(frames));
}

void CSystem::NotifyOtherDevices(CDevice* caller, bool solo, CParameterChangeNotice notice) {
  (void)notice;
  for (CDevice* device : GetDevices())
    if (device != caller) device->SystemEntries().ApplySystemSolo(solo, CSystemPass{});
}

void CSystem::CollectZelDeviceIds(std::vector<std::uint32_t>& typeCodes, std::vector<std::uint32_t>& deviceIds) const {
  for (CDevice* device : GetDevices()) {
    const std::uint32_t type = device->GetTypeCode();
    if ((type >= 51 && type <= 56) || (type >= 34 && type <= 47)) {
      typeCodes.push_back(type);
      deviceIds.push_back(device->GetDeviceId());
    }
  }
}

bool CSystem::ConfirmAction(std::uint32_t action) { return ConfirmActionOn(action, std::string()); }

bool CSystem::ConfirmActionOn(std::uint32_t action, const std::string& name) {
  const CConfirmTexts* texts = FindConfirmTexts(action, IsGlobalMute());
  if (!texts) return true;
  if (!GetConfirmBit(action)) return true;
  // Without a question box nobody can agree, so the risky action does not run.
  if (!m_ui) return false;
  bool neverAgain = false;
  std::string question = texts->question;
  if (!name.empty()) question += "\n\n\"" + name + "\"";
  if (!m_ui->AskConfirm(texts->caption, question, texts->okText, neverAgain)) return false;
  if (neverAgain) SetConfirmBit(action, false);
  return true;
}
