// The hand-over between the comms worker and the security dialog: the worker's requests
// (FrameMsg::kSecurityProgress, kinds 1 to 5), the dialog's answer and typed password, and the finished flag.
// Both sides hold the link by shared pointer, so neither touches something the other has freed,
// and every wait of the worker on the dialog is bounded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Types.h"

class IMessageSink;

// Kinds of request.
enum : WPARAM {
  kSecurityAskPasswords = 1,        // "The following devices need passwords to connect :"
  kSecurityProgressLine = 2,        // one progress line
  kSecurityAskImport = 3,           // import the network's user data?
  kSecurityAskImportPassword = 4,   // the Admin password for the import
  // How far the pass is (the units checked, the one asked): shown as a progress line, but an
  // answer given before it is kept, so that an Abort is not lost to a count that came after it.
  kSecurityProgressCount = 5,
};

// The dialog's answer.
enum : std::int32_t {
  kSecurityAnswerNone = 0,
  kSecurityAnswerOk = 1,     // OK or Import
  kSecurityAnswerSkip = 2,   // Cancel or Don't Import
  kSecurityAnswerAbort = 3,
};

struct CSecurityRequest {
  WPARAM kind = 0;
  // kSecurityAskPasswords: the names of the devices concerned, in order.
  std::vector<std::string> deviceNames;
  // kSecurityProgressLine, kSecurityProgressCount: the text to show.
  std::string text;
};

class CSecurityDialogLink {
 public:
  // dialog: the dialog's window, where FrameMsg::kSecurityProgress is posted; not owned. The dialog
  // must Close() the link before that window goes.
  explicit CSecurityDialogLink(IMessageSink* dialog) : m_dialog(dialog) {}
  CSecurityDialogLink(const CSecurityDialogLink&) = delete;
  CSecurityDialogLink& operator=(const CSecurityDialogLink&) = delete;

  // --- Worker side ---
  // Queues the request, tells the dialog and waits up to timeoutMs until the dialog has taken
  // it. False when it was not taken in time or the dialog is closed; the request is then
  // withdrawn and never shown.
  bool Send(CSecurityRequest request, std::uint32_t timeoutMs);
  // Queues a kSecurityProgressCount request without waiting for the dialog to take it; one not
  // taken yet is replaced by the next, so that a busy window shows the latest and the worker
  // never waits on it. False when the dialog is closed.
  bool Update(CSecurityRequest request);
  // The answer given since the dialog took the last request (kSecurityAnswerNone until then).
  std::int32_t GetAnswer() const;
  // What the password box held when OK was pressed.
  std::string GetPasswordText() const;
  // The exchange is over; the dialog closes itself when it sees the flag.
  void SetFinished();

  // --- Dialog side (UI thread) ---
  // Takes the oldest waiting request and, unless it is a kSecurityProgressCount, forgets any
  // earlier answer. False when none waits.
  bool TakeRequest(CSecurityRequest& out);
  // Stores the typed password; call before SetAnswer(kSecurityAnswerOk).
  void SetPasswordText(const std::string& text);
  void SetAnswer(std::int32_t answer);
  bool IsFinished() const;
  // The dialog is going away: nothing is posted to it any more and the worker stops waiting.
  void Close();

  // Any thread.
  bool IsClosed() const;

 private:
  struct Pending {
    std::uint64_t id;
    CSecurityRequest request;
  };

  // Recursive: a stand-in dialog may take the request from inside the post.
  mutable std::recursive_mutex m_mutex;
  std::condition_variable_any m_taken;
  IMessageSink* m_dialog;
  std::deque<Pending> m_requests;
  std::uint64_t m_nextId = 1;
  std::uint64_t m_lastTaken = 0;
  std::int32_t m_answer = kSecurityAnswerNone;
  std::string m_password;
  bool m_finished = false;
  bool m_closed = false;
};
