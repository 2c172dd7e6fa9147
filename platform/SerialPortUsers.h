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
