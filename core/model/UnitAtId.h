// Who answers at a device's ID: a unit of another model sets the device aside (nothing is sent
// to that unit or taken from it, it is only probed now and then) until a unit of the device's
// own model takes it up again; and what else is known of the unit on the line (it answers late,
// another unit answers what the device sends). A family whose replies lay out the model
// otherwise, or that names the models of its type codes, gives the device its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class CControlMessage;
class CDevice;

class CUnitAtId {
 public:
  explicit CUnitAtId(CDevice& device) : m_device(device) {}
  virtual ~CUnitAtId() = default;
  CUnitAtId(const CUnitAtId&) = delete;
  CUnitAtId& operator=(const CUnitAtId&) = delete;

  // The type code a reply repeats (byte 3 of a framed reply), 0 when it tells none: the ACK of a
  // write, a reply too short. A family whose replies of some request lay out other bytes there
  // says so.
  virtual std::uint32_t UnitTypeOfReply(const CControlMessage& record) const;
  // The model name of a unit of the device's family that reports typeCode, for the words of
  // SetAside; base: "unit of type n".
  virtual std::string ModelNameOfType(std::uint32_t typeCode) const;

  // The type code of a unit of another model that answers at the device's ID (found by a reply
  // or by an autoscan), 0 when none. Such a device is set aside: nothing is written to it and
  // no reply is taken into the file; it is only asked, now and then, what answers there, and
  // taken up again when a unit of its own model does. Going online again or a new ID ends it.
  // Any thread.
  std::uint32_t GetOtherModelAtId() const { return m_otherModelAtId; }
  bool IsSetAside() const { return m_otherModelAtId != 0; }
  void SetOtherModelAtId(std::uint32_t typeCode) { m_otherModelAtId = typeCode; }
  // Sets the device aside for the unit of type unitType, model name unitModel, found at its ID:
  // a connection ends, and the polls probe only. What was queued for the device waits, sent to
  // no unit meanwhile: a person's change still goes to the device's own unit should it answer
  // again. Confirmed: the unit is known to be there (an autoscan found it, or it answered
  // again); one reply alone does not confirm it, and should the device's own unit answer next,
  // it never left (see TakeUnitModel). Returns the words that name both models ("ID 3: the file
  // has a Nerex24, the unit is a Nerex48"), or an empty text when the device was set aside for
  // that unit already, which confirms it. Any thread.
  std::string SetAside(std::uint32_t unitType, const std::string& unitModel, bool confirmed = true);
  // The words that name both models while the device is set aside; empty otherwise. Any thread.
  std::string GetOtherModelNote() const;
  // For a family's ProcessReply, before anything of a reply is taken: the model the reply names
  // (UnitTypeOfReply) and whom it names (CControlMessage::replyEcho). True when the reply may be
  // taken. Only a reply that names the device's unit tells who is at its ID: a unit of another
  // model sets the device aside (logged once); while set aside, a unit of the device's own model
  // takes the device up again, and the reply itself is not taken. Taken up, a device whose own
  // unit never left (the other model answered once only) goes on where it was; otherwise it
  // starts as at going online, a person's changes that waited going first in a "Retrieve"
  // session. A reply that names another unit is never taken, nor one of another model that
  // names nobody. Worker thread, under the system's lock.
  bool TakeUnitModel(const CControlMessage& record);
  // A reply nothing of which is taken but the model it names, as TakeUnitModel takes it: a whole
  // reply shorter than its request asked for that repeats the request's unit ID and command
  // (CSerialComms::EndedOnShorterReply), or one that came before the device's security step. True
  // when a unit of another model answered, and the device is set aside. Worker thread, under the
  // system's lock.
  bool TakeModelOfShorterReply(const CControlMessage& record);

  // --- What is known of the unit on the line ---
  // The unit answers later than the read time-out: the words that say so and what serves it, set
  // by the comms worker for the session; empty when not known. Any thread.
  void SetLateAnswerNote(const std::string& note);
  // Another unit answers what this device sends it (its identity query, say), so that the two
  // answers garble each other while both are on the line: the words that name both, set when
  // going online and whenever the devices' IDs change; empty when none. Meanwhile the device's
  // unit is probed at the rate of an absent one. Any thread.
  void SetAddressClash(const std::string& note);
  bool HasAddressClash() const { return m_addressClash; }
  std::string GetAddressClashNote() const;
  // Those notes, one a line (the address clash first), for the device's tooltip; empty when
  // none. Any thread.
  std::string GetLineNotes() const;

 protected:
  CDevice& m_device;

 private:
  // A unit of the device's own model answers at its ID again (see TakeUnitModel).
  void TakeUp();
  // The unit at the ID is known to be another (see SetAside). Under the system's lock.
  void ConfirmAside();

  std::atomic<std::uint32_t> m_otherModelAtId{0};
  std::string m_otherModelName;  // guarded by the system's lock
  std::atomic<bool> m_addressClash{false};
  std::string m_clashNote;       // guarded by the system's lock
  std::string m_lateAnswerNote;  // guarded by the system's lock
  // While set aside: whether the other unit is known to be there (see SetAside), and whether the
  // device waited for its security step when it was set aside.
  bool m_asideConfirmed = false;
  bool m_asideBeforeSecurity = false;
};
