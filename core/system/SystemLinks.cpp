// The system's links: creation, look-up, the spreading of a change and the bulk application when
// linking is switched on.
#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>

#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/system/SystemLinks.h"

namespace {

bool SameValue(const CParamValue& a, const CParamValue& b) {
  return a.id == b.id && a.kind == b.kind && a.value == b.value && a.integer == b.integer && a.flag == b.flag &&
         a.text == b.text;
}

}  // namespace

CSystemLinks::~CSystemLinks() { DeleteAllLinks(); }

void CSystemLinks::DeleteAllLinks() {
  for (CLink* link : m_links) delete link;
  m_links.clear();
}

CLink* CSystemLinks::AddLink() {
  const std::vector<CLink*>& links = m_links;
  // n names at most links.size() + 1 candidates before one is free.
  for (std::size_t n = 1;; ++n) {
    const std::string name = "Link " + std::to_string(n);
    bool taken = false;
    for (const CLink* link : links) taken = taken || link->m_name == name;
    if (!taken) {
      auto* link = new CLink(name);
      AppendLink(link);
      return link;
    }
  }
}

void CSystemLinks::DeleteLink(CLink* link) {
  auto it = std::find(m_links.begin(), m_links.end(), link);
  if (it == m_links.end()) return;
  for (CLinkRef* member : link->GetMembers()) EndOwedLinkValue(*link, *member, "the link was deleted");
  m_links.erase(it);
  delete link;
}

bool CSystemLinks::RemoveLinkMember(CLink& link, std::size_t index) {
  if (index >= link.GetMembers().size()) return false;
  EndOwedLinkValue(link, *link.GetMembers()[index], "it was taken out of the link");
  return link.RemoveMemberAt(index);
}

void CSystemLinks::RemoveDeviceFromLinks(const CDevice& device) {
  const CUuid uuid = device.GetUuid();
  for (CLink* link : m_links) {
    for (CLinkRef* member : link->GetMembers())
      if (member->GetUuid() == uuid) EndOwedLinkValue(*link, *member, "the device was deleted");
    link->RemoveDeviceRefs(uuid);
  }
}

void CSystemLinks::SetLinksActive(bool on) {
  // What a link owes a member out of line stays while linking is off: switched on again before
  // the member's unit is back, the links give it once more (an away master's the value it
  // missed, not what its unit kept). A unit back while linking is off keeps what it holds, and
  // the debt ends then (BringLinkMembersIntoLine).
  m_linksActive = on;
}

void CSystemLinks::EndOwedLinkValue(const CLink& link, CLinkRef& member, const std::string& why) {
  if (!member.IsOutOfLine()) return;
  member.ClearMissedValue();
  // The file keeps what a link owes: it changed.
  m_system.SetModified(true);
  CDevice* device = m_system.FindDeviceByUuid(member.GetUuid());
  m_system.WriteLog("Link \"" + link.GetName() + "\" not applied to " +
                    (device ? device->GetUnitText() : std::string("a device")) +
                    " when it is back: " + why + "\n");
}

void CSystemLinks::TellOwedLinkValues() {
  for (const CLink* link : m_links) {
    for (const CLinkRef* member : link->GetMembers()) {
      if (!member->IsOutOfLine()) continue;
      if (CDevice* device = m_system.FindDeviceByUuid(member->GetUuid()))
        m_system.WriteLog("Link \"" + link->GetName() + "\" not applied to " + device->GetUnitText() +
                          " when the file was saved - it takes the link's value when it is back\n");
    }
  }
}

void CSystemLinks::PutOwedLinkValuesIntoTheFile() {
  // The port is closed: the devices take the values into the file alone, and their marks stay
  // until their units have them.
  if (m_system.IsPortOpen() || !AreLinksActive()) return;
  m_system.WithoutSpreading([&] {
    for (std::size_t l = 0; l < m_links.size(); ++l) {
      const CLink* link = m_links[l];
      for (std::size_t m = 0; m < link->GetMembers().size(); ++m) {
        const CLinkRef* member = link->GetMembers()[m];
        if (!member->IsOutOfLine()) continue;
        if (CDevice* device = m_system.FindDeviceByUuid(member->GetUuid()))
          device->SystemEntries().ApplyLinkedChange(*member->GetMissedValue(), CSystemPass{});
      }
    }
  });
}

bool CSystemLinks::IsParameterLinked(const CUuid& device, std::uint32_t parameterId) const {
  for (const CLink* link : m_links)
    if (link->FindRef(device, parameterId)) return true;
  return false;
}

void CSystemLinks::ApplyLinks() {
  if (!AreLinksActive()) return;
  // Each member takes its master's value once. Were the members' own changes to spread, every
  // member would hand the same value to every other member again: a link of n units would
  // make n * n changes.
  m_system.WithoutSpreading([this] { ApplyEachLinkFromItsMaster(); });
}

void CSystemLinks::ApplyEachLinkFromItsMaster() {
  for (CLink* link : m_links) {
    CLinkRef* master = link->GetMasterRef();
    if (!master) continue;
    CDevice* source = m_system.FindDeviceByUuid(master->GetUuid());
    if (!source) continue;
    CParamValue value;
    if (!source->IsConnected() && master->IsOutOfLine()) {
      // A master that missed a value of the link while its unit was away, and whose unit has
      // not been connected since (online or off), still has that value to take: it is the
      // link's, and what the master holds is only what its unit kept from before.
      value = *master->GetMissedValue();
    } else {
      // The master's value is the link's: the master is in line with it.
      master->ClearMissedValue();
      value = source->GetCurrentValue(std::int32_t(master->m_parameterId));
    }
    for (CLinkRef* member : link->GetMembers()) {
      if (member == master) continue;
      CDevice* target = m_system.FindDeviceByUuid(member->GetUuid());
      if (!target) continue;
      CParamValue copy = value;
      copy.id = std::int32_t(member->m_parameterId);
      GiveLinkValue(*link, *member, *target, copy);
    }
  }
}

void CSystemLinks::SpreadChange(CDevice* device, const CParamValue& requested) {
  // The busy flag stops the linked devices' own changes from spreading again, so a change
  // travels one level, to the direct members of each link that holds the source parameter.
  // A value the device only announces as its unit reported it is no change to spread.
  if (!AreLinksActive() || m_system.IsLinksBusy() || device->HeldValues().IsAnnouncingUnitValues()) return;
  m_system.WithoutSpreading([&] { SpreadToLinkedParameters(device, requested); });
}

void CSystemLinks::SpreadToLinkedParameters(CDevice* device, const CParamValue& requested) {
  const CUuid self = device->GetUuid();
  const auto parameterId = std::uint32_t(requested.id);
  // By index: a member's change may reach code that walks the lists again.
  for (std::size_t l = 0; l < m_links.size(); ++l) {
    CLink* link = m_links[l];
    if (!link->FindRef(self, parameterId)) continue;
    for (std::size_t m = 0; m < link->GetMembers().size(); ++m) {
      CLinkRef* member = link->GetMembers()[m];
      if (member->GetUuid() == self && member->m_parameterId == parameterId) {
        // The value the others now take is the source's own.
        member->ClearMissedValue();
        continue;
      }
      CDevice* target = m_system.FindDeviceByUuid(member->GetUuid());
      if (!target) continue;
      CParamValue copy = requested;
      copy.id = std::int32_t(member->m_parameterId);
      GiveLinkValue(*link, *member, *target, copy);
    }
  }
}

void CSystemLinks::GiveLinkValue(const CLink& link, CLinkRef& member, CDevice& target, const CParamValue& value) {
  // A unit away online would refuse the change: the member keeps the link's value to take when
  // its unit is back, and the log says so once, when the member falls out of line. A member
  // already out of line stays so while its unit is not connected, offline too: its unit has
  // still to take the link's value, which a later "Retrieve" would otherwise read over.
  if (target.HeldValues().IsAwayOnline() || (!target.IsConnected() && member.IsOutOfLine())) {
    if (!member.IsOutOfLine())
      m_system.WriteLog("Link \"" + link.GetName() + "\" not applied to " + target.GetUnitText() +
                        " (not connected) - it takes the link's value when it is back\n");
    // The file keeps what the link owes the member.
    if (!member.IsOutOfLine() || !SameValue(*member.GetMissedValue(), value)) m_system.SetModified(true);
    member.SetMissedValue(value);
    return;
  }
  member.ClearMissedValue();
  target.SystemEntries().ApplyLinkedChange(value, CSystemPass{});
}

void CSystemLinks::BringLinkMembersIntoLine(CDevice* device) {
  // Only a connected unit takes the value; offline the file alone would, and the unit would
  // still hold another value when next read.
  if (!device || !m_system.IsPortOpen() || !device->IsConnected()) return;
  const CUuid self = device->GetUuid();
  if (!AreLinksActive()) {
    // Linking off gives a unit nothing: what the links owed it ends, and the log says so once.
    for (const CLink* link : m_links)
      for (CLinkRef* member : link->GetMembers())
        if (member->GetUuid() == self) EndOwedLinkValue(*link, *member, "linking is switched off");
    return;
  }
  // The other members hold the value already: it goes to this device alone.
  m_system.WithoutSpreading([&] {
    for (std::size_t l = 0; l < m_links.size(); ++l) {
      const CLink* link = m_links[l];
      for (std::size_t m = 0; m < link->GetMembers().size(); ++m) {
        CLinkRef* member = link->GetMembers()[m];
        if (!(member->GetUuid() == self) || !member->IsOutOfLine()) continue;
        const CParamValue value = *member->GetMissedValue();
        member->ClearMissedValue();
        device->SystemEntries().ApplyLinkedChange(value, CSystemPass{});
        m_system.WriteLog("Link \"" + link->GetName() + "\" applied to " + device->GetUnitText() +
                          " now that it is back\n");
      }
    }
  });
}

void CSystemLinks::EndLinkValuesSupersededByRecall(const CSnapshot& snapshot) {
  // The snapshot's devices are looked up only once a member out of line is found.
  std::optional<std::unordered_set<CUuid, CUuidHash>> recalled;
  for (const CLink* link : m_links) {
    for (CLinkRef* member : link->GetMembers()) {
      if (!member->IsOutOfLine()) continue;
      if (!recalled) {
        recalled.emplace();
        for (const CSnapshotData* image : snapshot.m_data) recalled->insert(image->GetUuid());
      }
      if (!recalled->contains(member->GetUuid())) continue;
      EndOwedLinkValue(*link, *member, "snapshot \"" + snapshot.m_name + "\" was recalled since");
    }
  }
}

void CSystemLinks::MarkLinkWritesOwed(CDevice* device) {
  if (!device) return;
  const std::vector<std::int32_t> owed = device->Queue().TakeLinkWritesOwed();
  if (owed.empty()) return;
  const CUuid self = device->GetUuid();
  m_system.WithoutSpreading([&] {
    for (const std::int32_t id : owed) {
      bool kept = false;
      for (std::size_t l = 0; l < m_links.size(); ++l) {
        CLink* link = m_links[l];
        CLinkRef* member = link->FindRef(self, std::uint32_t(id));
        if (!member || !AreLinksActive() || !device->HeldValues().IsAwayOnline()) continue;
        // A member out of line already keeps a value of the link at least as new.
        if (!member->IsOutOfLine()) {
          CParamValue value = device->GetCurrentValue(id);
          value.id = id;
          GiveLinkValue(*link, *member, *device, value);
        }
        kept = kept || member->IsOutOfLine();
      }
      if (kept) device->Queue().DropLinkWrites(id);
    }
  });
}
