// Parameter links: named groups of device parameters that move together while linking is on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Uuid.h"

class CArchive;

// One member of a link: a device (by UUID) and one of its parameter ids.
struct CLinkRef {
  CUuid uuid = MakeUuid();
  std::int32_t paramId = 0;
  // Set by the views to draw the member greyed; only stored by the model.
  bool display = false;

  CUuid GetUuid() const { return uuid; }
  // 16 UUID bytes, u32 parameter id, BOOL display flag; no version word.
  void Serialize(CArchive& ar);
};

class CLink {
 public:
  static constexpr std::size_t kMemberRecordSize = 16 + 4 + 4;

  explicit CLink(const std::string& name) : m_name(name) {}

  std::string GetName() const { return m_name; }
  void SetName(const std::string& name) { m_name = name; }

  // The first member for this device and parameter id, or null.
  CLinkRef* FindRef(const CUuid& uuid, std::int32_t paramId) const;
  bool FindRef(CLinkRef** out, const CUuid& uuid, std::int32_t paramId) const {
    CLinkRef* found = FindRef(uuid, paramId);
    if (found && out) *out = found;
    return found != nullptr;
  }
  CLinkRef& AddMember(const CUuid& uuid, std::int32_t paramId);
  // Removes every member of the device, whatever its parameter id; returns how many went.
  std::size_t RemoveDeviceMembers(const CUuid& uuid);
  // The member whose value wins: the one at the master index when that lies inside the list,
  // else the first; null for an empty link.
  CLinkRef* GetMasterRef() const;

  // u32 member count, the members, i32 master, name, BOOL expanded; no version word. Loading
  // appends the members read to those already held.
  void Serialize(CArchive& ar);

  std::vector<std::unique_ptr<CLinkRef>> m_members;
  std::int32_t m_master = -1;  // -1: the first member
  bool m_expanded = false;

 private:
  std::string m_name;
};

using CLinkList = std::vector<std::unique_ptr<CLink>>;
