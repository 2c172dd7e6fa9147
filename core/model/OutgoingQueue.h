// A device's outgoing queue: the frames its unit is to be sent, oldest first, a newer message
// for the same setting replacing a queued one, and the writes a link is owed while the unit is
// away. Every operation takes the system's lock. Only the device's family puts a frame in
// (CDevice::QueueMessage), and the comms worker a write again or a request that never left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CControlMessage;
class CDevice;

class COutgoingQueue {
 public:
  explicit COutgoingQueue(CDevice& device);
  ~COutgoingQueue();
  COutgoingQueue(const COutgoingQueue&) = delete;
  COutgoingQueue& operator=(const COutgoingQueue&) = delete;

  // A write whose transaction ended without the unit's ACK (the ACK lost behind another unit's
  // late answer, say, or the unit silent) goes again, ahead of what is queued, as a read that went
  // unanswered is asked again; not when a newer write of the same setting waits (that one goes),
  // nor to a device set aside or not addressable, nor once kMaxWriteTries of its transactions
  // were met by a unit that is there: one that answered its request before (unitAnswered). A
  // unit that has fallen silent is owed the write for as long as it is away, and gets it when it
  // answers again (QueueWriteAgain: false when it is given up). Worker thread.
  static constexpr std::uint32_t kMaxWriteTries = 3;

  // Any thread.
  void ClearQueue();
  // Copies the oldest message into record and removes it; false when the queue is empty. A read
  // taken off the queue is stamped (CStaleReadGuard::StampRead) as it is taken.
  bool PopMessage(CControlMessage& record);
  std::size_t GetQueueSize() const;
  // The writes queued, not yet acknowledged by the unit.
  std::size_t GetQueuedWriteCount() const;
  // A copy of queued message i (tests and diagnostics); false when out of range.
  bool PeekQueuedMessage(std::size_t i, CControlMessage& out) const;

  // --- Links' values owed to an away unit ---
  // The writes a change a link handed the device queues carry the parameter's id
  // (CControlMessage::linkedParameter). While its unit is not connected, such a write still
  // queued is owed by the link: the worker notes the parameters, each once while the unit is
  // away (true when one is new: the frame is then told); the frame takes them, marks the link's
  // members out of line and hands each parameter whose value a link now keeps back here, and its
  // writes leave the queue, as one that goes again later does. What is noted is forgotten once
  // the unit is connected again. Under the system's lock.
  bool NoteLinkWritesOwed();
  std::vector<std::int32_t> TakeLinkWritesOwed();
  void DropLinkWrites(std::int32_t parameterId);

 private:
  using Messages = std::vector<std::unique_ptr<CControlMessage>>;
  // The family's frames (QueueMessage), the connection's edge and the unit at the ID.
  friend class CDevice;
  friend class CUnitAtId;
  // The write that the comms worker's transaction sent, queued again, and a request that never
  // reached the unit.
  friend class CCommsWorker;

  // Appends a message (see CDevice::QueueMessage).
  void Push(bool force, std::unique_ptr<CControlMessage> message);
  bool QueueWriteAgain(const CControlMessage& write, bool unitAnswered);
  // A request taken from the queue that never reached the unit goes back to the front, as it
  // was; not when a newer write of the same setting waits (that one goes). Worker thread.
  void PutBack(const CControlMessage& request);
  // The queued message for the same setting as the message (its merge mask, not 0: see
  // CDevice::GetMessageMergeMask), or the queue's end. Under the system's lock.
  Messages::iterator FindSameSetting(const CControlMessage& message, std::uint32_t mask);
  // Forgets the links' values noted as owed (see NoteLinkWritesOwed). Under the system's lock.
  void ForgetLinkWritesOwed();
  // The device's own unit has left (set aside): only a person's writes wait, and only in a
  // "Retrieve" session (sending: a "Send" session, whose file's settings carry them). Under the
  // system's lock.
  void KeepOnlyWaitingChanges(bool sending);
  // Everything queued taken out, and put back ahead of what was queued meanwhile. Under the
  // system's lock.
  Messages TakeAll();
  void PutFirst(Messages waiting);

  CDevice& m_device;
  Messages m_messages;  // guarded by the system's lock
  // Parameters whose link writes the unit is owed while away: not yet taken by the frame, told
  // to it, and those whose values the links keep now. Guarded by the system's lock.
  std::vector<std::int32_t> m_linkWritesOwed;
  std::vector<std::int32_t> m_linkWritesTold;
  std::vector<std::int32_t> m_linkWritesKept;
};
