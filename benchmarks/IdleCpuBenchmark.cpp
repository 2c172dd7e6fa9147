// The application resting online: its main frame (comms worker, UI timers, System Monitor shown,
// offscreen) with 16 Nerex48 processors served by orvak-devsim, a process of its own, on a
// pseudo-terminal at 57600 baud. Once every unit is read out, the event loop runs for the given
// number of seconds. cpu_share is this process's CPU time over that time, a share of one core
// (goal: below 0.05); bus_share is the share of the wire the simulator's bytes kept busy in the
// same time (the units' answers, ten bits a byte), so that a quiet bus cannot pass for a frugal
// program; cpu_us_per_request is the CPU spent per request sent; ui_share is the UI thread's part
// of cpu_share (the rest is mostly the comms worker, which also waits for the replies' bytes).
// Offline, the frame with a file of 1,000 or 5,000 processors open and nothing to do: the same
// cpu_share (goal: below 0.01 at both sizes, so that a large rack costs no more at rest).
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "benchmarks/BenchmarkMain.h"
#include "benchmarks/ProcessorRack.h"
#include "core/model/Device.h"
#include "core/system/System.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "panels/PanelClasses.h"
#include "platform/AppPaths.h"
#include "platform/SerialPort.h"
#include "platform/Sync.h"
#include "platform/SettingsStore.h"
#include "tests/app/FakePrompts.h"
#include "tests/support/ModelChanges.h"

extern char** environ;

namespace {

constexpr std::uint32_t kComPort = 29;
constexpr std::uint32_t kBaud = 57600;
constexpr int kUnits = 16;
constexpr int kNerex48 = 120;
constexpr double kGoal = 0.05;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Bytes the process has read and written through system calls (/proc/PID/io).
std::pair<std::uint64_t, std::uint64_t> ProcessIo(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  std::uint64_t value = 0, read = 0, written = 0;
  while (io >> key >> value) {
    if (key == "rchar:") read = value;
    if (key == "wchar:") written = value;
  }
  return {read, written};
}

// CPU seconds of the UI thread (the main thread).
double UiThreadCpuSeconds() {
  std::ifstream in("/proc/self/task/" + std::to_string(getpid()) + "/stat");
  std::string line;
  std::getline(in, line);
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(line.substr(close + 2));
  const std::vector<std::string> fields{std::istream_iterator<std::string>(rest), std::istream_iterator<std::string>()};
  if (fields.size() < 13) return 0;
  return (std::stod(fields[11]) + std::stod(fields[12])) / double(sysconf(_SC_CLK_TCK));
}

// orvak-devsim beside this program, serving the units on a pseudo-terminal linked as the port;
// it finds the ports folder through XDG_DATA_HOME, set to this run's data root.
class CSimulatorProcess {
 public:
  bool Start() {
    const std::string program = GetExecutableFolder() + "orvak-devsim";
    std::vector<std::string> args{program, "--com", std::to_string(kComPort), "--baud", std::to_string(kBaud)};
    for (int id = 1; id <= kUnits; ++id) {
      args.push_back("--processor");
      args.push_back(std::to_string(kNerex48) + ":" + std::to_string(id));
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env{"XDG_DATA_HOME=" + GetUserDataRoot()};
    for (char** e = environ; *e; ++e) {
      if (std::string(*e).rfind("XDG_DATA_HOME=", 0) != 0) env.push_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      m_pid = -1;
      return false;
    }
    // Ready once its link to the terminal is in place.
    const auto link = std::filesystem::path(GetComPortLinkFolder()) / ("com" + std::to_string(kComPort));
    for (int i = 0; i < 500; ++i) {
      std::error_code ec;
      if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, ec))) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  ~CSimulatorProcess() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
  }
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
};

// A system file of the 16 processors that goes online on open, reading the units.
std::string WriteSystemFile() {
  CSystem system;
  for (int id = 1; id <= kUnits; ++id) {
    CDevice* device = system.CreateDevice(std::uint32_t(id), kNerex48, 0);
    NameDevice(device, "Unit " + std::to_string(id));
    system.AppendDevice(device);
  }
  const std::string path = GetUserDataRoot() + "/idle.ovd";
  return system.File().SaveFile(path) ? path : std::string();
}

// Runs the event loop as the application does, for ms.
void RunEventLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    RunEventLoop(50);
  }
  return true;
}

void BM_IdleOnlineWith16Processors(benchmark::State& state) {
  RegisterProcessorFamily();
  RegisterDevicePanelClasses();
  CSimulatorProcess simulator;
  if (!simulator.Start()) {
    state.SkipWithError("cannot start orvak-devsim beside the benchmark");
    return;
  }
  const std::string file = WriteSystemFile();
  CSettingsStore::WriteInt("Settings", "ComPort", int(kComPort));
  CSettingsStore::WriteInt("Settings", "BaudRate", int(kBaud));
  CRecentFileList recent;
  CFakePrompts prompts;
  prompts.goOnlineChoice = 0;  // read the units
  auto frame = std::make_unique<CMainFrame>(recent);
  frame->SetUserPrompts(&prompts);
  if (file.empty() || !frame->OnCreate()) {
    state.SkipWithError("cannot make the system file or the main frame");
    return;
  }
  frame->RestoreDocking();
  frame->show();
  CSystem& system = frame->GetSystem();
  if (!frame->Files().OpenFilePath(file)) {
    state.SkipWithError("cannot open the system file");
    return;
  }
  if (!frame->IsOnline()) frame->RunCommand(Cmd::kOnline);
  auto readOut = [&] {
    CSingleLock lock(system.GetLock());
    if (system.GetDeviceCount() != kUnits) return false;
    for (int i = 0; i < kUnits; ++i) {
      auto* device = dynamic_cast<CNerexSeriesDevice*>(system.GetDevice(i));
      if (!device || !device->IsConnected() || !device->AllBlocksReceived()) return false;
    }
    return true;
  };
  if (!frame->IsOnline() || !WaitFor(readOut, 120000)) {
    state.SkipWithError("the units were not read out");
    return;
  }
  RunEventLoop(2000);  // settled: meters and status on their schedule

  const int seconds = int(state.range(0));
  double cpu = 0, wall = 0, replyBytes = 0, requests = 0, ui = 0;
  for (auto _ : state) {
    const auto ioBefore = ProcessIo(simulator.Pid());
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const double uiBefore = UiThreadCpuSeconds();
    RunEventLoop(seconds * 1000);
    ui += UiThreadCpuSeconds() - uiBefore;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += CpuSeconds() - cpuBefore;
    const auto ioAfter = ProcessIo(simulator.Pid());
    // The simulator writes the units' answers, paced as the line would carry them; it reads the
    // requests, which the terminal delivers at once (8 bytes for a meter or status read).
    replyBytes += double(ioAfter.second - ioBefore.second);
    requests += double(ioAfter.first - ioBefore.first) / 8.0;
  }
  state.counters["cpu_share"] = cpu / wall;
  state.counters["goal_share"] = kGoal;
  state.counters["ui_share"] = ui / wall;
  state.counters["monitor_shown"] = system.IsSystemMonitorVisible() ? 1 : 0;
  state.counters["bus_share"] = replyBytes / (kBaud / 10.0) / wall;
  state.counters["cpu_us_per_request"] = cpu * 1e6 / std::max(1.0, requests);
  frame->RunCommand(Cmd::kOnline);  // offline
  system.SetModified(false);
  frame.reset();
}

// The frame offline with a file of as many processors open (System Monitor shown), at rest for
// the given seconds: its blink timer and whatever else runs while nobody does anything.
void BM_IdleOfflineWithManyProcessors(benchmark::State& state) {
  constexpr double kOfflineGoal = 0.01;
  const int units = int(state.range(0));
  const std::string file = GetAppDataFolder() + "rack-" + std::to_string(units) + ".ovd";
  {
    CSystem system;
    processor_rack::Populate(system, units, 0);
    if (!system.File().SaveFile(file)) {
      state.SkipWithError("cannot make the system file");
      return;
    }
  }
  RegisterDevicePanelClasses();
  CRecentFileList recent;
  CFakePrompts prompts;
  auto frame = std::make_unique<CMainFrame>(recent);
  frame->SetUserPrompts(&prompts);
  if (!frame->OnCreate()) {
    state.SkipWithError("cannot make the main frame");
    return;
  }
  frame->RestoreDocking();
  frame->show();
  if (!frame->Files().OpenFilePath(file)) {
    state.SkipWithError("cannot open the system file");
    return;
  }
  RunEventLoop(2000);  // settled: the first draws and layouts are done
  const int seconds = int(state.range(1));
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    RunEventLoop(seconds * 1000);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += CpuSeconds() - cpuBefore;
  }
  state.counters["cpu_share"] = cpu / wall;
  state.counters["goal_share"] = kOfflineGoal;
  state.counters["monitor_shown"] = frame->GetSystem().IsSystemMonitorVisible() ? 1 : 0;
  frame->GetSystem().SetModified(false);
  frame.reset();
  std::filesystem::remove(file);
}

}  // namespace

BENCHMARK(BM_IdleOfflineWithManyProcessors)
    ->ArgNames({"units", "seconds"})
    ->Args({1000, 10})
    ->Args({5000, 10})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_IdleOnlineWith16Processors)->Arg(20)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
  // No display needed: the frame is drawn offscreen unless a platform is chosen.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return RunBenchmarks<QApplication>(argc, argv);
}
