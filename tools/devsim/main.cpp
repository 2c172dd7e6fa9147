// orvak-devsim: serves simulated units on a pseudo-terminal that the program opens as COM<n>.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/SerialPort.h"
#include "tools/devsim/SimBootServer.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimSecurityUnit.h"
#include "tools/devsim/SimDiscoveryUnit.h"
#include "devices/processor/NerexModelTable.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

void Usage() {
  std::fprintf(stderr,
               "usage: orvak-devsim --com N [--baud B] [--unit ID]... [--reply CMD:LENGTH]...\n"
               "  Links com<N> in %s to a new pseudo-terminal and answers on it.\n"
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
               "  --boot-unit FAMILY:TYPE\n"
               "                     instead of the bus, one unit for the firmware loader: FAMILY\n"
               "                     amp, zel, sornic or processor, with its type code\n",
               GetComPortLinkFolder().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t com = 0;
  std::uint32_t baud = 57600;
  std::vector<unsigned> ids;
  std::vector<std::pair<unsigned, unsigned>> replies;
  std::vector<SimDiscoveryConfig> scanUnits;
  struct Processor {
    unsigned type, id, variant;
  };
  std::vector<Processor> processors;
  std::vector<std::pair<SimSecurityConfig, std::vector<std::pair<std::string, std::string>>>> secureUnits;
  std::vector<std::pair<SimSecurityConfig, std::string>> zelUnits;
  std::unique_ptr<CSimBootUnit> bootUnit;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--com" && hasValue) {
      com = std::uint32_t(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--baud" && hasValue) {
      baud = std::uint32_t(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--unit" && hasValue) {
      ids.push_back(unsigned(std::strtoul(argv[++i], nullptr, 10)));
    } else if (arg == "--scan-unit" && hasValue) {
      char* end = nullptr;
      SimDiscoveryConfig config;
      config.typeCode = std::uint8_t(std::strtoul(argv[++i], &end, 0));
      if (*end == ':') config.shortId = std::uint32_t(std::strtoul(end + 1, &end, 0));
      if (*end == ':') config.longId = std::uint32_t(std::strtoul(end + 1, &end, 0));
      if (*end != 0 || config.shortId > 63 || (config.longId & 0x80808080u) != 0) {
        Usage();
        return 2;
      }
      scanUnits.push_back(config);
    } else if (arg == "--processor" && hasValue) {
      unsigned type = 0, id = 0, variant = 0;
      if (std::sscanf(argv[++i], "%u:%u:%u", &type, &id, &variant) < 2 || id < 1 || id > 63 ||
          GetInputCount(int(type)) == 0) {
        Usage();
        return 2;
      }
      processors.push_back({type, id, variant});
    } else if (arg == "--secure-unit" && hasValue) {
      char* end = nullptr;
      SimSecurityConfig config;
      config.typeCode = std::uint8_t(std::strtoul(argv[++i], &end, 0));
      if (*end != ':') {
        Usage();
        return 2;
      }
      config.deviceId = std::uint32_t(std::strtoul(end + 1, &end, 0));
      std::vector<std::pair<std::string, std::string>> users;
      if (*end == ':') {
        const std::string rest = end + 1;
        const std::size_t colon = rest.find(':');
        if (colon == std::string::npos) {
          Usage();
          return 2;
        }
        users.emplace_back(rest.substr(0, colon), rest.substr(colon + 1));
      } else if (*end != 0) {
        Usage();
        return 2;
      }
      secureUnits.emplace_back(config, users);
    } else if ((arg == "--zel-amp" || arg == "--zel-break") && hasValue) {
      const bool box = arg == "--zel-break";
      char* end = nullptr;
      SimSecurityConfig config;
      config.typeCode = std::uint8_t(std::strtoul(argv[++i], &end, 0));
      const bool known = box ? config.typeCode >= 34 && config.typeCode <= 47
                             : config.typeCode >= 51 && config.typeCode <= 56;
      if (*end != ':' || !known) {
        Usage();
        return 2;
      }
      config.deviceId = std::uint32_t(std::strtoul(end + 1, &end, 0));
      std::string name = box ? "Sim Breakout" : "Sim Amplifier";
      if (*end == ':')
        name = end + 1;
      else if (*end != 0) {
        Usage();
        return 2;
      }
      zelUnits.emplace_back(config, name);
    } else if (arg == "--boot-unit" && hasValue) {
      bootUnit = MakeBootUnit(argv[++i]);
      if (!bootUnit) {
        Usage();
        return 2;
      }
    } else if (arg == "--reply" && hasValue) {
      unsigned command = 0, length = 0;
      if (std::sscanf(argv[++i], "%u:%u", &command, &length) != 2 || length < 4 || length > 1024) {
        Usage();
        return 2;
      }
      replies.emplace_back(command, length);
    } else {
      Usage();
      return 2;
    }
  }
  if (com == 0) {
    Usage();
    return 2;
  }
  if (ids.empty() && processors.empty() && zelUnits.empty() && secureUnits.empty()) ids.push_back(1);
  if (replies.empty()) replies.emplace_back(62, 20);

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
    CSimBootServer server(std::move(wire), *bootUnit, PtyPortBaud(slave));
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
  for (unsigned id : ids) {
    auto* unit = bus.Add<CFramedUnit>(std::uint8_t(id));
    for (auto [command, length] : replies) unit->SetReplyLength(std::uint8_t(command), length);
  }
  for (const SimDiscoveryConfig& config : scanUnits) bus.Add<CSimDiscoveryUnit>(config);
  for (const Processor& p : processors) bus.Add<CSimProcessorUnit>(int(p.type), std::uint8_t(p.id), p.variant);
  for (const auto& [config, users] : secureUnits) {
    if (config.typeCode >= 51 && config.typeCode <= 56)
      bus.Add<CSimZelAmpUnit>(config)->SetUsers(users);
    else if (config.typeCode >= 34 && config.typeCode <= 47)
      bus.Add<CSimZelBreakUnit>(config)->SetUsers(users);
    else
      bus.Add<CSimSecurityUnit>(config)->SetUsers(users);
  }
  for (const auto& [config, name] : zelUnits) {
    if (config.typeCode >= 51) {
      bus.Add<CSimZelAmpUnit>(config)->Update([&](SimZelAmpState& state) { state.name = name; });
    } else {
      bus.Add<CSimZelBreakUnit>(config)->Update([&](SimZelBreakState& state) { state.name = name; });
    }
    // An autoscan by short IDs finds it.
    if (config.deviceId >= 1 && config.deviceId <= 63) {
      SimDiscoveryConfig discovery;
      discovery.typeCode = config.typeCode;
      discovery.shortId = config.deviceId;
      bus.Add<CSimDiscoveryUnit>(discovery);
    }
  }
  bus.SetPacing(baud);
  bus.Start();
  std::printf("orvak-devsim: COM%u -> %s (%zu unit(s), %u baud); Ctrl+C ends\n", com,
              slave.c_str(), ids.size() + processors.size() + secureUnits.size() + zelUnits.size(), baud);
  std::fflush(stdout);

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  bus.Stop();
  UnlinkComPort(com);
  return 0;
}
