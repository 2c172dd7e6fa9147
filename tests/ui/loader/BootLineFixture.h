// A simulated boot-load unit on COM3 for loader tests: the port factory hands out ports on its
// line, the loader's clock is the line's clock, and the report keeps the log as the dialog's
// list would show it.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/SerialPort.h"
#include "tools/devsim/SimBootLine.h"
#include "tools/devsim/SimBootUnit.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/LoaderContext.h"

// Waits move the line's clock: that of the line the test has attached now.
class CLineClock : public ILoaderClock {
 public:
  explicit CLineClock(const std::shared_ptr<CSimBootLine>& line) : m_line(line) {}
  void Sleep(std::uint32_t ms) override { m_line->AdvanceMs(ms); }
  std::uint64_t NowMs() const override { return m_line->NowUs() / 1000; }

 private:
  const std::shared_ptr<CSimBootLine>& m_line;
};

// The log as the dialog's list shows it (a replaced line takes the last line's place).
class CRecordingReport : public ILoaderReport {
 public:
  void LogLine(const std::string& text, bool replaceLast) override {
    if (replaceLast && !lines.empty()) lines.pop_back();
    lines.push_back(text);
  }
  void Progress(int percent) override { progress.push_back(percent); }

  std::vector<std::string> lines;
  std::vector<int> progress;
};

// COM3 is /dev/ttyUSB2 when no link names it.
constexpr std::uint32_t kTestPort = 3;

class BootLineTest : public ::testing::Test {
 protected:
  void TearDown() override { SetSerialPortFactoryForTests({}); }

  // A unit on COM3; one attached before is taken off (a dialog's clock follows the new line).
  CSimBootUnit& Attach(CSimBootUnit::Family family, std::uint8_t type) {
    SetSerialPortFactoryForTests({});
    m_line.reset();
    m_unit = std::make_unique<CSimBootUnit>(family, type);
    m_line = std::make_shared<CSimBootLine>(*m_unit, GetComPortDevice(kTestPort));
    if (!m_clock) m_clock = std::make_unique<CLineClock>(m_line);
    std::weak_ptr<CSimBootLine> line = m_line;
    SetSerialPortFactoryForTests([line]() -> std::unique_ptr<ISerialPort> { return line.lock()->CreatePort(); });
    m_job.connectedPort = kTestPort;
    m_job.deviceType = type;
    m_job.programFolder = m_folder.path().toStdString() + "/";
    return *m_unit;
  }

  CLoaderContext Context() { return CLoaderContext{m_job, *m_clock, m_report}; }

  std::string WriteFile(const std::string& name, const BootBytes& bytes) {
    const std::string path = m_folder.path().toStdString() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }

  // Every write the program made, as byte vectors.
  std::vector<SimBootBytes> Written() const {
    std::vector<SimBootBytes> writes;
    for (const auto& write : m_line->Writes()) writes.push_back(write.bytes);
    return writes;
  }
  bool WroteFrame(const BootBytes& frame) const {
    for (const auto& write : m_line->Writes()) {
      if (write.bytes == frame) return true;
    }
    return false;
  }

  QTemporaryDir m_folder;
  std::unique_ptr<CSimBootUnit> m_unit;
  std::shared_ptr<CSimBootLine> m_line;
  std::unique_ptr<CLineClock> m_clock;
  CRecordingReport m_report;
  CLoaderJob m_job;
};

inline BootBytes MakeHex(const SimBootBytes& data, bool lowerCase = false) { return MakeIntelHex(data, lowerCase); }
// Firmware data of the given size whose bytes at offset are the code twice in a row.
SimBootBytes FirmwareData(std::size_t size, const std::vector<std::uint8_t>& code, std::size_t offset);
// A file that opens with start, then bytes of an image up to size.
BootBytes Opening(const std::string& start, std::size_t size = 600);
inline BootBytes Text(const std::string& text) { return BootBytes(text.begin(), text.end()); }
