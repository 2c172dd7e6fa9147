// Saves made, and locks held, by other processes, as another instance of the program makes and
// holds them: real child processes, killed for good where a save is cut short.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/AtomicFile.h"

namespace other_processes {

using Bytes = std::vector<std::uint8_t>;

inline int g_killAtStep = 0;
inline void KillAtStep(int step) {
  if (step == g_killAtStep) ::kill(::getpid(), SIGKILL);
}

// Saves bytes at path in 64 KiB pieces, in a child process that kills itself before the given
// step of the save (0: none); whether it was killed (else it saved).
inline bool SaveKilledAtStep(const std::string& path, const Bytes& bytes, int step) {
  const pid_t child = ::fork();
  if (child == 0) {
    g_killAtStep = step;
    SetSaveStepHookForTests(KillAtStep);
    const bool saved = [&] {
      CAtomicFileWriter file(path);
      bool written = file.Open(nullptr);
      for (std::size_t at = 0; written && at < bytes.size(); at += 65536)
        written = file.Write(bytes.data() + at, std::min<std::size_t>(65536, bytes.size() - at), nullptr);
      return written && file.Commit(nullptr);
    }();
    ::_exit(saved ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGKILL;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  return false;
}

// Saves bytes at path in another process, as another instance of the program would; whether it
// saved.
inline bool SaveInAnotherProcess(const std::string& path, const Bytes& bytes) { return !SaveKilledAtStep(path, bytes, 0); }

inline Bytes Pattern(std::size_t size, int seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = std::uint8_t(i * std::size_t(seed) + (i >> 12));
  return bytes;
}

// Another process that holds the lock of the file at path (as another instance's sweep of the
// kept copies holds a copy while it reads it) until Release, or until it ends.
class CLockHolder {
 public:
  explicit CLockHolder(const std::string& path) {
    int go[2], held[2];
    if (::pipe(go) != 0 || ::pipe(held) != 0) return;
    m_child = ::fork();
    if (m_child == 0) {
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      const char state = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
      [[maybe_unused]] ssize_t n = ::write(held[1], &state, 1);
      char c = 0;
      n = ::read(go[0], &c, 1);
      ::_exit(0);
    }
    ::close(go[0]);
    ::close(held[1]);
    m_go = go[1];
    char state = 0;
    m_held = ::read(held[0], &state, 1) == 1 && state == 'y';
    ::close(held[0]);
  }
  ~CLockHolder() { Release(); }
  CLockHolder(const CLockHolder&) = delete;
  CLockHolder& operator=(const CLockHolder&) = delete;

  bool Held() const { return m_held; }
  // Ends the holder, and with it its lock: gone once this returns.
  void Release() {
    if (m_child <= 0) return;
    [[maybe_unused]] const ssize_t n = ::write(m_go, "g", 1);
    ::close(m_go);
    int status = 0;
    ::waitpid(m_child, &status, 0);
    m_child = -1;
    m_held = false;
  }

 private:
  pid_t m_child = -1;
  int m_go = -1;
  bool m_held = false;
};

}  // namespace other_processes
