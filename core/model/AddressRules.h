// How a device's ID addresses its unit: the IDs the family's frames can carry, what they carry
// to the bus, whether the device is addressed at all (left out for an earlier device of the
// file), and whose ID a new one would collide with. A family whose frames carry IDs otherwise
// gives the device its own rules.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

class CDevice;

// Any thread throughout.
class CAddressRules {
 public:
  explicit CAddressRules(const CDevice& device) : m_device(device) {}
  virtual ~CAddressRules() = default;
  CAddressRules(const CAddressRules&) = delete;
  CAddressRules& operator=(const CAddressRules&) = delete;

  static constexpr std::uint32_t kMaxShortId = 63;

  // Why the ID row refuses id (it would reach the unit at another ID, or lies outside the
  // family's range), in the words of the properties pane; empty when the row takes it. Base:
  // every 32-bit ID.
  virtual std::string DeviceIdRangeRefusal(std::uint64_t id) const;
  // Why frames built for id would not reach the unit at id alone (they would reach the unit at
  // another ID, or every unit of the model), in the words of the log and the going-online
  // notice; empty when they do. Base: DeviceIdRangeRefusal.
  virtual std::string AddressRefusal(std::uint64_t id) const;
  // What the family's frames built for id carry to the bus: two devices with equal addresses
  // are reached by the same frames, so that the units of both would take what either is sent.
  // Base: the ID (a unit's identity query names no model).
  virtual std::uint64_t FrameAddress(std::uint64_t id) const;
  // Whether the device's requests include the long-ID probe of its ID (an identity query of
  // that form), which every unit at that long ID answers, of whatever family. Base: false.
  virtual bool QueriesLongId() const;
  // Whether the device's unit answers the long-ID probe of the device's ID: a unit at a long ID
  // (above the short IDs, 1 to kMaxShortId) does.
  virtual bool AnswersLongIdProbe() const;

  // True when the worker may address the device: it has an ID of its own (ID 0 addresses every
  // unit of a model on the bus) whose frames reach its unit alone, and it is not left out for an
  // earlier device of the file that the same frames reach (SetLeftOut).
  bool IsAddressable() const;
  // Left out: an earlier device of the file is reached by the same frames (FrameAddress), so
  // this one is not addressed. Set by the comms worker from the device list; a new ID ends it.
  bool IsLeftOut() const { return m_leftOut; }
  void SetLeftOut(bool leftOut) { m_leftOut = leftOut; }
  // The refusal of id as the device's new ID when another device of the system has it
  // ("Device ID n already in use"), or when the frames built for it would reach another device's
  // unit too ("Device ID n would also address Nerex48 ID: 300"); none for a free ID or 0, which
  // devices not yet addressed share.
  std::optional<std::string> DeviceIdInUseRefusal(std::uint64_t id) const;

 protected:
  const CDevice& m_device;

 private:
  std::atomic<bool> m_leftOut{false};
};
