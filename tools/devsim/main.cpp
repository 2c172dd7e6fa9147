// orvak-devsim: serves simulated units on a pseudo-terminal that the program opens as COM<n>.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/SerialPort.h"
#include "tools/devsim/SimBootServer.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimOptions.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

// The usage goes to stdout when asked for with --help, else to stderr beside the error.
void Usage(std::FILE* out) {
  std::fprintf(out,
               "usage: orvak-devsim --com N [--baud B] [--unit ID]... [--reply CMD:LENGTH]...\n"
               "  Links com<N> in %s to a new pseudo-terminal and answers on it.\n"
               "  N is %u to %u, the ports that the program offers and scans.\n"
               "  --help             this text\n"
               "  --baud B           pace the answers at B baud (default 57600, 0 = no pacing)\n"
               "  --unit ID          a framed unit at device ID (default: one unit at ID 1)\n"
               "  --reply CMD:LENGTH every unit answers reads of command CMD with LENGTH bytes\n"
               "                     (default: command 62, 20 bytes)\n"
               "  --scan-unit TYPE:SHORT:LONG\n"
               "                     a unit that the autoscan finds: type code, short ID (0 none)\n"
               "                     and long ID (0 none; 0x... for hexadecimal)\n"
               "  --processor TYPE:ID[:VARIANT]  a processor unit of type code TYPE (16, 17,\n"
               "                     110 .. 121) at short ID ID, with the discovery variant\n"
               "  --secure-unit TYPE:ID[:NAME:PASSWORD]\n"
               "                     an amplifier (type 34 to 56, or 60) that keeps a user table,\n"
               "                     empty or with that one user, and answers the security step\n"
               "                     (a Zel unit, 34 to 47 or 51 to 56, also answers every read and write)\n"
               "  --zel-amp TYPE:ID[:NAME]\n"
               "                     a Zel amplifier of type code TYPE (51 to 56) at ID, named NAME,\n"
               "                     with an empty user table; an autoscan finds it by its short ID\n"
               "  --zel-break TYPE:ID[:NAME]\n"
               "                     a Zel breakout box of type code TYPE (34 to 47) at ID, named\n"
               "                     NAME, with an empty user table; an autoscan finds it by its short ID\n"
               "  --late-unit ID:MS  every answer of the units at device ID leaves MS ms late, while\n"
               "                     the other units answer meanwhile\n"
               "  --silent-unit ID:AFTER:FOR[:EVERY[:TIMES]]\n"
               "                     the units at device ID fall silent AFTER seconds after the start\n"
               "                     and answer again FOR seconds later (FOR 0: never); with EVERY\n"
               "                     (more than FOR) they fall silent again every EVERY seconds,\n"
               "                     TIMES silences in all (without TIMES: for as long as it runs)\n"
               "  --swap-unit ID:AFTER[:EVERY[:TIMES]]\n"
               "                     the units at device ID take turns: the first put on the bus\n"
               "                     (processors before Zel units) answers until AFTER seconds after\n"
               "                     the start, the others from then on; with EVERY each answers in\n"
               "                     turn for EVERY seconds, TIMES changes of turn in all (without\n"
               "                     TIMES: for as long as it runs)\n"
               "  --ack-loss PERCENT[:SEED]\n"
               "                     the ACK of each write is lost with this chance (the unit has\n"
               "                     taken the write); the same SEED (default 1) loses the same ACKs\n"
               "  --zel-state ID:AFTER:KEY=VALUE\n"
               "                     AFTER seconds after the start the Zel unit at ID reports VALUE:\n"
               "                     an amplifier's temp (degrees), protect (0, 1) or load-fault\n"
               "                     (a mask of channels: 1 the first, 15 all four), a breakout box's\n"
               "                     alarm or network (0, 1)\n"
               "  --boot-unit FAMILY:TYPE\n"
               "                     instead of the bus, one unit for the firmware loader: FAMILY\n"
               "                     amp, zel, sornic or processor, with its type code\n"
               "  --boot-silent-after N\n"
               "                     the boot-load unit falls silent after taking N records of a\n"
               "                     transfer (blocks on a processor)\n",
               GetComPortLinkFolder().c_str(), unsigned(kFirstComPort), unsigned(kLastComPort));
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    Usage(stdout);
    return 0;
  }
  SimOptions options;
  if (!ParseSimOptions(args, options) || options.com == 0) {
    Usage(stderr);
    return 2;
  }
  // A link the program never opens would serve nobody.
  if (options.com < kFirstComPort || options.com > kLastComPort) {
    std::fprintf(stderr, "orvak-devsim: --com %u: the program opens COM%u to COM%u only\n", unsigned(options.com),
                 unsigned(kFirstComPort), unsigned(kLastComPort));
    return 2;
  }
  std::unique_ptr<CSimBootUnit> bootUnit;
  if (!options.bootUnit.empty()) {
    bootUnit = MakeBootUnit(options.bootUnit);
    if (!bootUnit) {
      Usage(stderr);
      return 2;
    }
    bootUnit->FallSilentAfter(options.bootSilentAfter);
  }
  const std::uint32_t com = options.com;

  auto wire = std::make_unique<CPtyWire>();
  if (!wire->IsValid()) {
    std::fprintf(stderr, "orvak-devsim: cannot make a pseudo-terminal\n");
    return 1;
  }
  const std::string slave = wire->SlavePath();
  if (!LinkComPort(com, slave)) {
    std::fprintf(stderr, "orvak-devsim: cannot link com%u to %s\n", com, slave.c_str());
    return 1;
  }
  if (bootUnit) {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    auto portBaud = PtyPortBaud(*wire);
    CSimBootServer server(std::move(wire), *bootUnit, std::move(portBaud));
    server.Start();
    std::printf("orvak-devsim: COM%u -> %s (boot-load unit, type 0x%02X); Ctrl+C ends\n", com, slave.c_str(),
                bootUnit->GetTypeCode());
    std::fflush(stdout);
    while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.Stop();
    UnlinkComPort(com);
    return 0;
  }
  CSimBus bus(std::move(wire));
  const std::size_t units = AddSimUnits(options, bus);
  bus.SetPacing(options.baud);
  bus.Start();
  std::printf("orvak-devsim: COM%u -> %s (%zu unit(s), %u baud); Ctrl+C ends\n", com, slave.c_str(), units,
              options.baud);
  std::fflush(stdout);

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  bus.Stop();
  UnlinkComPort(com);
  return 0;
}
