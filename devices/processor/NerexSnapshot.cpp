// Snapshot images of the processor's live settings, and the device's snapshot operations.
#include "devices/processor/NerexSnapshot.h"

#include "core/model/ControlPanel.h"
#include "core/model/DeviceHost.h"
#include "core/model/Snapshot.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"

namespace {

struct Slots {
  std::size_t inputs, outputs, geq, deq;
};

// Slot sizes of the model; a block the model lacks (or format 1's dynamic EQ) takes no room.
Slots SlotsOf(int model, int format) {
  Slots s{GetBlockRawSize(kBlockInputs, model), GetBlockRawSize(kBlockOutputs, model), 0, 0};
  if (IsTorvexLayoutModel(model)) s.geq = GetBlockRawSize(kBlockGeq, model);
  if (model == kModelTorvex48 && format == 2) s.deq = GetBlockRawSize(kBlockDeq, model);
  return s;
}

// Writes one block into its slot; the slot's unused tail (at least its last two bytes) stays 0.
template <class Encode>
void FillSlot(std::vector<std::uint8_t>& out, std::size_t offset, std::size_t size, Encode encode) {
  if (size == 0) return;
  std::vector<std::uint8_t> block;
  encode(block);
  const std::size_t n = std::min(block.size(), size >= 2 ? size - 2 : 0);
  std::copy(block.begin(), block.begin() + std::ptrdiff_t(n), out.begin() + std::ptrdiff_t(offset));
}

}  // namespace

std::size_t GetNerexSnapshotLength(int model, int format) {
  if (format != 1 && format != 2) return 0;
  const Slots s = SlotsOf(model, format);
  return 1 + s.inputs + s.outputs + s.geq + s.deq;
}

std::vector<std::uint8_t> EncodeNerexSnapshot(const CNerexSeriesMemory& image, int model) {
  const Slots s = SlotsOf(model, 2);
  std::vector<std::uint8_t> out(1 + s.inputs + s.outputs + s.geq + s.deq, 0);
  out[0] = kNerexSnapshotFormat;
  const int inputs = GetInputCount(model), outputs = GetOutputCount(model);
  std::size_t at = 1;
  FillSlot(out, at, s.inputs, [&](auto& b) { EncodeInputBlock(image.inputs, inputs, model, b); });
  at += s.inputs;
  FillSlot(out, at, s.outputs, [&](auto& b) { EncodeOutputBlock(image.outputs, outputs, model, b); });
  at += s.outputs;
  FillSlot(out, at, s.geq, [&](auto& b) { EncodeGeqBlock(image.geq, inputs, b); });
  at += s.geq;
  FillSlot(out, at, s.deq, [&](auto& b) { EncodeDeqBlock(image, kNerexMaxInputs, b); });
  return out;
}

ENerexSnapshotApply DecodeNerexSnapshot(std::span<const std::uint8_t> data, int model, CNerexSeriesMemory& image,
                                        NerexRangeReport* limited) {
  if (data.empty()) return ENerexSnapshotApply::Refused;
  const int format = data[0];
  if (format != 1 && format != 2) return ENerexSnapshotApply::UnknownFormat;
  if (data.size() != GetNerexSnapshotLength(model, format)) return ENerexSnapshotApply::Refused;

  // Into a copy: the image changes only when every block decoded.
  CNerexSeriesMemory m = image;
  const Slots s = SlotsOf(model, format);
  const int inputs = GetInputCount(model), outputs = GetOutputCount(model);
  std::size_t at = 1;
  bool ok = DecodeInputBlockV1(format, data.subspan(at, s.inputs), inputs, model, m);
  at += s.inputs;
  ok = ok && DecodeOutputBlockSnapshot(format, data.subspan(at, s.outputs), outputs, model, m);
  at += s.outputs;
  if (ok && s.geq) ok = DecodeGeqBlockSnapshot(data.subspan(at, s.geq), inputs, m);
  at += s.geq;
  if (ok && s.deq) ok = DecodeDeqBlock(format, data.subspan(at, s.deq), kNerexMaxInputs, model, m);
  if (!ok) return ENerexSnapshotApply::Refused;
  // The blocks go to the unit as the image holds them: nothing beyond what the model takes.
  NerexRangeReport report = CheckMemoryValues(m, model, true);
  if (limited) *limited = std::move(report);
  image = std::move(m);
  return ENerexSnapshotApply::Applied;
}

// --- The device's snapshot operations ---

CSnapshotData* CNerexSeriesDevice::CreateSnapshotData() {
  CSingleLock lock(SettingsLock());
  return new CSnapshotData(GetUuid(), EncodeNerexSnapshot(GetCurrentSettings(), GetModel()), true);
}

void CNerexSeriesDevice::ApplySnapshotData(const CSnapshotData& data) {
  const CSettingsChange change(*this);
  ENerexSnapshotApply result;
  NerexRangeReport limited;
  {
    CSingleLock lock(SettingsLock());
    result = DecodeNerexSnapshot(data.m_data, GetModel(), m_current, &limited);
  }
  if (limited.count > 0 && GetHost()) {
    const bool one = limited.count == 1;
    GetHost()->WriteLog(GetDisplayName() + ": " + std::to_string(limited.count) +
                        (one ? " value of the recalled snapshot lay outside its range and was"
                             : " values of the recalled snapshot lay outside their ranges and were") +
                        " moved to the nearer end (first: " + limited.first + ")\n");
  }
  // An image that does not fit this model is refused whole; an unknown format still re-sends
  // the live settings as they are.
  if (result == ENerexSnapshotApply::Refused) return;
  if (IsConnected()) {
    auto queue = [this](auto build) { QueueBuilt(*this, true, build); };
    queue([&](CControlMessage& m) { return BuildBlock26Message(*this, m, 0, 0x40); });
    queue([&](CControlMessage& m) { return BuildBlock31Message(*this, m, 0, 0x40); });
    if (IsTorvexLayoutModel(GetModel())) queue([&](CControlMessage& m) { return BuildBlock42Message(*this, m, 0, 0x40); });
    if (GetModel() == kModelTorvex48) queue([&](CControlMessage& m) { return BuildBlock43Message(*this, m, 0, 0x40); });
  }
  if (CControlPanel* panel = GetControlPanel()) panel->UpdateAllControls();
  NotifyAllParameters(*this);
}
