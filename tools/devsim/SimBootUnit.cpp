// Simulated units in their normal firmware and in their boot loaders.
#include "tools/devsim/SimBootUnit.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::uint64_t kMs = 1000;
// How long a unit takes to answer a request, and the boot loaders' own pauses.
constexpr std::uint64_t kAnswerDelayUs = 1 * kMs;
constexpr std::uint64_t kRebootUs = 2500 * kMs;

std::uint8_t Sum7(const std::uint8_t* data, std::size_t n) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += data[i];
  return std::uint8_t(sum & 0x7F);
}

// A framed reply: the bytes given, then their seven-bit sum.
SimBootBytes Framed(SimBootBytes bytes) {
  bytes.push_back(Sum7(bytes.data(), bytes.size()));
  return bytes;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Printable text of the given length, as boot loaders print their banners.
SimBootBytes Banner(const char* text, std::size_t length) {
  SimBootBytes bytes(length, ' ');
  for (std::size_t i = 0; i < length && text[i] != 0; ++i) bytes[i] = std::uint8_t(text[i]);
  if (length >= 2) {
    bytes[length - 2] = '\r';
    bytes[length - 1] = '\n';
  }
  return bytes;
}

}  // namespace

std::uint64_t SimByteTimeUs(std::uint32_t baud) { return baud == 0 ? 0 : 10000000ull / baud; }

CSimBootUnit::CSimBootUnit(Family family, std::uint8_t typeCode) : m_family(family), m_type(typeCode) {}

void CSimBootUnit::SetHardwareCode(const std::array<std::uint8_t, 4>& code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_hardwareCode = code;
}

void CSimBootUnit::SetLongId(std::uint32_t id) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_longId = id & 0x7F7F7F7Fu;
}

void CSimBootUnit::SetUnitCode(const std::array<std::uint8_t, 6>& code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_unitCode = code;
}

void CSimBootUnit::StartInBootLoader() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_mode = Mode::kBootLoader;
  m_bootState = BootState::kIdle;
}

void CSimBootUnit::SetSilent(bool silent) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_silent = silent;
}

void CSimBootUnit::FallSilentAfter(std::size_t count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_silentAfter = count;
}

void CSimBootUnit::FallSilentAt(std::size_t taken) {
  if (m_silentAfter == 0 || taken < m_silentAfter) return;
  m_silent = true;
  m_pending.clear();
}

void CSimBootUnit::SetRefuseBoot(bool refuse) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_refuseBoot = refuse;
}

void CSimBootUnit::RefuseRecord(std::size_t index) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_refusedRecords[index] = true;
}

void CSimBootUnit::FailBlock(std::size_t index) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failedBlocks[index] = true;
}

void CSimBootUnit::SetNeverReboots(bool never) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_neverReboots = never;
}

std::uint32_t CSimBootUnit::NormalBaud() const {
  return m_family == Family::kZel || m_family == Family::kSornic ? 57600 : 115200;
}

std::uint32_t CSimBootUnit::BootBaud() const {
  switch (m_family) {
    case Family::kSornic: return 57600;
    case Family::kProcessor: return 115200;
    default: return 9600;
  }
}

void CSimBootUnit::SetBannerLength(std::size_t length) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bannerLength = length;
}

void CSimBootUnit::SetRecordAnswerDelays(std::vector<std::uint32_t> delaysMs) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_recordDelaysMs = std::move(delaysMs);
}

void CSimBootUnit::UpdateMode(std::uint64_t nowUs) {
  if (m_mode == Mode::kRebooting && nowUs >= m_rebootDoneUs) {
    m_mode = Mode::kNormal;
    m_bootState = BootState::kIdle;
  }
}

CSimBootUnit::Mode CSimBootUnit::GetMode(std::uint64_t nowUs) {
  std::lock_guard<std::mutex> lock(m_mutex);
  UpdateMode(nowUs);
  return m_mode;
}

void CSimBootUnit::Send(const SimBootBytes& bytes, std::uint64_t startUs, std::uint32_t baud,
                        std::vector<SimBootByte>& out) {
  const std::uint64_t byteTime = SimByteTimeUs(baud);
  for (std::size_t i = 0; i < bytes.size(); ++i) out.push_back({startUs + (i + 1) * byteTime, bytes[i], baud});
}

void CSimBootUnit::Receive(const std::uint8_t* data, std::size_t n, std::uint32_t portBaud, std::uint64_t nowUs,
                           std::vector<SimBootByte>& out) {
  std::lock_guard<std::mutex> lock(m_mutex);
  UpdateMode(nowUs);
  if (m_silent || m_mode == Mode::kRebooting) return;
  const std::uint32_t listening = m_mode == Mode::kNormal ? NormalBaud() : BootBaud();
  if (portBaud != 0 && portBaud != listening) {
    m_pending.clear();
    return;
  }
  m_pending.insert(m_pending.end(), data, data + n);
  for (;;) {
    const bool took = m_mode == Mode::kNormal ? TakeNormal(nowUs, out)
                      : m_family == Family::kProcessor ? TakeProcessorBlock(nowUs, out)
                                                        : TakeBootLoader(nowUs, out);
    if (!took) break;
  }
}

bool CSimBootUnit::TakeNormal(std::uint64_t nowUs, std::vector<SimBootByte>& out) {
  if (m_pending.empty() || m_mode != Mode::kNormal) return false;
  const bool longId = m_family == Family::kZel || m_family == Family::kSornic;
  std::size_t need = 0;
  switch (m_pending[0]) {
    case 0xE0: need = longId ? 5 : 2; break;
    case 0xBF: need = 5; break;
    case 0xB0: need = 2; break;
    case 0xF0:
    case 0xF1:
      if (m_pending.size() < 3) return false;
      need = std::size_t(m_pending[1]) * 128 + m_pending[2] + 1;
      break;
    default:
      m_pending.erase(m_pending.begin());  // noise
      return true;
  }
  if (m_pending.size() < need) return false;
  const SimBootBytes frame(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(need));
  m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(need));
  HandleNormalFrame(frame, nowUs, out);
  return true;
}

void CSimBootUnit::HandleNormalFrame(const SimBootBytes& f, std::uint64_t nowUs, std::vector<SimBootByte>& out) {
  const std::uint64_t at = nowUs + kAnswerDelayUs;
  const std::uint32_t baud = NormalBaud();
  const std::uint8_t id[4] = {std::uint8_t(m_longId >> 24), std::uint8_t(m_longId >> 16), std::uint8_t(m_longId >> 8),
                              std::uint8_t(m_longId)};
  const bool longId = m_family == Family::kZel || m_family == Family::kSornic;
  switch (f[0]) {
    case 0xE0:
      if (!longId && f[1] == 0x01) {
        const auto& h = m_hardwareCode;
        Send(Framed({0xE8, 0x00, 0x09, 0x01, m_type, h[0], h[1], h[2], h[3]}), at, baud, out);
      } else if (longId && std::equal(id, id + 4, f.begin() + 1)) {
        SimBootBytes reply{0xE8, 0x00, 0x0E, id[0], id[1], id[2], id[3], m_type};
        reply.insert(reply.end(), m_unitCode.begin(), m_unitCode.end());
        Send(Framed(reply), at, baud, out);
      }
      return;
    case 0xBF:
      if (longId && f[1] == 0 && f[2] == 0 && f[3] == 0 && f[4] == 0) {
        SimBootBytes reply{0xB8, 0x00, 0x17, id[0], id[1], id[2], id[3]};
        reply.resize(23, 0x00);
        reply[7] = m_type;
        Send(Framed(reply), at, baud, out);
      }
      return;
    case 0xB0:
      if (m_family == Family::kProcessor && f[1] == 0x01) {
        SimBootBytes reply{0xB8, 0x00, 0x14, 0x01, m_type};
        reply.resize(20, 0x00);
        Send(Framed(reply), at, baud, out);
      }
      return;
    default: break;
  }
  // F0 / F1 frames: the seven-bit sum must hold.
  if (f.size() < 4 || f.back() != Sum7(f.data(), f.size() - 1) || f[3] != m_type) return;
  const auto ack = [&](std::uint8_t byte) { Send({byte}, at, baud, out); };
  switch (m_family) {
    case Family::kAmpModule:
      if (f.size() == 11 && f[0] == 0xF0 && f[4] == 0x01 && f[5] == 0x0D && f[6] == 0x15 && f[7] == 'Z' &&
          f[8] == 'Y' && f[9] == 'R') {
        EnterBootLoader(nowUs, out);
      } else if (f[0] == 0xF1 && f.size() == 9 && f[6] == 0x13 && f[7] >= 1 && f[7] <= 10) {
        m_presets[f[7] - 1].clear();
        ++m_presetClears;
        ack(0xA0);
      } else if (f[0] == 0xF1 && f.size() == 48 && f[6] == 0x14) {
        m_presetName.assign(f.begin() + 7, f.begin() + 47);
        ack(0xA0);
      } else if (f[0] == 0xF1 && f.size() >= 9 && f[6] == 0x12 && f[7] >= 1 && f[7] <= 10) {
        m_presets[f[7] - 1] = f;
        ack(0xA0);
      }
      return;
    case Family::kZel:
    case Family::kSornic:
      if (f.size() == 14 && f[0] == 0xF0 && std::equal(id, id + 4, f.begin() + 4) && f[8] == 0x00 && f[9] == 0x15 &&
          f[10] == 'Q' && f[11] == 'O' && f[12] == 'L') {
        EnterBootLoader(nowUs, out);
      }
      return;
    case Family::kProcessor:
      if (f.size() == 8 && f[0] == 0xF0 && f[4] == 0x01 && f[5] == 0x2A && f[6] == 0x2C) EnterBootLoader(nowUs, out);
      return;
  }
}

void CSimBootUnit::EnterBootLoader(std::uint64_t nowUs, std::vector<SimBootByte>& out) {
  if (m_refuseBoot) return;
  ++m_bootCommands;
  m_mode = Mode::kBootLoader;
  m_pending.clear();
  m_line.clear();
  switch (m_family) {
    case Family::kAmpModule: SendBanner(nowUs + 300 * kMs, out); break;
    case Family::kZel: SendBanner(nowUs + 1000 * kMs, out); break;
    case Family::kSornic: SendBanner(nowUs + 800 * kMs, out); break;
    case Family::kProcessor:
      m_bootState = BootState::kReceiving;
      m_blocks = 0;
      m_image.clear();
      m_complete = false;
      Send({0xFA}, nowUs + 500 * kMs, BootBaud(), out);
      break;
  }
}

void CSimBootUnit::SendBanner(std::uint64_t atUs, std::vector<SimBootByte>& out) {
  m_bootState = BootState::kReady;
  const std::size_t length = m_bannerLength != 0 ? m_bannerLength : m_family == Family::kAmpModule ? 69 : 61;
  Send(Banner("Boot loader ready - send y to erase and load", length), atUs, BootBaud(), out);
}

bool CSimBootUnit::TakeBootLoader(std::uint64_t nowUs, std::vector<SimBootByte>& out) {
  if (m_pending.empty()) return false;
  const std::uint8_t byte = m_pending.front();
  m_pending.erase(m_pending.begin());
  switch (m_bootState) {
    case BootState::kIdle:
    case BootState::kReady:
      if (byte == '1' && m_family == Family::kAmpModule) {
        SendBanner(nowUs + 300 * kMs, out);
      } else if (byte == 'y' && m_bootState == BootState::kReady) {
        ++m_erases;
        m_image.clear();
        m_addressBase = 0;
        m_records = 0;
        m_complete = false;
        m_line.clear();
        m_bootState = BootState::kReceiving;
        const bool amp = m_family == Family::kAmpModule;
        Send(Banner("Erased", amp ? 20 : 16), nowUs + (amp ? 1000 : 2000) * kMs, BootBaud(), out);
      }
      return true;
    case BootState::kReceiving:
      m_line += char(byte);
      if (byte == '\n' || m_line.size() > 600) {
        const std::string line = std::move(m_line);
        m_line.clear();
        HandleRecord(line, nowUs, out);
      }
      return true;
    case BootState::kDone: return true;
  }
  return true;
}

void CSimBootUnit::HandleRecord(const std::string& line, std::uint64_t nowUs, std::vector<SimBootByte>& out) {
  const bool amp = m_family == Family::kAmpModule;
  const std::uint64_t at =
      nowUs + (m_recordDelaysMs.empty() ? kAnswerDelayUs
                                        : m_recordDelaysMs[m_recordAnswers++ % m_recordDelaysMs.size()] * kMs);
  // Decodes and checks the record: ":" n, address, type, data, checksum, CR LF.
  SimBootBytes bytes;
  bool valid = line.size() >= 13 && line[0] == ':' && line.compare(line.size() - 2, 2, "\r\n") == 0 &&
               (line.size() - 3) % 2 == 0;
  for (std::size_t i = 1; valid && i + 2 < line.size(); i += 2) {
    const int high = HexDigit(line[i]);
    const int low = HexDigit(line[i + 1]);
    if (high < 0 || low < 0) valid = false;
    bytes.push_back(std::uint8_t(high * 16 + low));
  }
  if (valid) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    valid = bytes.size() == std::size_t(bytes[0]) + 5 && (sum & 0xFF) == 0;
  }
  const std::size_t index = m_records;
  auto refused = m_refusedRecords.find(index);
  if (valid && refused != m_refusedRecords.end() && refused->second) {
    refused->second = false;
    valid = false;
  }
  if (!valid) {
    // The transfer ends here: the amplifier module says so and waits for "1" again; the other
    // boot loaders stay in place and never restart.
    if (amp) Send({'!'}, at, BootBaud(), out);
    m_pending.clear();
    m_bootState = amp ? BootState::kIdle : BootState::kDone;
    return;
  }
  ++m_records;
  const std::uint32_t address = std::uint32_t(bytes[1]) << 8 | bytes[2];
  const std::uint8_t type = bytes[3];
  const std::uint8_t* data = bytes.data() + 4;
  if (type == 0x00) {
    for (std::size_t i = 0; i < bytes[0]; ++i) m_image[m_addressBase + address + std::uint32_t(i)] = data[i];
  } else if (type == 0x02 && bytes[0] == 2) {
    m_addressBase = (std::uint32_t(data[0]) << 8 | data[1]) << 4;
  } else if (type == 0x04 && bytes[0] == 2) {
    m_addressBase = (std::uint32_t(data[0]) << 8 | data[1]) << 16;
  }
  if (amp) Send({'_'}, at, BootBaud(), out);
  if (type == 0x01) {
    m_complete = true;
    Reboot(nowUs);
  }
  FallSilentAt(m_records);
}

bool CSimBootUnit::TakeProcessorBlock(std::uint64_t nowUs, std::vector<SimBootByte>& out) {
  if (m_pending.empty() || m_bootState == BootState::kDone) return false;
  if (m_pending[0] != 0xF0) {
    m_pending.erase(m_pending.begin());
    return true;
  }
  if (m_pending.size() < 133) return false;
  const SimBootBytes f(m_pending.begin(), m_pending.begin() + 133);
  m_pending.erase(m_pending.begin(), m_pending.begin() + 133);
  std::uint32_t sum = 0;
  for (std::size_t i = 1; i < 132; ++i) sum += f[i];
  const std::uint32_t address = std::uint32_t(f[1]) << 16 | std::uint32_t(f[2]) << 8 | f[3];
  const std::uint64_t at = nowUs + kAnswerDelayUs;
  if (address == 0xFFFFFF) {
    m_endBlock.assign(f.begin() + 4, f.begin() + 132);
    m_complete = true;
    Reboot(nowUs);
    return true;
  }
  const std::size_t index = m_blocks++;
  auto failed = m_failedBlocks.find(index);
  bool good = (sum & 0xFF) == f[132];
  if (good && failed != m_failedBlocks.end() && failed->second) {
    failed->second = false;
    good = false;
  }
  if (good) {
    for (std::size_t i = 0; i < 128; ++i) m_image[address + std::uint32_t(i)] = f[4 + i];
  }
  Send({std::uint8_t(good ? 0xFA : 0xFE)}, at, BootBaud(), out);
  FallSilentAt(m_blocks);
  return true;
}

void CSimBootUnit::Reboot(std::uint64_t nowUs) {
  m_pending.clear();
  if (m_neverReboots) {
    m_bootState = BootState::kDone;
    return;
  }
  m_mode = Mode::kRebooting;
  m_rebootDoneUs = nowUs + kRebootUs;
}

std::map<std::uint32_t, std::uint8_t> CSimBootUnit::Image() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_image;
}

SimBootBytes CSimBootUnit::ImageBytes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_image.empty()) return {};
  SimBootBytes bytes(std::size_t(m_image.rbegin()->first) + 1, 0xFF);
  for (const auto& [address, value] : m_image) bytes[address] = value;
  return bytes;
}

bool CSimBootUnit::IsComplete() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_complete;
}

std::size_t CSimBootUnit::BootCommands() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bootCommands;
}

std::size_t CSimBootUnit::Erases() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_erases;
}

std::size_t CSimBootUnit::RecordsTaken() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_records;
}

std::size_t CSimBootUnit::BlocksTaken() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_blocks;
}

SimBootBytes CSimBootUnit::EndBlock() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_endBlock;
}

std::array<SimBootBytes, 10> CSimBootUnit::Presets() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_presets;
}

std::size_t CSimBootUnit::PresetClears() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_presetClears;
}

std::string CSimBootUnit::PresetName() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_presetName;
}

namespace {

void AppendRecord(SimBootBytes& out, std::uint8_t type, std::uint16_t address, const std::uint8_t* data, std::size_t n,
                  bool lowerCase) {
  std::uint32_t sum = std::uint32_t(n) + (address >> 8) + (address & 0xFF) + type;
  std::string text = ":";
  char hex[3];
  const char* format = lowerCase ? "%02x" : "%02X";
  auto put = [&](std::uint8_t byte) {
    std::snprintf(hex, sizeof hex, format, byte);
    text += hex;
  };
  put(std::uint8_t(n));
  put(std::uint8_t(address >> 8));
  put(std::uint8_t(address));
  put(type);
  for (std::size_t i = 0; i < n; ++i) {
    put(data[i]);
    sum += data[i];
  }
  put(std::uint8_t(-sum));
  text += "\r\n";
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

SimBootBytes MakeIntelHex(const SimBootBytes& data, bool lowerCase) {
  SimBootBytes out;
  for (std::size_t at = 0; at < data.size(); at += 16) {
    if (at != 0 && at % 0x10000 == 0) {
      const std::uint8_t upper[2] = {std::uint8_t(at >> 24), std::uint8_t(at >> 16)};
      AppendRecord(out, 0x04, 0, upper, 2, lowerCase);
    }
    const std::size_t n = std::min<std::size_t>(16, data.size() - at);
    AppendRecord(out, 0x00, std::uint16_t(at), data.data() + at, n, lowerCase);
  }
  AppendRecord(out, 0x01, 0, nullptr, 0, lowerCase);
  return out;
}

