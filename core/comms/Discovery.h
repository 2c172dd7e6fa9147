// The autoscan, a pass the comms worker owns and runs in its autoscan state; what it needs of
// its dialog, what it leaves of the breakout boxes' block-received words, and its limits.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Types.h"

class CDevice;
class ICommsDocument;
class ICommsPassHost;

// The dialog that runs an autoscan. It hands itself and its running flag to the system
// (CSystem::SetAutoscanDialog); clearing the flag stops the scan before its next probe.
class IAutoscanDialog {
 public:
  virtual ~IAutoscanDialog() = default;
  // Worker thread: one progress line, such as "Searching for device ID 5". The dialog shows it
  // on the UI thread (it queues the text to itself); it must not wait for the UI here.
  virtual void OnStatusText(const std::string& text) = 0;
  // Worker thread: a found unit that was not added, and why, such as "ID 3: the file has a
  // Nerex24, the unit is a Nerex48". The dialog keeps every such line for the person to read.
  virtual void OnUnitNotAdded(const std::string& text) { (void)text; }
};

// After a scan the breakout boxes keep these bits of their block-received word
// (IBlockReceivedWord), so that the block of bit 21 (and bits 24 to 31) is read again.
inline constexpr std::uint32_t kBreakoutReadKeepMask = 0x00DFFFFF;

// Timing of the scan, ms.
inline constexpr std::uint32_t kScanProbeExtraTimeoutMs = 50;
inline constexpr std::uint32_t kScanCheckExtraTimeoutMs = 150;
inline constexpr std::uint32_t kScanQuietRefreshMs = 120000;
inline constexpr std::uint32_t kScanShortProbeTries = 3;
inline constexpr std::uint32_t kScanShortProbeSleepMs = 10;
inline constexpr std::uint32_t kScanReprobeSleepMs = 50;

// Bounds that end a scan on a bus where units never fall silent: long-ID passes per scan, and
// finds in a row at one probed ID (each find quiets a unit; a unit that ignores the quiet
// command would otherwise be found again and again).
inline constexpr int kScanMaxLongIdPasses = 4;
inline constexpr int kScanMaxFindsPerId = 16;

// Units found by long ID have IDs above this; short IDs run from 1 to 63.
inline constexpr std::uint32_t kLongIdAbove = 64;
// A long ID is four seven-bit groups: the bits it may have.
inline constexpr std::uint32_t kLongIdGroupsMask = 0x7F7F7F7F;

// A device of the file that the frames of an earlier one reach too (CAddressRules::FrameAddress):
// both units would take what either device is sent, so the later device is left out.
struct CSharedAddress {
  CDevice* device;
  CDevice* earlier;
};
// The devices of the list that share their frames with an earlier one, in list order. Devices
// that address no unit (ID 0, or an ID their frames cannot carry: CAddressRules::AddressRefusal) share
// nothing. Any thread, with a list that holds still.
std::vector<CSharedAddress> FindSharedAddresses(const std::vector<CDevice*>& devices);
// Leaves out the devices of the list that share their frames with an earlier one, and takes
// back the others (CAddressRules::SetLeftOut). Returns those newly left out.
std::vector<CSharedAddress> LeaveOutSharedAddresses(const std::vector<CDevice*>& devices);

// A device whose requests the unit of another device of the file answers too: while both units
// are on the line their answers garble each other and the device's unit cannot be read. The
// earlier of two devices that share their frames (the later is left out, but its unit answers),
// and a device whose identity query is the long-ID probe of its ID (CAddressRules::QueriesLongId)
// beside a device of another family at that ID whose unit answers that probe
// (CAddressRules::AnswersLongIdProbe).
struct CAddressClash {
  CDevice* device;
  CDevice* other;
  bool leftOut;  // the other device is left out for sharing the device's frames
};
// Each device's first clash, in list order. Any thread, with a list that holds still.
std::vector<CAddressClash> FindAddressClashes(const std::vector<CDevice*>& devices);
// What answers the device's requests besides its unit, for the log and the notice: "its frames
// are also answered by Nerex48 ID: 300 (left out)", "its identity query is also answered by
// Nerex24 ID: 300".
std::string AddressClashText(const CAddressClash& clash);
// Marks each device of the list with its clash (CUnitAtId::SetAddressClash) and clears the marks of
// the others. Returns the clashes newly marked.
std::vector<CAddressClash> MarkAddressClashes(const std::vector<CDevice*>& devices);

// The autoscan: short IDs one by one, then a tree search of long IDs with collisions, quieting
// and re-probes; found units become devices of the file. Its steps run on the worker thread
// unless said.
class CDiscoveryPass {
 public:
  CDiscoveryPass(ICommsPassHost& host, ICommsDocument& document);
  CDiscoveryPass(const CDiscoveryPass&) = delete;
  CDiscoveryPass& operator=(const CDiscoveryPass&) = delete;

  // UI thread: the autoscan dialog hands itself and its running flag over; the worker starts
  // the scan at its next turn, and Finish clears the flag and the dialog. Any thread reads it.
  void SetAutoscanDialog(IAutoscanDialog* dialog, std::atomic<bool>* scanRunning);
  IAutoscanDialog* GetAutoscanDialog() const { return m_autoscanDialog; }

  // The whole scan; it stops early when the dialog clears its flag, the worker ends or the
  // transport fails.
  void Run();
  // After the scan: the transport logs and retries again, and the dialog is let go (its flag
  // cleared last, as the dialog may close as soon as it sees it).
  void Finish();

  std::int64_t ProbeDeviceId(std::uint8_t level, std::uint32_t id, std::uint32_t& typeCode,
                             std::uint32_t& variant);
  void SendQuietCommand(const CDevice* device);
  void SendQuietCommand(std::uint32_t typeCode, std::uint32_t id);
  void KeepScanQuiet();
  void SendScanReset();
  bool CheckScanComplete();
  // The device of the file with that type and ID, or a new one; null when the factory knows no
  // class for the type, when the family's frames would not reach the unit alone (they cannot
  // carry the ID, or they would reach the unit of another device of the file too: said in the
  // log and the dialog), or when the file has only devices of other models at that ID: those are
  // set aside (CUnitAtId::SetAside) and the conflict goes to the log and the dialog.
  CDevice* AddFoundDevice(std::uint32_t id, std::uint32_t typeCode, std::uint32_t variant);
  void ResetBreakoutReadFlags();
  // UI thread: the devices found since the last call, for the system to place in a zone.
  std::vector<CDevice*> TakeUnplacedDevices();
  std::size_t GetUnplacedDeviceCount() const;
  // The device is about to be deleted; under the worker's state lock.
  void ForgetDevice(const CDevice* device);
  void SetScanRangeForTests(std::uint32_t lastShortId, std::uint32_t lastGroup);
  std::uint32_t GetLastQuietRefresh() const { return m_lastQuietRefresh; }
  void SetLastQuietRefresh(std::uint32_t tick) { m_lastQuietRefresh = tick; }

 private:
  bool IsScanRunning() const;
  void SendScanStatus(const std::string& text);
  void LogScanDetail(const std::string& text);
  bool RunLongIdPass();
  bool SearchLevel(int level, std::uint32_t base);
  // Units at the long ID garble each other's answer even where every byte is compared: logged
  // once a scan.
  void NoteUnreadLongId(std::uint32_t id);
  // At the end of a scan, the log and the dialog say which answers could not be read (IDs where
  // units garble each other's answer), and of a unit that still answers the last check.
  void TellUnreadAnswers();
  bool TakeFoundUnit(std::uint32_t id, std::uint32_t typeCode, std::uint32_t variant);
  // Sets aside a device of the file whose ID a unit of another model answers at, and says so.
  void SetAsideOtherModel(CDevice& device, std::uint32_t foundType, std::uint32_t variant);

  ICommsPassHost& m_host;
  ICommsDocument& m_document;
  std::atomic<IAutoscanDialog*> m_autoscanDialog{nullptr};
  std::atomic<std::atomic<bool>*> m_scanRunning{nullptr};
  std::atomic<std::uint32_t> m_lastQuietRefresh{0};
  // Units of unknown type that a scan quieted (type, ID), and devices found but not yet in a
  // zone; both guarded by the worker's state lock.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> m_quietedUnknownUnits;
  std::vector<CDevice*> m_unplacedDevices;
  // The scan's range.
  std::uint32_t m_lastShortId = 63;
  std::uint32_t m_lastGroup = 127;
  // What this scan met (worker thread): the long IDs of the units it found, the short and long
  // IDs whose answers it could not read, and what answered its last scan-complete check.
  enum class ECheckAnswer { kNone, kReadable, kUnreadable };
  std::vector<std::uint32_t> m_foundLongIds;
  std::vector<std::uint32_t> m_unreadShortIds;
  std::vector<std::uint32_t> m_unreadLongIds;
  ECheckAnswer m_lastCheckAnswer = ECheckAnswer::kNone;
  std::uint32_t m_lastCheckId = 0;
};
