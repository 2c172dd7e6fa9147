// The system's users and their rights: the list, the current user, whether the units' security
// is on, the access records every user keeps, and the users a unit hands over online.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/model/User.h"

class CSystem;
struct CUuid;

// While online the comms worker's user import (ImportNetworkUsers) replaces the users and the
// current index under the system's lock: a window that reads a user there takes the lock, or
// asks one of the current-user questions below, which do.
class CSystemUsers {
 public:
  explicit CSystemUsers(CSystem& system) : m_system(system) {}
  ~CSystemUsers() { DeleteAllUsers(); }
  CSystemUsers(const CSystemUsers&) = delete;
  CSystemUsers& operator=(const CSystemUsers&) = delete;

  CUserList& GetUsers() { return m_users; }
  const CUserList& GetUsers() const { return m_users; }
  // The current user's index; it names a user when it is below 10 and in the list. Any thread.
  int GetCurrentUser() const { return m_currentUser.load(); }
  void SetCurrentUser(int index) { m_currentUser.store(index); }
  void DeleteAllUsers() { ::DeleteAllUsers(m_users); }
  bool GetUseSystemSecurity() const { return m_useSystemSecurity; }
  void SetUseSystemSecurity(bool on) { m_useSystemSecurity = on; }

  // Every right withheld without a current user. Any thread.
  std::uint64_t GetCurrentUserRestrictions() const;
  // May the current user open the panel of the device or custom panel with this UUID
  // (CUser::CanAccessPanel)? False without a current user. Any thread.
  bool CurrentUserMayOpen(const CUuid& uuid) const;
  // True when the index names a user who lacks some right. Any thread.
  bool IsCurrentUserRestricted() const;
  // The current user's name; empty without one. Any thread.
  std::string GetCurrentUserName() const;

  // Gives users 1 to 9 the record {UUID, may use} for every device and custom panel that they
  // hold no record for; user 0 never gets records. Runs after every file load. UI thread.
  void EnsureUserPermissions();
  // Replaces the system's users by copies of the network's (at most 10), gives them an access
  // record of every device and custom panel that they have none of (as opening the file
  // would), turns system security on and logs in the administrator. Under the system's lock;
  // any thread.
  void ImportNetworkUsers(const CUserList& network);
  // How many times users were imported from a unit: a window that read the users or the
  // security flag compares it to learn that they were replaced since. Any thread.
  std::uint32_t GetUserImports() const { return m_userImports.load(); }

 private:
  // Asks read of the current user under the system's lock, as the worker's import deletes the
  // users it replaces; none is the answer when the index names no user.
  template <class Read, class Answer>
  Answer AskCurrentUser(Read read, Answer none) const;

  CSystem& m_system;
  CUserList m_users;
  std::atomic<int> m_currentUser{0};  // replaced by the worker's import under the lock
  std::atomic<bool> m_useSystemSecurity{false};  // turned on by the worker's import
  std::atomic<std::uint32_t> m_userImports{0};
};
