// The autoscan (worker state 2): short IDs one by one, then a tree search of long IDs with
// collisions, quieting and re-probes; found units become devices of the file.
#include "core/comms/Discovery.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "core/support/AppSettings.h"
#include "core/model/BlockReceivedWord.h"
#include "core/comms/CommsPassHost.h"
#include "core/comms/CommsWorker.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/Device.h"
#include "core/protocol/DiscoveryFrames.h"
#include "core/comms/SerialComms.h"
#include "core/support/SystemMessages.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "platform/TextFormat.h"

namespace {

// Level byte and progress text of each depth of the long-ID search.
constexpr std::uint8_t kLevels[4] = {kScanLevel3, kScanLevel2, kScanLevel1, kScanLevel0};
constexpr const char* kLevelTexts[4] = {"Searching for device ID xxx%u", "Searching for device ID xx%u",
                                        "Searching for device ID x%u", "Searching for device ID %u"};

}  // namespace

CDiscoveryPass::CDiscoveryPass(ICommsPassHost& host, ICommsDocument& document) : m_host(host), m_document(document) {}

void CDiscoveryPass::SetAutoscanDialog(IAutoscanDialog* dialog, std::atomic<bool>* scanRunning) {
  m_scanRunning = scanRunning;
  m_autoscanDialog = dialog;
}

void CDiscoveryPass::SetScanRangeForTests(std::uint32_t lastShortId, std::uint32_t lastGroup) {
  m_lastShortId = lastShortId;
  m_lastGroup = lastGroup;
}

bool CDiscoveryPass::IsScanRunning() const {
  const std::atomic<bool>* running = m_scanRunning;
  return running && *running && !m_host.IsEnding();
}

void CDiscoveryPass::SendScanStatus(const std::string& text) {
  if (IAutoscanDialog* dialog = m_autoscanDialog) dialog->OnStatusText(text);
}

void CDiscoveryPass::LogScanDetail(const std::string& text) {
  if (m_document.GetSettings().superDebug) m_document.WriteLog(text + "\n");
}

// --- The scan ---

void CDiscoveryPass::Run() {
  CSerialComms& comms = m_host.Transport();
  CControlMessage& record = comms.Transaction();
  auto failed = [&comms] { return comms.GetStatus() == kCommsError; };
  comms.SetNoLog(true);
  {
    CSingleLock lock(m_host.StateLock());
    m_quietedUnknownUnits.clear();
  }
  m_foundLongIds.clear();
  m_unreadShortIds.clear();
  m_unreadLongIds.clear();
  m_lastCheckAnswer = ECheckAnswer::kNone;

  // Short IDs.
  for (std::uint32_t n = 1; n <= m_lastShortId && IsScanRunning(); ++n) {
    SendScanStatus(FormatText("Searching for device ID %u", unsigned(n)));
    CScanIdentity identity;
    bool found = false, answered = false;
    for (std::uint32_t attempt = 0; attempt < kScanShortProbeTries && IsScanRunning() && !found; ++attempt) {
      BuildShortIdProbe(record, n);
      if (!m_host.RunTransaction()) return;
      answered = answered || !comms.HeardNothing();
      found = record.receivedLength == record.expectedLength &&
              ParseShortIdReply(comms.ReceiveBuffer(), record.receivedLength, identity);
      comms.SetStatus(kCommsIdle);
      SleepEx(kScanShortProbeSleepMs, false);
    }
    if (found) {
      AddFoundDevice(n, identity.typeCode, identity.variant);
    } else if (answered) {
      // Bytes came, but never a whole well-formed answer: two units answering at one ID garble
      // each other's reply, and neither is added.
      m_unreadShortIds.push_back(n);
      m_document.WriteLog(
          FormatText("Autoscan: unreadable answer at ID %u (two units with the same ID?)\n", unsigned(n)));
    }
  }

  // Long IDs, pass after pass while a unit still answers the scan-complete check and the pass
  // before found a unit it had not found yet: units that only garble each other's answers (two
  // at one long ID) are never found, however often the search runs.
  if (IsScanRunning()) {
    SendScanReset();
    if (!failed()) KeepScanQuiet();
  }
  for (int pass = 0; IsScanRunning() && !failed(); ++pass) {
    const std::size_t foundBefore = m_foundLongIds.size();
    if (!RunLongIdPass() || !IsScanRunning()) break;
    KeepScanQuiet();
    if (failed() || !CheckScanComplete()) break;
    if (m_foundLongIds.size() == foundBefore) {
      LogScanDetail("Units still answer, but the last long ID pass found none it had not found - scan ended");
      break;
    }
    if (pass + 1 >= kScanMaxLongIdPasses) {
      LogScanDetail("Units still answer after the last long ID pass - scan ended");
      break;
    }
  }
  if (!failed()) SendScanReset();
  if (!failed() && IsScanRunning()) TellUnreadAnswers();
}

void CDiscoveryPass::TellUnreadAnswers() {
  std::vector<std::string> ids;
  for (std::uint32_t id : m_unreadShortIds) ids.push_back(FormatText("%u", unsigned(id)));
  for (std::uint32_t id : m_unreadLongIds) ids.push_back(FormatText("%u", unsigned(id)));
  std::string text;
  if (!ids.empty()) {
    std::string list;
    for (std::size_t i = 0; i < ids.size(); ++i)
      list += (i == 0 ? "" : i + 1 == ids.size() ? " and " : ", ") + ids[i];
    text = (ids.size() == 1 ? "The answer at ID " : "The answers at IDs ") + list +
           " could not be read (two units with the same ID?): nothing there is added";
  }
  // A unit that still answers the last check, and not for a reason named above.
  std::string still;
  auto named = [](const std::vector<std::uint32_t>& ids, std::uint32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
  };
  if (m_lastCheckAnswer == ECheckAnswer::kReadable && m_lastCheckId != 0 && !named(m_unreadLongIds, m_lastCheckId) &&
      !named(m_foundLongIds, m_lastCheckId)) {
    still = FormatText("The unit at long ID %u still answers, but the search did not reach it: it is not added",
                       unsigned(m_lastCheckId));
  } else if (m_lastCheckAnswer == ECheckAnswer::kUnreadable && m_unreadLongIds.empty()) {
    still = "Units still answer the scan's last check, but their answers could not be read: they are not added";
  }
  for (const std::string& line : {text, still}) {
    if (line.empty()) continue;
    m_document.WriteLog("Autoscan: " + line + "\n");
    if (IAutoscanDialog* dialog = m_autoscanDialog) dialog->OnUnitNotAdded(line);
  }
}

void CDiscoveryPass::Finish() {
  CSerialComms& comms = m_host.Transport();
  comms.SetNoLog(false);
  comms.Transaction().noRetry = false;
  std::atomic<bool>* running = m_scanRunning.exchange(nullptr);
  m_autoscanDialog = nullptr;
  if (running) *running = false;
}

bool CDiscoveryPass::RunLongIdPass() { return SearchLevel(0, 0); }

bool CDiscoveryPass::SearchLevel(int depth, std::uint32_t base) {
  const CSerialComms& comms = m_host.Transport();
  const std::uint32_t step = std::uint32_t(1) << (8 * depth);
  // Every group from 0: a 0 is as good a group of a long ID as any other (256 has it lowest).
  for (std::uint32_t v = 0; v <= m_lastGroup; ++v) {
    if (!IsScanRunning() || comms.GetStatus() == kCommsError) return false;
    const std::uint32_t id = base + v * step;
    KeepScanQuiet();
    if (comms.GetStatus() == kCommsError) return false;
    SendScanStatus(FormatText(kLevelTexts[depth], unsigned(depth == 0 ? v : id)));

    std::int64_t lastFound = 0;
    bool askedAgain = false;
    for (int finds = 0;;) {
      std::uint32_t type = 0, variant = 0;
      const std::int64_t r = ProbeDeviceId(kLevels[depth], id, type, variant);
      if (comms.GetStatus() == kCommsError) return false;
      if (r > 0 && type > 0) {
        // The same unit again means that it ignored the quiet command: move on.
        if (r == lastFound) break;
        lastFound = r;
        if (std::find(m_foundLongIds.begin(), m_foundLongIds.end(), std::uint32_t(r)) == m_foundLongIds.end())
          m_foundLongIds.push_back(std::uint32_t(r));
        TakeFoundUnit(std::uint32_t(r), type, variant);
        if (comms.GetStatus() == kCommsError) return false;
        if (depth == 3 || ++finds >= kScanMaxFindsPerId || !IsScanRunning()) break;
        SleepEx(kScanReprobeSleepMs, false);
        continue;  // another unit may answer the same probe now
      }
      if (r == -1 && depth < 3 && !SearchLevel(depth + 1, id)) return false;
      if (r == -1 && depth == 3) {
        // Every byte compared and still garbled: asked once more, as one answer may have met
        // noise; garbled again, units share this long ID.
        if (!askedAgain) {
          askedAgain = true;
          continue;
        }
        NoteUnreadLongId(id);
      }
      break;
    }
  }
  return true;
}

void CDiscoveryPass::NoteUnreadLongId(std::uint32_t id) {
  if (std::find(m_unreadLongIds.begin(), m_unreadLongIds.end(), id) != m_unreadLongIds.end()) return;
  m_unreadLongIds.push_back(id);
  m_document.WriteLog(
      FormatText("Autoscan: unreadable answer at long ID %u (two units with the same ID?)\n", unsigned(id)));
}

bool CDiscoveryPass::TakeFoundUnit(std::uint32_t id, std::uint32_t typeCode, std::uint32_t variant) {
  if (CDevice* device = AddFoundDevice(id, typeCode, variant)) {
    SendQuietCommand(device);
    return true;
  }
  // No family takes this type: the unit is quieted all the same (and kept quiet), or it would
  // answer the scan-complete check for ever.
  {
    CSingleLock lock(m_host.StateLock());
    const auto unit = std::make_pair(typeCode, id);
    if (std::find(m_quietedUnknownUnits.begin(), m_quietedUnknownUnits.end(), unit) == m_quietedUnknownUnits.end())
      m_quietedUnknownUnits.push_back(unit);
  }
  SendQuietCommand(typeCode, id);
  return true;
}

// --- Scan transactions ---

std::int64_t CDiscoveryPass::ProbeDeviceId(std::uint8_t level, std::uint32_t id, std::uint32_t& typeCode,
                                    std::uint32_t& variant) {
  CSerialComms& comms = m_host.Transport();
  CControlMessage& record = comms.Transaction();
  typeCode = 0;
  variant = 0;

  BuildLongIdProbe(record, level, id);
  const std::uint32_t savedExtra = comms.GetExtraTimeout();
  if (savedExtra < kScanProbeExtraTimeoutMs) comms.SetExtraTimeout(kScanProbeExtraTimeoutMs);
  const bool ran = m_host.RunTransaction();
  comms.SetExtraTimeout(savedExtra);
  record.noRetry = false;
  if (!ran) return 0;

  const std::uint8_t* reply = comms.ReceiveBuffer();
  if (record.receivedLength != record.expectedLength)
    return record.failed || record.receivedLength > 0 ? -1 : 0;
  if (record.failed) return -1;
  std::uint32_t found = 0;
  if (!ParseLongIdReply(reply, record.receivedLength, found)) return 0;

  LogScanDetail(FormatText("Found Device ID %lld, checking type...", (long long)id));
  std::uint8_t idBytes[4];
  std::copy(reply + 3, reply + 7, idBytes);
  BuildTypeQuery(record, idBytes);
  if (!m_host.RunTransaction()) return 0;
  // A unit that answered its probe but whose type cannot be read is named at the end of the scan.
  if (record.receivedLength != record.expectedLength) {
    LogScanDetail("Can't find device type");
    NoteUnreadLongId(found);
    return 0;
  }
  CScanIdentity identity;
  if (!ParseTypeQueryReply(comms.ReceiveBuffer(), record.receivedLength, identity)) {
    LogScanDetail("Error in 0xE0 reply header");
    NoteUnreadLongId(found);
    return 0;
  }
  LogScanDetail(FormatText("Device Type = %u, Variant = %u", unsigned(identity.typeCode), unsigned(identity.variant)));
  typeCode = identity.typeCode;
  variant = identity.variant;
  return found;
}

void CDiscoveryPass::SendQuietCommand(const CDevice* device) {
  if (device) SendQuietCommand(device->GetTypeCode(), device->GetDeviceId());
}

void CDiscoveryPass::SendQuietCommand(std::uint32_t typeCode, std::uint32_t id) {
  BuildQuietCommand(m_host.Transport().Transaction(), typeCode, id);
  if (m_host.RunTransaction()) m_host.Transport().SetStatus(kCommsIdle);
}

void CDiscoveryPass::KeepScanQuiet() {
  const std::uint32_t now = GetTickCount();
  const std::uint32_t last = m_lastQuietRefresh;
  if (last != 0 && TicksSince(last, now) < kScanQuietRefreshMs) return;
  m_lastQuietRefresh = now != 0 ? now : 1;  // 0 means "never"
  std::vector<std::pair<std::uint32_t, std::uint32_t>> units;
  // The quiet command carries the ID as four seven-bit groups: for an ID with a byte above 127
  // it would quiet the unit at another ID.
  for (CDevice* device : m_document.GetDevices())
    if (device->GetDeviceId() > kLongIdAbove && (device->GetDeviceId() & ~kLongIdGroupsMask) == 0)
      units.emplace_back(device->GetTypeCode(), device->GetDeviceId());
  {
    CSingleLock lock(m_host.StateLock());
    units.insert(units.end(), m_quietedUnknownUnits.begin(), m_quietedUnknownUnits.end());
  }
  for (const auto& [type, id] : units) {
    SendQuietCommand(type, id);
    if (m_host.Transport().GetStatus() == kCommsError) return;
  }
}

void CDiscoveryPass::SendScanReset() {
  BuildScanReset(m_host.Transport().Transaction());
  if (m_host.RunTransaction()) m_host.Transport().SetStatus(kCommsIdle);
  m_lastQuietRefresh = 0;
}

bool CDiscoveryPass::CheckScanComplete() {
  CSerialComms& comms = m_host.Transport();
  CControlMessage& record = comms.Transaction();
  BuildScanCompleteCheck(record);
  const std::uint32_t savedExtra = comms.GetExtraTimeout();
  if (savedExtra < kScanCheckExtraTimeoutMs) comms.SetExtraTimeout(kScanCheckExtraTimeoutMs);
  const bool ran = m_host.RunTransaction();
  if (ran) comms.SetStatus(kCommsIdle);
  comms.SetExtraTimeout(savedExtra);
  record.noRetry = false;
  const bool answered = ran && (record.receivedLength > 0 || record.failed);
  // What answered, for the scan's last word: a unit that names itself, or garbled answers.
  m_lastCheckAnswer = ECheckAnswer::kNone;
  m_lastCheckId = 0;
  if (answered) {
    std::uint32_t id = 0;
    const bool readable = record.receivedLength == record.expectedLength && !record.failed &&
                          ParseLongIdReply(comms.ReceiveBuffer(), record.receivedLength, id);
    m_lastCheckAnswer = readable ? ECheckAnswer::kReadable : ECheckAnswer::kUnreadable;
    if (readable) m_lastCheckId = id;
  }
  return answered;
}

// --- Devices that frames reach together ---

std::vector<CSharedAddress> FindSharedAddresses(const std::vector<CDevice*>& devices) {
  std::vector<CSharedAddress> shared;
  std::unordered_map<std::uint64_t, CDevice*> first;
  first.reserve(devices.size());
  for (CDevice* device : devices) {
    const std::uint32_t id = device->GetDeviceId();
    if (id == 0 || !device->AddressRules().AddressRefusal(id).empty()) continue;
    const auto [at, added] = first.emplace(device->AddressRules().FrameAddress(id), device);
    if (!added) shared.push_back({device, at->second});
  }
  return shared;
}

std::vector<CSharedAddress> LeaveOutSharedAddresses(const std::vector<CDevice*>& devices) {
  const std::vector<CSharedAddress> shared = FindSharedAddresses(devices);
  std::vector<CSharedAddress> newly;
  std::unordered_set<const CDevice*> leftOut;
  for (const CSharedAddress& s : shared) {
    leftOut.insert(s.device);
    if (!s.device->AddressRules().IsLeftOut()) newly.push_back(s);
  }
  for (CDevice* device : devices) device->AddressRules().SetLeftOut(leftOut.count(device) != 0);
  return newly;
}

std::vector<CAddressClash> FindAddressClashes(const std::vector<CDevice*>& devices) {
  std::vector<CAddressClash> clashes;
  std::unordered_set<const CDevice*> clashing;
  auto add = [&](CDevice* device, CDevice* other, bool leftOut) {
    if (clashing.insert(device).second) clashes.push_back({device, other, leftOut});
  };
  std::unordered_set<const CDevice*> leftOut;
  for (const CSharedAddress& s : FindSharedAddresses(devices)) {
    add(s.earlier, s.device, true);
    leftOut.insert(s.device);
  }
  for (CDevice* device : devices) {
    const std::uint32_t id = device->GetDeviceId();
    const CAddressRules& rules = device->AddressRules();
    if (id == 0 || leftOut.count(device) != 0 || !rules.QueriesLongId() || !rules.AddressRefusal(id).empty()) continue;
    for (CDevice* other : devices) {
      const CAddressRules& others = other->AddressRules();
      // Devices whose frames are the same share them, and are told of above.
      if (other == device || other->GetDeviceId() != id || !others.AnswersLongIdProbe() ||
          (others.AddressRefusal(id).empty() && others.FrameAddress(id) == rules.FrameAddress(id)))
        continue;
      add(device, other, false);
      break;
    }
  }
  // In list order, as the other lists of the going-online notice.
  std::unordered_map<const CDevice*, std::size_t> order;
  for (std::size_t i = 0; i < devices.size(); ++i) order.emplace(devices[i], i);
  std::stable_sort(clashes.begin(), clashes.end(),
                   [&](const CAddressClash& a, const CAddressClash& b) { return order[a.device] < order[b.device]; });
  return clashes;
}

std::string AddressClashText(const CAddressClash& clash) {
  return clash.leftOut ? "its frames are also answered by " + clash.other->GetUnitText() + " (left out)"
                       : "its identity query is also answered by " + clash.other->GetUnitText();
}

std::vector<CAddressClash> MarkAddressClashes(const std::vector<CDevice*>& devices) {
  std::vector<CAddressClash> newly;
  std::unordered_set<const CDevice*> marked;
  for (const CAddressClash& clash : FindAddressClashes(devices)) {
    marked.insert(clash.device);
    const std::string note = "Address clash: " + AddressClashText(clash);
    if (clash.device->UnitAtId().GetAddressClashNote() != note) newly.push_back(clash);
    clash.device->UnitAtId().SetAddressClash(note);
  }
  for (CDevice* device : devices)
    if (marked.count(device) == 0) device->UnitAtId().SetAddressClash({});
  return newly;
}

// --- Found units ---

CDevice* CDiscoveryPass::AddFoundDevice(std::uint32_t id, std::uint32_t typeCode, std::uint32_t variant) {
  // One device per ID is polled: the file's devices at this ID of another model than the unit
  // are set aside, so that no frame of their model goes to it.
  CDevice* same = nullptr;
  bool other = false;
  for (CDevice* device : m_document.GetDevices()) {
    if (device->GetDeviceId() != id) continue;
    if (device->GetTypeCode() == typeCode) {
      same = device;
    } else {
      other = true;
      SetAsideOtherModel(*device, typeCode, variant);
    }
  }
  if (same || other) return same;
  CDevice* device = m_document.CreateDevice(id, typeCode, variant);
  if (!device) return nullptr;
  // A unit whose device's frames would not reach it alone (they would reach the unit at another
  // ID, every unit of the model, or the unit of a device of the file too) is not added, and is
  // quieted as a unit of no family is.
  std::string refusal = device->AddressRules().AddressRefusal(id);
  if (refusal.empty()) {
    const std::uint64_t address = device->AddressRules().FrameAddress(id);
    for (CDevice* other : m_document.GetDevices()) {
      if (other->GetDeviceId() == 0 || !other->AddressRules().AddressRefusal(other->GetDeviceId()).empty()) continue;
      if (other->AddressRules().FrameAddress(other->GetDeviceId()) != address) continue;
      refusal = "its frames would also reach " + other->GetUnitText();
      break;
    }
  }
  if (!refusal.empty()) {
    const std::string text =
        FormatText("ID %u: a %s is not added - %s", unsigned(id), device->GetModelName().c_str(), refusal.c_str());
    delete device;
    m_document.WriteLog(text + "\n");
    if (IAutoscanDialog* dialog = m_autoscanDialog) dialog->OnUnitNotAdded(text);
    return nullptr;
  }
  device->Reinitialise(0);
  {
    // Into the list and among the unplaced devices at once, so that the UI thread never sees
    // one without the other.
    CSingleLock documentLock(m_document.GetLock());
    m_document.AppendDevice(device);
    CSingleLock lock(m_host.StateLock());
    m_unplacedDevices.push_back(device);
  }
  m_document.PostToFrame(CPostedMessage{FrameMsg::kRedrawMeterEntry, 0, 0, device->GetHandle(), {}});
  m_document.PostToFrame(CPostedMessage{FrameMsg::kRefreshRack, 0, 0, device->GetHandle(), {}});
  return device;
}

void CDiscoveryPass::SetAsideOtherModel(CDevice& device, std::uint32_t foundType, std::uint32_t variant) {
  if (device.UnitAtId().GetOtherModelAtId() != foundType) {
    // The found model's name, from a device of that type made for the purpose only.
    const std::unique_ptr<CDevice> probe(m_document.CreateDevice(device.GetDeviceId(), foundType, variant));
    device.UnitAtId().SetAside(foundType, probe ? probe->GetModelName() : device.UnitAtId().ModelNameOfType(foundType));
  }
  // The scan tells what it did not add, also of a unit that a reply named before.
  const std::string text = device.UnitAtId().GetOtherModelNote();
  m_document.WriteLog(text + " - the unit is not added and the " + device.GetModelName() + " is not polled\n");
  if (IAutoscanDialog* dialog = m_autoscanDialog) dialog->OnUnitNotAdded(text);
}

std::vector<CDevice*> CDiscoveryPass::TakeUnplacedDevices() {
  std::vector<CDevice*> found;
  CSingleLock lock(m_host.StateLock());
  found.swap(m_unplacedDevices);
  return found;
}

std::size_t CDiscoveryPass::GetUnplacedDeviceCount() const {
  CSingleLock lock(m_host.StateLock());
  return m_unplacedDevices.size();
}

void CDiscoveryPass::ForgetDevice(const CDevice* device) {
  CSingleLock lock(m_host.StateLock());
  std::erase(m_unplacedDevices, device);
}

void CDiscoveryPass::ResetBreakoutReadFlags() {
  CSingleLock lock(m_document.GetLock());
  for (CDevice* device : m_document.GetDevices()) {
    const std::uint32_t type = device->GetTypeCode();
    if (type < 34 || type > 47) continue;
    if (auto* word = dynamic_cast<IBlockReceivedWord*>(device)) word->MaskBlockReceivedWord(kBreakoutReadKeepMask);
  }
}
