// The section actions of a processor's change path: the auto-limiter switch and the matrix
// routing buttons. A routing change, confirmed before it came in, mutes every output. UI thread.
#include "core/protocol/ControlMessage.h"
#include "core/model/DeviceHost.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"

namespace {

void AutoLimiters(CNerexSeriesDevice& d, std::int32_t value) {
  const bool on = value != 0;
  std::vector<std::int32_t> announce;
  {
    CSingleLock lock(d.SettingsLock());
    announce = ApplyAutoLimiters(WritableSettings(d).outputs, on);
  }
  for (std::int32_t id : announce) Renotify(d, id);
  // Only the switch goes to the unit, which derives the limiter times itself.
  QueuePlainWrite(d, kCmdAutoLimiters, {std::uint8_t(on ? 1 : 0)});
}

void Routing(CNerexSeriesDevice& d, int id, bool routed) {
  const int o = (id - kParamMatrixRouting) / 4, i = (id - kParamMatrixRouting) % 4;
  const int outputs = d.GetOutputCount();
  {
    CSingleLock lock(d.SettingsLock());
    NerexOutputSection& out = WritableSettings(d).outputs;
    std::uint8_t& mask = out.routingMasks[std::size_t(o)];
    mask = std::uint8_t(routed ? mask | (1u << i) : mask & ~(1u << i));
  }
  // Every output is muted while the routing changes.
  for (int p = 0; p < outputs; ++p) {
    {
      CSingleLock lock(d.SettingsLock());
      std::uint8_t& mutes = WritableSettings(d).outputs.muteMask;
      mutes = std::uint8_t(mutes | (1u << p));
    }
    Renotify(d, kParamOutputMute + p);
  }
  if (d.IsConnected())
    QueueBuilt(d, false, [&](CControlMessage& m) { return BuildBlock31Message(d, m, 0, 0xC0); });
  // A new route may put an input delay over the budget of the outputs it now feeds.
  BuildDelayMessages(d);
  if (INerexSeriesPanel* panel = d.GetNerexPanel()) panel->UpdateBitMaskButtons(true);
}

}  // namespace

bool ApplySectionActionChange(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  if (id == kParamAutoLimiters) {
    AutoLimiters(d, value.integer);
    return true;
  }
  if (id >= kParamMatrixRouting && id < kParamMatrixRouting + 32) {
    Routing(d, id, value.flag != 0);
    return true;
  }
  // The other ids of the range (the Fennick preset list, the compact-view buttons and the
  // unused ids) act inside the panel only.
  return false;
}
