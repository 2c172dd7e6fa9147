// What a firmware or preset loader works with: the clock it waits on, where its log lines and
// progress go, and the unit and files of one load.
#pragma once

#include <cstdint>
#include <string>

// The waits between the steps of a boot dialogue. The program's clock sleeps; the simulated
// units of the tests give one that moves their own time instead.
class ILoaderClock {
 public:
  virtual ~ILoaderClock() = default;
  // Calling thread: returns after ms milliseconds of this clock.
  virtual void Sleep(std::uint32_t ms) = 0;
  // Where this clock stands, in milliseconds from a start of its own. Any thread.
  virtual std::uint64_t NowMs() const = 0;
};

// The machine's clock.
class CSystemLoaderClock : public ILoaderClock {
 public:
  void Sleep(std::uint32_t ms) override;
  std::uint64_t NowMs() const override;
};

// Where a loader reports. Loader worker thread: each call returns once the dialog has taken
// the line or the percentage.
class ILoaderReport {
 public:
  virtual ~ILoaderReport() = default;
  // A log line: added as the last line, or put in place of the last line.
  virtual void LogLine(const std::string& text, bool replaceLast) = 0;
  // Load progress, 0 to 100.
  virtual void Progress(int percent) = 0;
};

// One load: the unit found by the scan and the files the user chose.
struct CLoaderJob {
  std::uint32_t connectedPort = 0;
  std::uint8_t deviceType = 0;
  std::string firmwarePath;
  // The type code of the unit the firmware file was chosen for; 0 when not known.
  std::uint8_t firmwareFor = 0;
  std::string presetPath;
  // The folder of the automatically chosen firmware files and of "Orvak.ini", with a trailing
  // separator; empty means the program's own folder.
  std::string programFolder;
};

// Everything a loader needs for one call.
struct CLoaderContext {
  const CLoaderJob& job;
  ILoaderClock& clock;
  ILoaderReport& report;
};
