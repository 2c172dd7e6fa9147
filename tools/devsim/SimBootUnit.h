// A unit as its firmware loader meets it: the normal firmware's answers to the loader's scan
// probes and boot command, and the boot loader of each family (amplifier module, Zel, Sornic,
// processor), which checks every record or block it takes and keeps the image it was sent.
// The unit works on a byte stream with time stamps, so that one model serves a line with a
// clock of its own (tests) and a pseudo-terminal in real time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

using SimBootBytes = std::vector<std::uint8_t>;

// One byte the unit sends: when it has fully arrived at the far end (microseconds of the
// line's clock) and the baud rate it was sent at.
struct SimBootByte {
  std::uint64_t atUs;
  std::uint8_t value;
  std::uint32_t baud;
};

// Intel HEX text of the data from address 0: records of up to 16 bytes with CR LF line ends,
// an extended linear address record at each 64 KiB, then the end record.
SimBootBytes MakeIntelHex(const SimBootBytes& data, bool lowerCase = false);

// Ten bits a byte.
std::uint64_t SimByteTimeUs(std::uint32_t baud);

class CSimBootUnit {
 public:
  enum class Family { kAmpModule, kZel, kSornic, kProcessor };
  enum class Mode { kNormal, kBootLoader, kRebooting };

  CSimBootUnit(Family family, std::uint8_t typeCode);

  // Set-up, before the unit is used.
  void SetHardwareCode(const std::array<std::uint8_t, 4>& code);  // bytes 5 to 8 of the short type reply
  void SetLongId(std::uint32_t id);                              // seven-bit bytes
  void SetUnitCode(const std::array<std::uint8_t, 6>& code);      // bytes 8 to 13 of the type reply by long ID
  // The unit sits in its boot loader already (an amplifier module then waits for "1").
  void StartInBootLoader();

  // Faults. A silent unit answers nothing at all; one that refuses its boot command stays in
  // its normal firmware; a refused record (counted from 0 over all records the boot loader
  // took since the last erase) is answered with "!" and ends the transfer, once; a failed
  // block (processor, counted from 0) is answered with FE instead of FA, once; a unit that
  // never reboots stays silent after its transfer.
  void SetSilent(bool silent);
  // The unit falls silent for good once its boot loader has taken and answered count records
  // (blocks on a processor) since the erase: it lost power or its cable in the transfer. 0: never.
  void FallSilentAfter(std::size_t count);
  void SetRefuseBoot(bool refuse);
  void RefuseRecord(std::size_t index);
  void FailBlock(std::size_t index);
  void SetNeverReboots(bool never);
  // The boot loader's banner is this long instead of its usual 69 (amplifier module) or 61 bytes.
  void SetBannerLength(std::size_t length);
  // The amplifier module's boot loader answers each record this many ms after it instead of at
  // once, taking the delays in turn (a slow unit: its answer comes after the loader stopped
  // waiting for it).
  void SetRecordAnswerDelays(std::vector<std::uint32_t> delaysMs);

  // The bytes the program sent, fully arrived at nowUs on a line the program runs at portBaud;
  // what the unit sends back is appended to out. Bytes at a baud rate the unit is not
  // listening at are noise to it; portBaud 0 (a line that cannot tell in time) is taken as the
  // rate the unit listens at. Thread-safe.
  void Receive(const std::uint8_t* data, std::size_t n, std::uint32_t portBaud, std::uint64_t nowUs,
               std::vector<SimBootByte>& out);

  // What the unit holds; thread-safe.
  Mode GetMode(std::uint64_t nowUs);
  std::uint8_t GetTypeCode() const { return m_type; }
  // The image as written since the last erase: address -> byte.
  std::map<std::uint32_t, std::uint8_t> Image() const;
  // The bytes from address 0 up to the highest written one, unwritten ones FF.
  SimBootBytes ImageBytes() const;
  // True once a transfer ended with the end record or end block.
  bool IsComplete() const;
  std::size_t BootCommands() const;
  std::size_t Erases() const;
  std::size_t RecordsTaken() const;
  std::size_t BlocksTaken() const;
  SimBootBytes EndBlock() const;
  // Preset slots 1 to 10 (index 0 to 9): the store frame last written, empty when cleared
  // or never written.
  std::array<SimBootBytes, 10> Presets() const;
  std::size_t PresetClears() const;
  std::string PresetName() const;

 private:
  enum class BootState { kIdle, kReady, kReceiving, kDone };

  std::uint32_t NormalBaud() const;
  std::uint32_t BootBaud() const;
  void UpdateMode(std::uint64_t nowUs);
  void Send(const SimBootBytes& bytes, std::uint64_t startUs, std::uint32_t baud, std::vector<SimBootByte>& out);
  // Parse what is pending; each returns false when more bytes are needed.
  bool TakeNormal(std::uint64_t nowUs, std::vector<SimBootByte>& out);
  void HandleNormalFrame(const SimBootBytes& frame, std::uint64_t nowUs, std::vector<SimBootByte>& out);
  bool TakeBootLoader(std::uint64_t nowUs, std::vector<SimBootByte>& out);
  bool TakeProcessorBlock(std::uint64_t nowUs, std::vector<SimBootByte>& out);
  void HandleRecord(const std::string& line, std::uint64_t nowUs, std::vector<SimBootByte>& out);
  void EnterBootLoader(std::uint64_t nowUs, std::vector<SimBootByte>& out);
  void SendBanner(std::uint64_t atUs, std::vector<SimBootByte>& out);
  void Reboot(std::uint64_t nowUs);
  // After the record or block numbered taken: falls silent when FallSilentAfter says so.
  void FallSilentAt(std::size_t taken);

  mutable std::mutex m_mutex;
  const Family m_family;
  const std::uint8_t m_type;
  std::array<std::uint8_t, 4> m_hardwareCode{0x12, 0x34, 0x56, 0x78};
  std::uint32_t m_longId = 0x01020304;
  std::array<std::uint8_t, 6> m_unitCode{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};

  bool m_silent = false;
  std::size_t m_silentAfter = 0;
  bool m_refuseBoot = false;
  bool m_neverReboots = false;
  std::size_t m_bannerLength = 0;
  std::vector<std::uint32_t> m_recordDelaysMs;
  std::size_t m_recordAnswers = 0;
  std::map<std::size_t, bool> m_refusedRecords;  // index -> still to refuse
  std::map<std::size_t, bool> m_failedBlocks;

  Mode m_mode = Mode::kNormal;
  BootState m_bootState = BootState::kIdle;
  std::uint64_t m_rebootDoneUs = 0;
  SimBootBytes m_pending;
  std::string m_line;

  std::map<std::uint32_t, std::uint8_t> m_image;
  std::uint32_t m_addressBase = 0;
  bool m_complete = false;
  std::size_t m_bootCommands = 0;
  std::size_t m_erases = 0;
  std::size_t m_records = 0;
  std::size_t m_blocks = 0;
  SimBootBytes m_endBlock;
  std::array<SimBootBytes, 10> m_presets;
  std::size_t m_presetClears = 0;
  std::string m_presetName;
};
