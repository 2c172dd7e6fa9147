// Who else has a terminal line open: the processes that hold the device, as /proc shows them.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>

struct SerialLineUser {
  pid_t pid = 0;
  std::string name;  // the process's command name, "" when it cannot be read
};

// Whether the device is the slave side of a pseudo-terminal.
bool IsPseudoTerminalSlave(const struct stat& device);

// Another process that has the device (as stat gives it) open as its line, or nullopt. This
// process is not counted, nor a process that also holds the master of that pseudo-terminal:
// that one is the line's far end (a simulator, a relay, a logger on the wire), not a second user
// of it. Only processes whose open files this user may read are seen: all of them for root, the
// user's own otherwise.
std::optional<SerialLineUser> FindOtherSerialLineUser(const struct stat& device);

// "orvak, process 4242" (or "process 4242" without a name).
std::string DescribeSerialLineUser(const SerialLineUser& user);

// While one lives, FindOtherSerialLineUser on the thread that made it answers from one look at
// the processes' open files, taken at its first question: a search of many ports in a row (the
// Comms page's list, the loader's scan) reads /proc once, not once for each port, which costs
// as much as the processes have files open. A program that opens a line after the look is not
// seen by it; the lock and the exclusive mode that an open of a port takes are still looked at
// then. One made while another lives on the thread shares its look.
class CSerialLineUsersLook {
 public:
  CSerialLineUsersLook();
  ~CSerialLineUsersLook();
  CSerialLineUsersLook(const CSerialLineUsersLook&) = delete;
  CSerialLineUsersLook& operator=(const CSerialLineUsersLook&) = delete;

 private:
  bool m_owns = false;
};

// Tests: how many times the processes' open files were read, since the program started.
int SerialLineUserReadsForTests();
