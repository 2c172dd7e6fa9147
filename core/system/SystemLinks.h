// The system's links: the list, whether linking is on, and the rules that carry a value from one
// linked parameter to the others, also to a member whose unit was away when the value came.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDevice;
class CLink;
class CLinkRef;
class CSnapshot;
class CSystem;
struct CUuid;
struct CParamValue;

// UI thread. The spreading of a change is held off with the system's WithoutSpreading, so that
// a change reaches the direct members of a link and travels no further.
class CSystemLinks {
 public:
  explicit CSystemLinks(CSystem& system) : m_system(system) {}
  ~CSystemLinks();
  CSystemLinks(const CSystemLinks&) = delete;
  CSystemLinks& operator=(const CSystemLinks&) = delete;

  const std::vector<CLink*>& GetLinks() const { return m_links; }
  // Appends a link the system then owns.
  void AppendLink(CLink* link) { m_links.push_back(link); }
  void DeleteAllLinks();
  bool AreLinksActive() const { return m_linksActive; }
  // Switched off, it ends what the links owed members out of line, one log line each.
  void SetLinksActive(bool on);

  // Appends a new link named "Link n" with the smallest n >= 1 that no link is named with;
  // the modified flag is not touched.
  CLink* AddLink();
  // Removes the link from the system and deletes it with its members; nothing when the link
  // is not the system's.
  void DeleteLink(CLink* link);
  // Deletes the member at index of the link (CLink::RemoveMemberAt); false when there is none.
  // What the link owed the member ends, and a link deleted, a device deleted or linking switched
  // off ends it too: the log says so once for each member out of line.
  bool RemoveLinkMember(CLink& link, std::size_t index);
  // Takes every member of the device out of every link.
  void RemoveDeviceFromLinks(const CDevice& device);
  // True when any link has a member for this device parameter.
  bool IsParameterLinked(const CUuid& device, std::uint32_t parameterId) const;
  // With linking active, gives every member of each link the current value of its master
  // (each under its own parameter id, as a user change, once: the members' changes do not
  // spread again); members of deleted devices are skipped. A member whose unit is away online
  // falls out of line (CLinkRef::IsOutOfLine) instead, as with a change spread to it, and one
  // out of line stays so, with the new value to take, while offline too; a master
  // out of line whose unit is not connected (away, or offline) gives the value it is still to
  // take, and keeps it to take.
  void ApplyLinks();
  // A member of a link that a value of the link passed by while its unit was away online takes
  // that value once its unit is connected again (through its change path, so that the unit is
  // written), and the log says so. The frame calls it when the device's connection changed;
  // nothing while the port is closed or the unit is not connected. While linking is off the
  // unit keeps what it holds: what the links owed the device ends, with a line in the log.
  void BringLinkMembersIntoLine(CDevice* device);
  // The log names each member out of line that a file just opened holds, and what it is to take.
  void TellOwedLinkValues();
  // While the port is closed and linking is on, each member out of line takes the value its
  // link owes it into the file, keeping its mark until its unit has it: the settings a "Send"
  // session gives the units then carry the link's value, never the one the unit missed it for.
  void PutOwedLinkValuesIntoTheFile();
  // The values of links whose writes the device's unit had not acknowledged when it went away
  // (CDevice::TakeLinkWritesOwed): each such member falls out of line with its link's value, as
  // a member away when the value came does, the log saying so once, and takes the value when its
  // unit is back; the writes leave the device's queue, so that a newer value of the link is never
  // followed there by an older one. A write whose member cannot be marked (linking off, no such
  // member, the unit back already) stays owed in the queue. The frame calls it with
  // BringLinkMembersIntoLine.
  void MarkLinkWritesOwed(CDevice* device);
  // A snapshot recalled is chosen after every value the links could not give its devices while
  // their units were away: their members out of line take none of them when the unit is back
  // (a recall that passed a unit by leaves it as it is), and the log says so for each.
  void EndLinkValuesSupersededByRecall(const CSnapshot& snapshot);

 private:
  // Only the system hands on a device's change (it hears of it from the device's change path).
  friend class CSystem;
  // With linking active and the spreading not held off, every member of each link holding the
  // device's parameter receives requested under its own parameter id.
  void SpreadChange(CDevice* device, const CParamValue& requested);
  void ApplyEachLinkFromItsMaster();
  void SpreadToLinkedParameters(CDevice* device, const CParamValue& requested);
  // Hands a member the link's value, or, while its unit is away online, marks it out of line
  // with that value (logged when it falls out of line).
  void GiveLinkValue(const CLink& link, CLinkRef& member, CDevice& target, const CParamValue& value);
  // Ends what the link owed the member, when it was out of line, with a log line that says why.
  void EndOwedLinkValue(const CLink& link, CLinkRef& member, const std::string& why);

  CSystem& m_system;
  std::vector<CLink*> m_links;
  bool m_linksActive = true;
};
