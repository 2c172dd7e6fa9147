// Links: named groups of device parameters that move together while linking is active.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Uuid.h"

// One member of a link: a device (by UUID) and one of its parameter ids.
class CLinkRef {
 public:
  CLinkRef() : m_uuid(MakeUuid()) {}
  CLinkRef(const CUuid& device, std::uint32_t parameterId) : m_uuid(device), m_parameterId(parameterId) {}
  const CUuid& GetUuid() const { return m_uuid; }

  CUuid m_uuid;
  std::uint32_t m_parameterId = 0;
  bool m_displayFlag = false;  // the control view draws the member greyed
};

class CLink {
 public:
  explicit CLink(const std::string& name) : m_name(name) {}
  ~CLink();
  CLink(const CLink&) = delete;
  CLink& operator=(const CLink&) = delete;

  std::string GetName() const { return m_name; }
  // The first member with this device UUID and parameter id, or null.
  CLinkRef* FindRef(const CUuid& device, std::uint32_t parameterId) const;
  // Takes ownership of the member.
  void AddRef(CLinkRef* ref) { m_members.push_back(ref); }
  // Deletes every member of the device, whatever its parameter; returns how many.
  int RemoveDeviceRefs(const CUuid& device);

  std::vector<CLinkRef*> m_members;  // owning, in the order the user added them
  std::int32_t m_master = -1;        // index of the member whose value wins; -1 the first
  std::string m_name;
  bool m_expanded = false;
};
