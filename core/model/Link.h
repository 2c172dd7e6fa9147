// Links: named groups of device parameters that move together while linking is active.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/file/Uuid.h"
#include "core/values/ParamRecords.h"

class CArchive;

// One member of a link: a device (by UUID) and one of its parameter ids.
class CLinkRef {
 public:
  static constexpr std::size_t kRecordSize = 16 + 4 + 4;

  CLinkRef() : m_uuid(MakeUuid()) {}
  CLinkRef(const CUuid& device, std::uint32_t parameterId) : m_uuid(device), m_parameterId(parameterId) {}
  const CUuid& GetUuid() const { return m_uuid; }

  // 16 UUID bytes, u32 parameter id, BOOL display flag; no version word.
  void Serialize(CArchive& ar);

  // Out of line: a value of the link reached the member while its unit was away online, and
  // the member has not taken it (the change would have reached the file and the windows
  // only). The value is the one the member is to take once its unit is connected again; the
  // mark goes when the member takes a value of the link. The system file keeps it, with the
  // value, in the block of owed values (StoreOwedLinkValues), not in the member's record.
  bool IsOutOfLine() const { return m_missed.has_value(); }
  const std::optional<CParamValue>& GetMissedValue() const { return m_missed; }
  void SetMissedValue(const CParamValue& value) { m_missed = value; }
  void ClearMissedValue() { m_missed.reset(); }

  CUuid m_uuid;
  std::uint32_t m_parameterId = 0;
  bool m_displayFlag = false;  // the control view draws the member greyed

 private:
  std::optional<CParamValue> m_missed;
};

class CLink {
 public:
  explicit CLink(const std::string& name) : m_name(name) {}
  ~CLink();
  CLink(const CLink&) = delete;
  CLink& operator=(const CLink&) = delete;

  std::string GetName() const { return m_name; }
  // The members in the order the user added them; the link owns them.
  const std::vector<CLinkRef*>& GetMembers() const { return m_members; }
  // The first member with this device UUID and parameter id, or null. Found through an index
  // of the members, so that a link of hundreds of units answers at once for every parameter a
  // recall or a sweep pushes.
  CLinkRef* FindRef(const CUuid& device, std::uint32_t parameterId) const;
  // The same, handing the member out; false when there is none.
  bool FindRef(CLinkRef** out, const CUuid& device, std::uint32_t parameterId) const;
  // Takes ownership of the member.
  void AddRef(CLinkRef* ref);
  // Appends a new member for the device parameter (display flag clear) and returns it.
  CLinkRef* AddMember(const CUuid& device, std::uint32_t parameterId);
  // Deletes the member at index; the master stays the same member, and when it is the one
  // deleted the member after it takes over (the one before, when it was the last). False when
  // index is out of range.
  bool RemoveMemberAt(std::size_t index);
  // Deletes every member of the device, whatever its parameter, as RemoveMemberAt does;
  // returns how many.
  int RemoveDeviceRefs(const CUuid& device);
  // The member whose value wins when linking is switched on: the one at the master index when
  // that lies inside the member list, else the first; null for a link without members.
  CLinkRef* GetMasterRef() const;

  // u32 member count, the members, i32 master, name, BOOL expanded; no version word. Loading
  // appends the members read. Throws CArchiveException on short or bad data.
  void Serialize(CArchive& ar);

  std::int32_t m_master = -1;  // index of the member whose value wins; -1 the first
  std::string m_name;
  bool m_expanded = false;

 private:
  struct MemberKey {
    CUuid device;
    std::uint32_t parameterId = 0;
    friend bool operator==(const MemberKey&, const MemberKey&) = default;
  };
  struct MemberKeyHash {
    std::size_t operator()(const MemberKey& key) const { return CUuidHash{}(key.device) ^ key.parameterId; }
  };
  // Indexes the members again when the list changed since the last look-up.
  void IndexMembers() const;

  std::vector<CLinkRef*> m_members;  // owning, in the order the user added them
  // The first member of each device parameter; rebuilt on the next look-up once m_indexStale
  // is set by a change of the list that an insertion cannot keep up with.
  mutable std::unordered_map<MemberKey, CLinkRef*, MemberKeyHash> m_index;
  mutable bool m_indexStale = false;
};

// The values that links owe their members out of line: a block of the system file after the root
// record and its mark (kOwedLinkValuesMark), written only
// when a member is out of line. u32 version 1, u32 count, then for each such member its link's
// index in the list and its own index in the link (u32 each), and the value to take: kind (i32),
// number (float), integer (i32), flag (BOOL), text.
bool AnyLinkOwesAValue(const std::vector<CLink*>& links);
void StoreOwedLinkValues(CArchive& ar, const std::vector<CLink*>& links);
// Marks each member named out of line with its value (under the member's own parameter id).
// Throws CArchiveException on short or bad data: an index naming no link or member, a kind that
// no value has, a later version of the block.
void LoadOwedLinkValues(CArchive& ar, const std::vector<CLink*>& links);
