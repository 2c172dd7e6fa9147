// Who else uses a terminal line: the processes that hold the device, as /proc shows them, and
// the machine's consoles, which the kernel uses.
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
// process is not counted; any other that has the line open is, also one that holds the
// pseudo-terminal's master too (a program that made the line and uses it itself). The open files
// of a process are seen only where this user may read them: all of them for root, the user's own
// otherwise. Of another user's process only its controlling terminal is seen (a login or a getty
// on the line); a line it holds otherwise shows only by its lock file (SerialPortLockFile.h), a
// lock on the device, or the line's exclusive mode.
std::optional<SerialLineUser> FindOtherSerialLineUser(const struct stat& device);

// Whether the device is a console of the machine, never a line for units: one the kernel writes
// its messages to or takes logins on (named in /proc/consoles), /dev/console, a virtual console
// (/dev/tty0 to /dev/tty63), or the kernel's message line (/dev/ttyprintk). path: the device's
// path (a link is followed).
bool IsMachineConsole(const std::string& path, const struct stat& device);
// Tests: the file that names the console lines; empty restores /proc/consoles.
void SetConsoleListForTests(const std::string& file);

// The command name of a process, as /proc shows it to every user; "" when it cannot be read.
std::string SerialLineUserName(pid_t pid);
// The device number of a process's controlling terminal, as /proc shows it to every user; 0 for
// none.
dev_t ControllingTerminalOf(pid_t pid);

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
