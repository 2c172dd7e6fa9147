// The system's snapshots: the list, the current one, and capturing, recalling and deleting them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CSnapshot;
class CSystem;

// UI thread.
class CSystemSnapshots {
 public:
  explicit CSystemSnapshots(CSystem& system) : m_system(system) {}
  ~CSystemSnapshots();
  CSystemSnapshots(const CSystemSnapshots&) = delete;
  CSystemSnapshots& operator=(const CSystemSnapshots&) = delete;

  const std::vector<CSnapshot*>& GetSnapshots() const { return m_snapshots; }
  // Appends a snapshot the system then owns.
  void AppendSnapshot(CSnapshot* snapshot) { m_snapshots.push_back(snapshot); }
  void DeleteAllSnapshots();
  std::int32_t GetCurrentSnapshot() const { return m_currentSnapshot; }
  void SetCurrentSnapshot(std::int32_t index) { m_currentSnapshot = index; }

  // A new snapshot holding every device's settings image now, appended.
  CSnapshot* AddSnapshot(const std::string& name);
  // Replaces snapshot index's images by the devices' settings now; name and UUID stay.
  // Null when the index is out of range.
  CSnapshot* CaptureSnapshot(int index);
  // Applies snapshot index to every device that still exists and makes it the current one.
  // Each device takes its own image; links do not spread the recalled values, so a member
  // set apart from its link keeps the level the snapshot holds for it. False, and nothing
  // recalled, when the index is out of range or the current user may not recall snapshots
  // (decided now, whichever command or button asked). A device whose unit is away online is
  // passed by, with a line in the log; notRecalled, when given, receives the words that name
  // those units, for the place the recall was made to say (empty when there are none).
  bool RecallSnapshot(int index, std::string* notRecalled = nullptr);
  // Deletes snapshot index and every widget reference to it; the current snapshot stays the
  // current one (its index moves down when a snapshot before it goes).
  void DeleteSnapshot(int index);
  // Open custom panels light up or darken their buttons for snapshot index; -1 does nothing.
  void UpdateSnapshotControls(int index);

 private:
  // Hands each device of the snapshot its image; the units of the devices passed by, away
  // online, are appended to passedBy.
  void ApplyImages(const CSnapshot& snapshot, std::vector<std::string>& passedBy);

  CSystem& m_system;
  std::vector<CSnapshot*> m_snapshots;
  std::int32_t m_currentSnapshot = -1;
};
