// A unit that answers as the unit it wraps, except that a test can hold its answer to one read
// until the test lets it go: the read of a setting that is on its way while the program changes
// that setting, made certain rather than left to timing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "tools/devsim/SimUnit.h"

// The wrapped unit makes its answer when the read comes, from its state then, and the answer
// leaves at Release. The bus answers nothing else meanwhile: what the program sends after the
// read waits on the line, as behind a unit slow to answer, so the program's read time-out must be
// long enough to wait (CSimBus::SetSilenceEndsReads with a long extra time-out). Thread-safe.
class CSimAnswerGate : public CSimUnit {
 public:
  // The longest a held answer waits for Release: ends a test that failed before letting it go.
  static constexpr std::chrono::seconds kLongestHold{30};

  explicit CSimAnswerGate(std::unique_ptr<CSimUnit> unit);
  // Lets a held answer go.
  ~CSimAnswerGate() override;

  std::size_t RequestLength(const SimBytes& bytes) const override { return m_unit->RequestLength(bytes); }
  SimHeader Header() const override { return m_unit->Header(); }
  SimAnswer Handle(const SimBytes& request) override;

  // The unit's next read of the command (the request byte at the header's command place) that
  // it answers with bytes is held.
  void HoldNextAnswerTo(std::uint8_t command);
  // The unit's next read that it answers with bytes is held, whatever its command.
  void HoldNextAnswer();
  // Waits up to timeoutMs until an answer is held; true when one is.
  bool WaitUntilHolding(std::uint32_t timeoutMs = 20000) const;
  // The request whose answer is held now, or was held last.
  SimBytes HeldRequest() const;
  // Lets the held answer leave (a hold asked for meanwhile stays asked for); with none held, the
  // hold asked for is called off.
  void Release();

  CSimUnit& Unit() { return *m_unit; }

 private:
  std::unique_ptr<CSimUnit> m_unit;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  bool m_armed = false;
  std::uint8_t m_command = 0;
  bool m_anyCommand = false;
  bool m_holding = false;
  bool m_released = false;
  SimBytes m_heldRequest;
};
