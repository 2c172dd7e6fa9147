// The system's links: creation, look-up and the bulk application when linking is switched on.
#include <algorithm>
#include <string>

#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/system/System.h"

CLink* CSystem::AddLink() {
  const std::vector<CLink*>& links = GetLinks();
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

void CSystem::DeleteLink(CLink* link) {
  auto it = std::find(m_links.begin(), m_links.end(), link);
  if (it == m_links.end()) return;
  m_links.erase(it);
  delete link;
}

bool CSystem::IsParameterLinked(const CUuid& device, std::uint32_t parameterId) const {
  for (const CLink* link : GetLinks())
    if (link->FindRef(device, parameterId)) return true;
  return false;
}

void CSystem::ApplyLinks() {
  if (!AreLinksActive()) return;
  // Each member takes its master's value once. Were the members' own changes to spread, every
  // member would hand the same value to every other member again: a link of n units would
  // make n * n changes.
  WithoutSpreading([this] { ApplyEachLinkFromItsMaster(); });
}

void CSystem::ApplyEachLinkFromItsMaster() {
  for (const CLink* link : GetLinks()) {
    const CLinkRef* master = link->GetMasterRef();
    if (!master) continue;
    CDevice* source = FindDeviceByUuid(master->GetUuid());
    if (!source) continue;
    const CParamValue value = source->GetCurrentValue(std::int32_t(master->m_parameterId));
    for (const CLinkRef* member : link->GetMembers()) {
      if (member == master) continue;
      CDevice* target = FindDeviceByUuid(member->GetUuid());
      if (!target) continue;
      CParamValue copy = value;
      copy.id = std::int32_t(member->m_parameterId);
      target->ApplyLinkedChange(copy, CDevice::CSystemPass{});
    }
  }
}

void CSystem::OnParameterChanged(CDevice* device, const CParamValue& stored, const CParamValue& requested,
                                 CParameterChangeNotice notice) {
  (void)notice;
  UpdateCustomPanelControls(device, std::uint32_t(stored.id));
  // The busy flag stops the linked devices' own changes from spreading again, so a change
  // travels one level, to the direct members of each link that holds the source parameter.
  // A value the device only announces as its unit reported it is no change to spread.
  if (!AreLinksActive() || IsLinksBusy() || device->IsAnnouncingUnitValues()) return;
  WithoutSpreading([&] { SpreadToLinkedParameters(device, requested); });
}

void CSystem::SpreadToLinkedParameters(CDevice* device, const CParamValue& requested) {
  const CUuid self = device->GetUuid();
  const auto parameterId = std::uint32_t(requested.id);
  // By index: a member's change may reach code that walks the lists again.
  for (std::size_t l = 0; l < m_links.size(); ++l) {
    const CLink* link = m_links[l];
    if (!link->FindRef(self, parameterId)) continue;
    for (std::size_t m = 0; m < link->GetMembers().size(); ++m) {
      const CLinkRef* member = link->GetMembers()[m];
      if (member->GetUuid() == self && member->m_parameterId == parameterId) continue;
      CDevice* target = FindDeviceByUuid(member->GetUuid());
      if (!target) continue;
      CParamValue copy = requested;
      copy.id = std::int32_t(member->m_parameterId);
      target->ApplyLinkedChange(copy, CDevice::CSystemPass{});
    }
  }
}
