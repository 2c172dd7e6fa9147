// What a window may and may not do with a device, compiled one case at a time by
// tests/CheckChangeGate.cmake: a person's change goes through the rights gate
// (CDevice::ApplyUserChange), and every way past it is refused by the compiler. Each case but
// TAKES_THE_GATE must fail to compile for want of access. Not part of any program.
#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "core/model/Snapshot.h"
#if defined(TAKES_THE_GATE) || defined(SPREAD_OVER_LINKS)
#include "core/system/System.h"
#endif
#if defined(TAKES_THE_GATE) || defined(PROCESSOR_CALL)
#include "devices/processor/NerexSeriesDevice.h"
#endif
#if defined(AMPLIFIER_CALL)
#include "devices/amplifier/ZelSeriesDevice.h"
#endif
#if defined(BREAKOUT_BOX_CALL)
#include "devices/amplifier/ZelBreakDevice.h"
#endif

// As a panel, a custom widget or the frame holds a device and the document.
void WindowHandsAChange(CDevice& device, const CSnapshotData& image) {
  const CParamValue value(13, -6.0f, ParamKind::kLevel);
  (void)device, (void)image, (void)value;
#if defined(TAKES_THE_GATE)
  device.ApplyUserChange(value);
  device.AnnounceConnectionStatus();
  device.AnnounceWarningStatus();
  if (auto* processor = dynamic_cast<CNerexSeriesDevice*>(&device)) processor->ApplyUserChange(value);
  if (auto* system = dynamic_cast<CSystem*>(device.GetHost())) system->ApplyLinks();
#elif defined(PLAIN_CALL)
  device.ApplyControlChange(value);
#elif defined(CALL_SPLIT_OVER_LINES)
  device
      .ApplyControlChange(
          value);
#elif defined(BASE_CALL)
  device.CDevice::ApplyControlChange(value);
#elif defined(MEMBER_POINTER)
  void (CDevice::*change)(const CParamValue&) = &CDevice::ApplyControlChange;
  (device.*change)(value);
#elif defined(PROCESSOR_CALL)
  static_cast<CNerexSeriesDevice&>(device).ApplyControlChange(value);
#elif defined(AMPLIFIER_CALL)
  static_cast<CZelSeriesDevice&>(device).ApplyControlChange(value);
#elif defined(BREAKOUT_BOX_CALL)
  static_cast<CZelBreakDevice&>(device).ApplyControlChange(value);
#elif defined(ANSWERED_CHANGE)
  CChangeAnswer answer;
  answer.confirmed = true;
  device.ApplyAnsweredChange(value, answer);
#elif defined(KEPT_CHANGE)
  device.ApplyKeptControlChange(value, value);
#elif defined(LINK_PASS)
  device.ApplyLinkedChange(value, CDevice::CSystemPass{});
#elif defined(RECALL_PASS)
  device.RecallSnapshotImage(image, {});
#elif defined(SNAPSHOT_IMAGE)
  device.ApplySnapshotData(image);
#elif defined(SPREAD_OVER_LINKS)
  static_cast<CSystem&>(*device.GetHost()).OnParameterChanged(&device, value, value, CParameterChangeNotice{});
#else
#error "no case"
#endif
}
