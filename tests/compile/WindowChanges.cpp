// What a window may and may not do with a device, compiled one case at a time by
// tests/CheckChangeGate.cmake: a person's change goes through the rights gate
// (CUserChangeGate::ApplyUserChange, and ApplyUserPropertyChange for a row of the properties
// pane), and every way past it is refused by the compiler: the change path (also through the
// device's rule sets and a family's own gate), the frames queued for the unit, a reply taken past
// autosave's count, and the family's writers for want of access, what the device stores through
// its read-only views, and the processor family's own header (NerexChange.h) at its include. Each
// case but TAKES_THE_GATE must fail to compile so. Not part of any program.
#include <memory>

#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "core/model/DeviceProperty.h"
#include "core/model/Snapshot.h"
#include "core/protocol/ControlMessage.h"
#if defined(TAKES_THE_GATE) || defined(SPREAD_OVER_LINKS) || defined(LINKS_SPREAD) || defined(SOLO_TO_OTHER_DEVICES)
#include "core/system/System.h"
#endif
#if defined(TAKES_THE_GATE) || defined(PROCESSOR_CALL) || defined(PROCESSOR_PROPERTY_ROW) || \
    defined(PROCESSOR_PROPERTY_LIST) || defined(PROCESSOR_QUEUE_FRAME) || defined(LOAD_PRESET_FILE) || \
    defined(NOTIFY_ALL) || defined(NOTIFY_CHANNEL) || defined(PROCESSOR_POLL_TURN) || defined(PROCESSOR_STATE) || \
    defined(PROCESSOR_ANSWERED_CHANGE) || defined(PROCESSOR_REPLY_TAKEN)
#include "devices/processor/NerexRules.h"
#include "devices/processor/NerexSeriesDevice.h"
#endif
#if defined(NOTIFY_ALL) || defined(NOTIFY_CHANNEL)
#include "devices/processor/NerexNotifier.h"
#endif
#if defined(PROCESSOR_FAMILY_HEADER)
#include "devices/processor/NerexChange.h"
#endif
#if defined(AMPLIFIER_CALL) || defined(AMPLIFIER_PROPERTY_ROW) || defined(AMPLIFIER_PROPERTY_LIST) || \
    defined(AMPLIFIER_PASTE_RECORD) || defined(AMPLIFIER_SOLO) || defined(AMPLIFIER_SEND_ALL) || \
    defined(AMPLIFIER_ANSWERED_CHANGE) || defined(AMPLIFIER_REPLY_TAKEN)
#include "devices/amplifier/ZelRules.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#endif
#if defined(BREAKOUT_BOX_CALL) || defined(BREAKOUT_BOX_PROPERTY_ROW) || defined(BREAKOUT_BOX_PROPERTY_LIST) || \
    defined(BREAKOUT_BOX_PASTE_RECORD) || defined(BREAKOUT_BOX_SOLO) || defined(BREAKOUT_BOX_SEND_ALL)
#include "devices/amplifier/ZelBreakDevice.h"
#endif
#if defined(SORNIC_PROPERTY_ROW) || defined(SORNIC_SOLO)
#include "devices/amplifier/SornicAmpDevice.h"
#endif
#if defined(PANNEX_PROPERTY_ROW) || defined(PANNEX_SOLO)
#include "devices/amplifier/PannexDevice.h"
#endif

// As a panel, a custom widget, the properties pane or the frame holds a device and the
// document.
void WindowHandsAChange(CDevice& device, const CSnapshotData& image) {
  const CParamValue value(13, -6.0f, ParamKind::kLevel);
  CDeviceProperty row("Name", CDeviceProperty::Value(std::string("Main PA")), "Set the device name", 1);
  CNamedPropertyValue listed;
  (void)device, (void)image, (void)value, (void)row, (void)listed;
#if defined(TAKES_THE_GATE)
  device.Gate().ApplyUserChange(value);
  device.Gate().ApplyUserPropertyChange(row);
  device.SystemEntries().AnnounceConnectionStatus();
  device.SystemEntries().AnnounceWarningStatus();
  std::vector<CPropertyItem> items;
  device.GetProperties(items);
  device.CopyToClipboard(0);
  device.PasteFromClipboard(0);
  device.OnContextMenuCommand(0, 0);
  // What the device's rule sets tell a window.
  const bool asks = device.Gate().ConfirmationFor(value, CChangeAnswer{}) != 0 &&
                    device.Gate().MayCurrentUserChange(13) && device.Gate().RightsNeededFor(13) != 0;
  const bool placed = device.AddressRules().IsAddressable() && !device.UnitAtId().IsSetAside() &&
                      device.UnitAtId().GetLineNotes().empty() && device.UnitChanges().Get() == 0 &&
                      device.Queue().GetQueueSize() == 0;
  (void)asks, (void)placed;
  if (auto* processor = dynamic_cast<CNerexSeriesDevice*>(&device)) {
    processor->Gate().ApplyUserChange(value);
    // What a processor stores, read as its panels and dialogs read it.
    const int gain = processor->GetCurrentSettings().inputs.gains[0] + processor->GetTimedPresets()[0].preset +
                     processor->GetDeqBandMasks()[0] + processor->GetGeneralSettings().GetCurrentPreset();
    const bool stored = processor->GetPresets()[0]->HoldsAnySection() && !processor->GetXoverPresets().empty();
    // What it reads of the unit's meters and memories, and what the panel shows.
    const float level = processor->Meters().GetInputMeter(0) + processor->Meters().GetDeqMeter(0, 1);
    const std::size_t held = processor->GetMemoryReadout().UnitPresets();
    processor->PanelView().SetPanelPage(kNerexPageMixer);
    (void)gain, (void)stored, (void)level, (void)held;
    processor->SavePresetFile("Stage.fnp", nullptr);
  }
  if (auto* system = dynamic_cast<CSystem*>(device.GetHost())) {
    system->Links().ApplyLinks();
    system->AddDeviceNamed(60, 0);
  }
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
  device.Gate().ApplyAnsweredChange(value, answer);
#elif defined(PROCESSOR_ANSWERED_CHANGE)
  CChangeAnswer answer;
  static_cast<CNerexChangeGate&>(device.Gate()).ApplyAnsweredChange(value, answer);
#elif defined(AMPLIFIER_ANSWERED_CHANGE)
  CChangeAnswer answer;
  static_cast<CZelChangeGate&>(device.Gate()).ApplyAnsweredChange(value, answer);
#elif defined(KEPT_CHANGE)
  device.ApplyKeptControlChange(value, value);
#elif defined(LINK_PASS)
  device.SystemEntries().ApplyLinkedChange(value, CSystemPass{});
#elif defined(RECALL_PASS)
  device.SystemEntries().RecallSnapshotImage(image, {});
#elif defined(SNAPSHOT_IMAGE)
  device.ApplySnapshotData(image);
#elif defined(SPREAD_OVER_LINKS)
  static_cast<CSystem&>(*device.GetHost()).OnParameterChanged(&device, value, value, CParameterChangeNotice{});
#elif defined(LINKS_SPREAD)
  static_cast<CSystem&>(*device.GetHost()).Links().SpreadChange(&device, value);
// A row of the properties pane, and the property list, past the right to edit device properties.
#elif defined(PROPERTY_ROW)
  device.OnPropertyChanged(row);
#elif defined(PROPERTY_ROW_POINTER)
  bool (CDevice::*commit)(CDeviceProperty&) = &CDevice::OnPropertyChanged;
  (device.*commit)(row);
#elif defined(PROCESSOR_PROPERTY_ROW)
  static_cast<CNerexSeriesDevice&>(device).OnPropertyChanged(row);
#elif defined(AMPLIFIER_PROPERTY_ROW)
  static_cast<CZelSeriesDevice&>(device).OnPropertyChanged(row);
#elif defined(BREAKOUT_BOX_PROPERTY_ROW)
  static_cast<CZelBreakDevice&>(device).OnPropertyChanged(row);
#elif defined(SORNIC_PROPERTY_ROW)
  static_cast<CSornicAmpDevice&>(device).OnPropertyChanged(row);
#elif defined(PANNEX_PROPERTY_ROW)
  static_cast<CPannexDevice&>(device).OnPropertyChanged(row);
#elif defined(PROPERTY_LIST)
  device.ValidateProperty(listed);
#elif defined(PROCESSOR_PROPERTY_LIST)
  static_cast<CNerexSeriesDevice&>(device).ValidateProperty(listed);
#elif defined(AMPLIFIER_PROPERTY_LIST)
  static_cast<CZelSeriesDevice&>(device).ValidateProperty(listed);
#elif defined(BREAKOUT_BOX_PROPERTY_LIST)
  static_cast<CZelBreakDevice&>(device).ValidateProperty(listed);
#elif defined(PROPERTY_LIST_INTERFACE)
  CObjectProperties& properties = device;
  properties.ValidateProperty(listed);
#elif defined(PROPERTY_LIST_HELPER)
  ValidatePropertyList(device, CListForm{}, listed);
// What the properties rows govern, set directly.
#elif defined(DEVICE_NAME)
  device.SetName("Main PA");
#elif defined(NAME_PASS)
  device.SystemEntries().SetName("Main PA", {});
#elif defined(DEVICE_ID)
  device.SetDeviceId(7);
// A paste past the check of its rights.
#elif defined(AMPLIFIER_PASTE_RECORD)
  static_cast<CZelSeriesDevice&>(device).PasteRecord(ZelClipboardRecord{}, 0);
#elif defined(BREAKOUT_BOX_PASTE_RECORD)
  static_cast<CZelBreakDevice&>(device).PasteRecord(ZelClipboardRecord{}, 0);
// Another device's solo, which mutes every channel of a unit.
#elif defined(SYSTEM_SOLO)
  device.OnSystemSolo(true);
#elif defined(AMPLIFIER_SOLO)
  static_cast<CZelSeriesDevice&>(device).OnSystemSolo(true);
#elif defined(BREAKOUT_BOX_SOLO)
  static_cast<CZelBreakDevice&>(device).OnSystemSolo(true);
#elif defined(SORNIC_SOLO)
  static_cast<CSornicAmpDevice&>(device).OnSystemSolo(true);
#elif defined(PANNEX_SOLO)
  static_cast<CPannexDevice&>(device).OnSystemSolo(true);
#elif defined(SOLO_PASS)
  device.SystemEntries().ApplySystemSolo(true, {});
#elif defined(SOLO_TO_OTHER_DEVICES)
  static_cast<CSystem&>(*device.GetHost()).NotifyOtherDevices(&device, true, {});
// A frame queued for the unit, and the writers of a family's own code.
#elif defined(QUEUE_FRAME)
  device.QueueMessage(true, std::make_unique<CControlMessage>());
#elif defined(QUEUE_WRITE_AGAIN)
  CControlMessage write;
  write.write = true;
  device.Queue().QueueWriteAgain(write, true);
#elif defined(QUEUE_PUSH)
  device.Queue().Push(true, std::make_unique<CControlMessage>());
#elif defined(QUEUE_PUT_BACK)
  device.Queue().PutBack(CControlMessage{});
// The unit at the ID taken up again (what waited queued first) or known to be another (the
// queue cleared), and a write counted against the reads on their way.
#elif defined(UNIT_TAKEN_UP)
  device.UnitAtId().TakeUp();
#elif defined(ASIDE_CONFIRMED)
  device.UnitAtId().ConfirmAside();
#elif defined(WRITE_COUNTED)
  device.ReadGuard().NoteWriteQueued();
// A reply taken into the model past the entry that counts it for autosave.
#elif defined(REPLY_TAKEN)
  CControlMessage reply;
  device.TakeReply(reply);
#elif defined(PROCESSOR_REPLY_TAKEN)
  CControlMessage reply;
  static_cast<CNerexSeriesDevice&>(device).TakeReply(reply);
#elif defined(AMPLIFIER_REPLY_TAKEN)
  CControlMessage reply;
  static_cast<CZelSeriesDevice&>(device).TakeReply(reply);
#elif defined(PROCESSOR_QUEUE_FRAME)
  static_cast<CNerexSeriesDevice&>(device).QueueMessage(false, std::make_unique<CControlMessage>());
#elif defined(LOAD_PRESET_FILE)
  static_cast<CNerexSeriesDevice&>(device).LoadPresetFile("Stage.fnp", nullptr);
#elif defined(NOTIFY_ALL)
  CNerexNotifier(static_cast<CNerexSeriesDevice&>(device)).NotifyAllParameters();
#elif defined(NOTIFY_CHANNEL)
  CNerexNotifier(static_cast<CNerexSeriesDevice&>(device)).NotifyInputChannelParameters(0);
#elif defined(PROCESSOR_POLL_TURN)
  CControlMessage read;
  CNerexPoller(static_cast<CNerexSeriesDevice&>(device)).NextTurn(read);
#elif defined(AMPLIFIER_SEND_ALL)
  static_cast<CZelSeriesDevice&>(device).SendAllSettings();
#elif defined(BREAKOUT_BOX_SEND_ALL)
  static_cast<CZelBreakDevice&>(device).SendAllSettings();
// What a processor stores, written through the views it shows.
#elif defined(CURRENT_SETTINGS)
  static_cast<CNerexSeriesDevice&>(device).GetCurrentSettings().inputs.gains[0] = 0;
#elif defined(GENERAL_SETTINGS)
  static_cast<CNerexSeriesDevice&>(device).GetGeneralSettings() = NerexGeneralSettings{};
#elif defined(TIMED_PRESETS)
  static_cast<CNerexSeriesDevice&>(device).GetTimedPresets()[0] = TimedPresetEntry{};
#elif defined(PRESET_MEMORY)
  static_cast<CNerexSeriesDevice&>(device).GetPresets()[0]->sectionFlags = 0;
#elif defined(PRESET_LIST)
  ResizePresetList(static_cast<CNerexSeriesDevice&>(device).GetPresets(), 2);
#elif defined(CROSSOVER_PRESET)
  static_cast<CNerexSeriesDevice&>(device).GetXoverPresets()[0]->name.clear();
#elif defined(DEQ_BAND_MASKS)
  static_cast<CNerexSeriesDevice&>(device).GetDeqBandMasks()[0] = 1;
#elif defined(METER_READING)
  static_cast<CNerexSeriesDevice&>(device).Meters().Input(0) = 0.0f;
// The processor family's own pieces of the change path and writers.
#elif defined(CHANNEL_CHANGE)
  ApplyChannelSettingChange(static_cast<CNerexSeriesDevice&>(device), value);
#elif defined(RENOTIFY)
  Renotify(static_cast<CNerexSeriesDevice&>(device), 13);
#elif defined(WRITABLE_SETTINGS)
  WritableSettings(static_cast<CNerexSeriesDevice&>(device)).inputs.gains[0] = 0;
#else
#error "no case"
#endif
}
