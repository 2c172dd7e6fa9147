// Save and open of a system file, each timed beside plain system calls on the same bytes in the
// same run: a save beside a raw write of its bytes to a temporary file with fdatasync, a rename
// over the target and an fsync of the folder (the steps a save takes), an open beside a raw read
// of the file into a new buffer. Saves and opens alternate with their references, and
// ratio_to_raw is the median of the per-pair ratios, so that a load spike on a shared machine
// moves one pair, not the figure.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/system/System.h"
#include "platform/Archive.h"
#include "platform/AtomicFile.h"

namespace file_benchmark {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The reference of a save: the bytes written to a new file beside path, flushed with fdatasync
// and renamed over path, then the folder flushed so that the rename is on the disk too.
inline bool RawWrite(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string temp = path + ".raw";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += std::size_t(n);
  }
  const bool written = done == bytes.size() && ::fdatasync(fd) == 0;
  if (::close(fd) != 0 || !written || ::rename(temp.c_str(), path.c_str()) != 0) return false;
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  const bool flushed = ::fsync(dir) == 0;
  return ::close(dir) == 0 && flushed;
}

// The reference of a save in place: what such a save must do at least. The file's earlier
// bytes read and written to a new file in the copies' folder, which is flushed with that folder;
// the bytes written over the file, which is cut to their length and flushed; the copy removed
// and its folder flushed.
inline bool RawWriteInPlace(const std::string& path, const std::string& copyFolder, const std::vector<std::uint8_t>& bytes) {
  const std::string copy = copyFolder + "/raw.copy";
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  const int out = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int folder = ::open(copyFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  bool done = fd >= 0 && out >= 0 && folder >= 0;
  std::vector<std::uint8_t> block(1 << 20);
  for (ssize_t n; done && (n = ::read(fd, block.data(), block.size())) != 0;)
    done = n > 0 && ::write(out, block.data(), std::size_t(n)) == n;
  done = done && ::fdatasync(out) == 0 && ::fsync(folder) == 0;
  for (std::size_t at = 0; done && at < bytes.size();) {
    const ssize_t n = ::pwrite(fd, bytes.data() + at, bytes.size() - at, off_t(at));
    done = n > 0;
    at += done ? std::size_t(n) : 0;
  }
  done = done && ::ftruncate(fd, off_t(bytes.size())) == 0 && ::fdatasync(fd) == 0 && ::unlink(copy.c_str()) == 0 &&
         ::fsync(folder) == 0;
  for (const int open : {fd, out, folder})
    if (open >= 0) ::close(open);
  return done;
}

// The reference of an open: the file read whole into a buffer of its size.
inline bool RawRead(const std::string& path, std::unique_ptr<std::uint8_t[]>& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  std::size_t done = 0, size = 0;
  if (::fstat(fd, &info) == 0) {
    size = std::size_t(info.st_size);
    buffer = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    while (done < size) {
      const ssize_t n = ::read(fd, buffer.get() + done, size - done);
      if (n <= 0) break;
      done += std::size_t(n);
    }
  }
  ::close(fd);
  return done == size;
}

// Resident memory of this process, in bytes: now, and the most it has been (Linux).
inline double ResidentBytes(const char* field = "VmRSS:") {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return 0;
  char line[256];
  double kib = 0;
  const std::size_t length = std::char_traits<char>::length(field);
  while (std::fgets(line, sizeof line, status))
    if (std::string_view(line).substr(0, length) == field) kib = std::strtod(line + length, nullptr);
  std::fclose(status);
  return kib * 1024;
}

// Saves system again and again, each time beside a raw write of the bytes of its first save.
// inPlace: the file and the raw one have second names, so that each save goes in place behind a
// kept copy of the earlier bytes, beside a raw save in place.
inline void MeasureSave(benchmark::State& state, CSystem& system, bool inPlace = false) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("bench.ovd").toStdString();
  const std::string rawPath = dir.filePath("raw.bin").toStdString();
  if (!system.File().SaveFile(path)) state.SkipWithError("save failed");
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(path, bytes, nullptr);
  if (inPlace && (!WriteFileAtomically(rawPath, bytes, nullptr) || ::link(path.c_str(), (path + "2").c_str()) != 0 ||
                  ::link(rawPath.c_str(), (rawPath + "2").c_str()) != 0))
    state.SkipWithError("the second names could not be made");
  const std::string copies = GetKeptCopyFolder();
  std::vector<double> ratios;
  for (auto _ : state) {
    auto t = Clock::now();
    if (!system.File().SaveFile(path)) state.SkipWithError("save failed");
    const double save = Seconds(t);
    state.PauseTiming();
    t = Clock::now();
    if (!(inPlace ? RawWriteInPlace(rawPath, copies, bytes) : RawWrite(rawPath, bytes)))
      state.SkipWithError("raw write failed");
    ratios.push_back(save / Seconds(t));
    state.ResumeTiming();
  }
  state.counters["bytes"] = double(bytes.size());
  state.counters["ratio_to_raw"] = Median(ratios);
}

// Opens the file that populate gives a system, again and again, each time beside a raw read;
// afterOpen (when given) is timed with the open. The system is emptied before each open, as the
// frame empties it before it opens a file: the open file's contents are dropped at that step.
// Also reports the resident memory the open file holds (after the first open, over the file's
// size) and the peak of the first open (the most the process held during it, over the file's
// size), both against the process before.
inline void MeasureOpen(benchmark::State& state, const std::function<void(CSystem&)>& populate,
                        const std::function<void(CSystem&)>& afterOpen = {}) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("bench.ovd").toStdString();
  {
    CSystem s;
    populate(s);
    s.File().SaveFile(path);
  }
  const double fileBytes = double(GetFileSize(path));
  // The heap freed by the system above goes back, and the peak counts from here on.
  malloc_trim(0);
  if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", clear);
    std::fclose(clear);
  }
  const double before = ResidentBytes();
  CSystem s;
  std::vector<double> ratios;
  double heldBytes = -1;
  std::unique_ptr<std::uint8_t[]> raw;
  for (auto _ : state) {
    state.PauseTiming();
    s.Clear();
    state.ResumeTiming();
    auto t = Clock::now();
    if (!s.File().OpenFile(path)) state.SkipWithError("open failed");
    if (afterOpen) afterOpen(s);
    const double open = Seconds(t);
    state.PauseTiming();
    if (heldBytes < 0) {
      heldBytes = ResidentBytes() - before;
      state.counters["peak_to_file"] = (ResidentBytes("VmHWM:") - before) / fileBytes;
    }
    t = Clock::now();
    if (!RawRead(path, raw)) state.SkipWithError("raw read failed");
    ratios.push_back(open / Seconds(t));
    raw.reset();
    state.ResumeTiming();
  }
  state.counters["ratio_to_raw"] = Median(ratios);
  state.counters["memory_to_file"] = heldBytes / fileBytes;
}

}  // namespace file_benchmark
