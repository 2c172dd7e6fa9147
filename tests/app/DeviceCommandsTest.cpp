// The frame's device, zone, clipboard and log commands with their questions answered both
// ways, and the messages that reach the rack and the live meters.
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>
#include <cstdlib>
#include <ostream>

#include "app/CommandIds.h"
#include "core/comms/CommsWorker.h"
#include "core/model/Confirm.h"
#include "core/model/Device.h"
#include "core/draw/TextStyle.h"
#include "core/model/Link.h"
#include "core/model/User.h"
#include "core/system/Zone.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/TextInk.h"
#include "ui/DeleteZoneAskDlg.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceRack.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"
#include "tests/support/ModelChanges.h"

namespace {

class DeviceCommands : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    RegisterProcessorFamily();
  }
  CMainFrame& Frame() {
    if (!frame) MakeFrame();
    return *frame;
  }
  CSystem& System() { return Frame().GetSystem(); }
  bool Enabled(std::uint32_t id) {
    Frame().UpdateCommandUI();
    return Frame().GetCommand(id)->isEnabled();
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (CDevice* d : System().GetDevices()) names.push_back(d->GetName());
    return names;
  }
};

TEST_F(DeviceCommands, AddDevice_TakesTheModelsTypeTheFirstFreeNameAndTheSelection) {
  CMainFrame& f = Frame();
  f.RunCommand(33120);
  f.RunCommand(33114);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Device 1", "Device 2"}));
  EXPECT_EQ(System().GetDevice(0)->GetTypeCode(), 120u);
  EXPECT_EQ(System().GetSelectedDevice(), 1);
  EXPECT_TRUE(System().IsModified());
  EXPECT_EQ(f.GetPropertiesPane().GetGrid().GetCurrentDevice(), System().GetDevice(1));
  EXPECT_EQ(f.GetDeviceView().GetRack().GetContentHeight(), 20 + 2 * 30);

  // Deleting the first frees its name for the next device; Hollin2 has its own model word.
  SetConfirmDeviceDelete(true);
  System().SetSelectedDevice(0);
  f.RunCommand(Cmd::kDeleteDevice);
  ASSERT_EQ(Names(), (std::vector<std::string>{"Device 2"}));
  f.RunCommand(33138);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Device 2", "Device 1"}));
  EXPECT_EQ(System().GetDevice(1)->GetTypeCode(), 112u);
  EXPECT_EQ(System().GetDevice(1)->GetModelIndex(), 0x1C4A21u);
}

TEST_F(DeviceCommands, AddDevice_GoesIntoTheSelectedDevicesZone) {
  CMainFrame& f = Frame();
  f.RunCommand(Cmd::kAddZone);
  ASSERT_EQ(System().GetZones().size(), 2u);
  EXPECT_EQ(System().GetZones()[1]->GetName(), "Zone");
  EXPECT_TRUE(System().IsModified());
  f.RunCommand(33120);
  CDevice* first = System().GetDevice(0);
  System().GetZones()[0]->RemoveDevice(first);
  System().GetZones()[1]->AppendDevice(first);
  f.RunCommand(33116);
  EXPECT_EQ(System().GetZones()[1]->GetDevices().size(), 2u);
}

TEST_F(DeviceCommands, DeleteDevice_OnlyWithTheConfirmationAndASelection) {
  CMainFrame& f = Frame();
  EXPECT_FALSE(Enabled(Cmd::kDeleteDevice));
  f.RunCommand(33120);
  SetConfirmDeviceDelete(true);
  prompts.confirmOk = false;
  f.RunCommand(Cmd::kDeleteDevice);
  EXPECT_EQ(System().GetDeviceCount(), 1);
  EXPECT_EQ(prompts.confirms.size(), 1u);
  prompts.confirmOk = true;
  f.RunCommand(Cmd::kDeleteDevice);
  EXPECT_EQ(System().GetDeviceCount(), 0);
  EXPECT_EQ(f.GetPropertiesPane().GetGrid().GetCurrentDevice(), nullptr);
}

// Delete Device on a linked unit keeps the link's master: the same unit when another goes (a
// member before it shifts no index onto the next unit), the one after it when the master goes.
// Linking Status then copies the master's level, and the file keeps that master.
struct LinkedDeleteCase {
  const char* name;
  int master;   // index of A, B, C, whose input A gains are -10, -20, -30 dB
  int deleted;
  int kept;     // the master afterwards
};

class DeleteLinkedDevice : public DeviceCommands, public ::testing::WithParamInterface<LinkedDeleteCase> {};

TEST_P(DeleteLinkedDevice, KeepsTheLinksMasterThroughApplyingSaveAndReopen) {
  const LinkedDeleteCase& c = GetParam();
  CMainFrame& f = Frame();
  for (int i = 0; i < 3; ++i) f.RunCommand(33120);  // three Nerex48
  std::vector<CDevice*> units = System().GetDevices();
  const std::vector<std::string> names{"A", "B", "C"};
  CLink* link = System().Links().AddLink();
  for (int i = 0; i < 3; ++i) {
    NameDevice(units[std::size_t(i)], names[std::size_t(i)]);
    ModelChange(units[std::size_t(i)], CParamValue(kParamInputGain, -10.0f * float(i + 1), ParamKind::kLevel));
    link->AddMember(units[std::size_t(i)]->GetUuid(), kParamInputGain);
  }
  link->m_master = c.master;
  System().Links().SetLinksActive(false);
  const float masterLevel = -10.0f * float(c.kept + 1);

  SetConfirmDeviceDelete(true);
  prompts.confirmOk = true;
  System().SetSelectedDevice(c.deleted);
  f.RunCommand(Cmd::kDeleteDevice);
  ASSERT_EQ(System().GetDeviceCount(), 2);
  ASSERT_EQ(link->GetMembers().size(), 2u);
  f.RunCommand(Cmd::kLinkingStatus);  // on: the links are applied
  ASSERT_TRUE(System().Links().AreLinksActive());
  for (CDevice* unit : System().GetDevices())
    EXPECT_FLOAT_EQ(unit->GetCurrentValue(kParamInputGain).value, masterLevel) << unit->GetName();

  const std::string path = PathOf("linked.ovd");
  ASSERT_TRUE(System().File().SaveFile(path));
  ASSERT_TRUE(f.Files().OpenFilePath(path));
  ASSERT_EQ(System().Links().GetLinks().size(), 1u);
  const CLinkRef* master = System().Links().GetLinks()[0]->GetMasterRef();
  ASSERT_NE(master, nullptr);
  const CDevice* kept = System().FindDeviceByUuid(master->GetUuid());
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->GetName(), names[std::size_t(c.kept)]);
}

INSTANTIATE_TEST_SUITE_P(Members, DeleteLinkedDevice,
                         ::testing::Values(LinkedDeleteCase{"MemberBeforeTheMasterB", 1, 0, 1},
                                           LinkedDeleteCase{"MemberBeforeTheMasterC", 2, 0, 2},
                                           LinkedDeleteCase{"MemberAfterTheMaster", 1, 2, 1},
                                           LinkedDeleteCase{"TheMasterItself", 1, 1, 2},
                                           LinkedDeleteCase{"TheLastMasterItself", 2, 2, 1}),
                         [](const ::testing::TestParamInfo<LinkedDeleteCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(DeviceCommands, DeleteZone_CancelKeepsEverythingThenKeepOrDeleteTheDevices) {
  CMainFrame& f = Frame();
  f.RunCommand(33120);
  EXPECT_FALSE(Enabled(Cmd::kDeleteZone));  // one zone
  f.RunCommand(Cmd::kAddZone);
  EXPECT_FALSE(Enabled(Cmd::kDeleteZone));  // the selected device lies in the first zone
  CZone* second = System().GetZones()[1];
  f.RunCommand(33114);  // selected: lands in the first zone; move it to the second
  CDevice* moved = System().GetDevice(1);
  System().GetZones()[0]->RemoveDevice(moved);
  second->AppendDevice(moved);
  ASSERT_TRUE(Enabled(Cmd::kDeleteZone));

  prompts.deleteZoneOk = false;
  f.RunCommand(Cmd::kDeleteZone);
  EXPECT_EQ(prompts.deleteZoneAsked, 1);
  EXPECT_EQ(System().GetZones().size(), 2u);

  prompts.deleteZoneOk = true;
  prompts.deleteZoneDevices = false;
  System().SetModified(false);
  f.RunCommand(Cmd::kDeleteZone);
  ASSERT_EQ(System().GetZones().size(), 1u);
  EXPECT_EQ(System().GetZones()[0]->GetDevices().size(), 2u);
  EXPECT_TRUE(System().IsModified());

  f.RunCommand(Cmd::kAddZone);
  System().GetZones()[0]->RemoveDevice(moved);
  System().GetZones()[1]->AppendDevice(moved);
  System().SetSelectedDevice(1);
  prompts.deleteZoneDevices = true;
  f.RunCommand(Cmd::kDeleteZone);
  EXPECT_EQ(System().GetZones().size(), 1u);
  EXPECT_EQ(System().GetDeviceCount(), 1);
}

// Delete Zone, the frame's own question: it names the zone the command takes (the selected
// device's, whatever zone header was clicked last) and how many devices that zone holds; each
// button does what it says.
struct CZoneAnswer {
  const char* name;
  const char* zoneName;
  int devices;  // in the zone
  const char* button;
  const char* question;
  std::size_t zonesAfter;
  int devicesAfter;
};
void PrintTo(const CZoneAnswer& answer, std::ostream* out) { *out << answer.name; }

class DeleteZoneQuestion : public DeviceCommands, public ::testing::WithParamInterface<CZoneAnswer> {};

const CZoneAnswer kZoneAnswers[] = {
    {"KeepSevenDevices", "Stage", 7, "Don't Delete Devices",
     "Zone \"Stage\" holds 7 devices.\nDo you want to delete the devices in this zone?", 2, 8},
    {"DeleteTheOneDevice", "Stage", 1, "Delete Devices",
     "Zone \"Stage\" holds 1 device.\nDo you want to delete the devices in this zone?", 2, 1},
    {"Cancel", "Stage", 2, "Cancel", "Zone \"Stage\" holds 2 devices.\nDo you want to delete the devices in this zone?",
     3, 3},
    {"ALongNameCutShort", "Balcony left and right delay towers, upper tier", 3, "Cancel",
     "Zone \"Balcony left and right delay towers, up\u2026\" holds 3 devices.\nDo you want to delete the devices in "
     "this zone?",
     3, 4},
};

TEST_P(DeleteZoneQuestion, NamesTheZoneAndItsDevicesAndDoesWhatTheButtonSays) {
  const CZoneAnswer& c = GetParam();
  CMainFrame& f = Frame();
  f.RunCommand(33120);  // in Main Zone
  f.RunCommand(Cmd::kAddZone);
  CZone* zone = System().GetZones()[1];
  zone->SetName(c.zoneName);
  for (int i = 0; i < c.devices; ++i) {
    f.RunCommand(33114);  // joins the selected device's zone, and becomes the selected one
    CDevice* added = System().GetDevice(System().GetSelectedDevice());
    if (System().GetZones()[0]->RemoveDevice(added)) zone->AppendDevice(added);
  }
  ASSERT_EQ(zone->GetDevices().size(), std::size_t(c.devices));
  f.RunCommand(Cmd::kAddZone);  // empty, last: the header a person may have clicked

  f.SetUserPrompts(nullptr);
  QString asked;
  AnswerNextModal<CDeleteZoneAskDlg>([&](CDeleteZoneAskDlg& dialog) {
    asked = dialog.Question()->text();
    if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
      dialog.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/delete-zone-%1.png").arg(c.name));
    for (QPushButton* button : {dialog.DeleteButton(), dialog.KeepButton(), dialog.CancelButton()})
      if (button->text() == QString::fromUtf8(c.button)) button->click();
  });
  f.RunCommand(Cmd::kDeleteZone);
  EXPECT_EQ(asked.toStdString(), c.question);
  EXPECT_EQ(System().GetZones().size(), c.zonesAfter);
  EXPECT_EQ(System().GetDeviceCount(), c.devicesAfter);
  EXPECT_EQ(System().GetZones().back()->GetDevices().size(), 0u);  // the empty zone stays
}

INSTANTIATE_TEST_SUITE_P(Answers, DeleteZoneQuestion, ::testing::ValuesIn(kZoneAnswers),
                         [](const ::testing::TestParamInfo<CZoneAnswer>& info) { return std::string(info.param.name); });

TEST_F(DeviceCommands, CopyAndPaste_FollowTheDeviceShownInTheGrid) {
  CMainFrame& f = Frame();
  EXPECT_FALSE(Enabled(Cmd::kEditCopy));
  f.RunCommand(33120);
  EXPECT_TRUE(Enabled(Cmd::kEditCopy));
  f.RunCommand(Cmd::kEditCopy);
  EXPECT_TRUE(Enabled(Cmd::kEditPaste));
  f.GetPropertiesPane().GetGrid().SetCurrentDevice(nullptr);
  EXPECT_FALSE(Enabled(Cmd::kEditCopy));
}

// A copy that fails says why, in the words of the writer that refused it, and the file that was
// there keeps its bytes.
TEST_F(DeviceCommands, ExportLogFile_CopiesTheLogOrReportsTheWritersReason) {
  CMainFrame& f = Frame();
  System().WriteLog("exported line\n");
  const std::string target = PathOf("copy.txt");
  const std::string readOnly = PathOf("read-only.txt");
  {
    QFile file(QString::fromStdString(readOnly));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("kept");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner));
  }
  prompts.paths = {target, PathOf("missing/folder/copy.txt"), readOnly};
  f.RunCommand(Cmd::kExportLogFile);
  ASSERT_EQ(prompts.saveSpecs.size(), 1u);
  EXPECT_EQ(prompts.saveSpecs[0].defaultExtension, "txt");
  EXPECT_EQ(prompts.saveSpecs[0].initialName, "OrvakLogFile.txt");
  QFile copy(QString::fromStdString(target));
  ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
  EXPECT_TRUE(copy.readAll().contains("exported line"));
  EXPECT_TRUE(prompts.messages.empty());

  f.RunCommand(Cmd::kExportLogFile);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text,
            "Failed to copy log file.\nThe file could not be created: No such file or directory");

  f.RunCommand(Cmd::kExportLogFile);
  ASSERT_EQ(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages[1].text, "Failed to copy log file.\nThe file could not be written: the file is read-only");
  QFile kept(QString::fromStdString(readOnly));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "kept");
}

TEST_F(DeviceCommands, FoundUnitsJoinTheSelectedZoneAndMeterRepliesOnlyQueue) {
  CMainFrame& f = Frame();
  f.RunCommand(33120);
  f.RunCommand(Cmd::kAddZone);
  CDevice* first = System().GetDevice(0);
  System().GetZones()[0]->RemoveDevice(first);
  System().GetZones()[1]->AppendDevice(first);
  ProcessEvents();
  CDevice* found = System().GetComms().Discovery().AddFoundDevice(9, 114, 0);
  ASSERT_NE(found, nullptr);
  f.PostMessage(FrameMsg::kRefreshRack, 0, 0);
  ProcessEvents();
  EXPECT_EQ(System().GetZones()[1]->GetDevices().size(), 2u);

  f.GetOutputPane().show();  // whatever workspace a test before left
  ProcessEvents();
  CLiveMeterView& meters = f.GetOutputPane().GetLiveMeterView();
  meters.Redraw();
  meters.DrainQueue();
  PostAbout(f, FrameMsg::kRedrawMeterEntry, found, 1);
  QApplication::sendPostedEvents();
  EXPECT_EQ(meters.GetQueueSize(), 1u);
  // Deleting the device before the tick leaves nothing to draw.
  System().DeleteDevice(1);
  meters.DrainQueue();
  EXPECT_EQ(meters.GetQueueSize(), 0u);
  EXPECT_EQ(meters.GetLastDrainRect(), CRect{});
}

}  // namespace

namespace {

TEST_F(DeviceCommands, ContextMenu_FrameCommandsThenTheSelectedDevicesOwnItems) {
  CMainFrame& f = Frame();
  CDeviceView& view = f.GetDeviceView();
  std::unique_ptr<QMenu> plain(view.BuildContextMenu(nullptr));
  QStringList texts;
  for (QAction* a : plain->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(texts, (QStringList{"Properties", "-", "&Copy", "&Paste All Device Settings", "-", "Add Device",
                                "Delete Device"}));
  f.RunCommand(33120);
  std::unique_ptr<QMenu> withDevice(view.BuildContextMenu(System().GetDevice(0)));
  EXPECT_GT(withDevice->actions().size(), plain->actions().size() + 1);
}

TEST_F(DeviceCommands, ContextMenu_AProcessorRenamesPasteInPlaceAndItStillPastesThroughTheFrame) {
  CMainFrame& f = Frame();
  QGuiApplication::clipboard()->clear();
  f.RunCommand(33120);
  f.RunCommand(33120);
  auto* source = dynamic_cast<CNerexSeriesDevice*>(System().GetDevice(0));
  auto* target = dynamic_cast<CNerexSeriesDevice*>(System().GetDevice(1));
  ASSERT_TRUE(source && target);
  CDeviceView& view = f.GetDeviceView();
  auto texts = [](QMenu& menu) {
    QStringList list;
    for (QAction* a : menu.actions()) list << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
  };
  // Nothing to paste: the processor's items stand in the frame's menu, Paste renamed.
  std::unique_ptr<QMenu> empty(view.BuildContextMenu(target));
  EXPECT_EQ(texts(*empty).join('|').toStdString(),
            "Properties|-|&Copy|Paste All Current Settings|-|Clone Device From...|-|Ignore Device When Online|-|"
            "Add Device|Delete Device");
  EXPECT_EQ(f.GetCommand(Cmd::kEditPaste)->text(), "&Paste All Device Settings");

  WritableSettings(*source).inputs.muteMask = 0x5;
  System().SetSelectedDevice(0);
  f.GetPropertiesPane().ShowDeviceProperties(true, source);
  f.RunCommand(Cmd::kEditCopy);
  System().SetSelectedDevice(1);
  f.GetPropertiesPane().ShowDeviceProperties(true, target);
  f.UpdateCommandUI();
  std::unique_ptr<QMenu> menu(view.BuildContextMenu(target));
  const QStringList withPaste = texts(*menu);
  ASSERT_GT(withPaste.size(), 4);
  EXPECT_EQ(withPaste[3], "Paste All Current Settings");
  EXPECT_EQ(withPaste[4], "Paste All Input Sections");
  QAction* paste = menu->actions()[3];
  ASSERT_TRUE(paste->isEnabled());
  paste->trigger();
  EXPECT_EQ(target->GetCurrentSettings().inputs.muteMask, 0x5);
}

// Sornic and Pannex units are never polled, so their names are never read: in the rack each
// tile still carries the model and the ID on the plain amplifier front, its tooltip names model,
// ID (once) and name, and the pane shows the three as rows, the ID editable as for any unit (with the
// same refusals) and kept by the file.
TEST_F(DeviceCommands, UnpolledUnits_ShowModelIdAndNameInTheRackTooltipAndPaneAndKeepANewId) {
  RegisterAmplifierFamilies();
  CMainFrame& f = Frame();
  struct Unit {
    std::uint32_t type, id;
    const char* model;
  };
  const Unit units[] = {{60, 5, "Sornic"}, {49, 6, "Pannex"}, {50, 0x01020304, "Pannex"}};
  std::vector<CDevice*> devices;
  for (const Unit& u : units) {
    devices.push_back(System().CreateDevice(u.id, u.type, 0));
    ASSERT_NE(devices.back(), nullptr);
    System().AppendDevice(devices.back());
    System().GetZones()[0]->AppendDevice(devices.back());
  }
  CDeviceRack& rack = f.GetDeviceView().GetRack();
  rack.Refresh();
  ProcessEvents();

  CTextStyle style;
  style.Set("HandelGotDLig", 8.0f, CColour{0xFFFFFFFFu});
  ASSERT_NE(style.GetFont(), nullptr);
  for (std::size_t i = 0; i < devices.size(); ++i) {
    SCOPED_TRACE(units[i].model + std::string(" ") + std::to_string(units[i].id));
    const CRect tile = rack.GetDeviceRect(devices[i]);
    ASSERT_EQ(tile.Height(), 30);
    const CImage& shown = *rack.GetBackBuffer();
    // The second line reads "<model>   ID : <id>"; the LED is red, as the unit never connects.
    const CInkMask line = InkOf(shown, CRect{tile.left + 30, tile.top + 14, tile.right - 22, tile.top + 27});
    EXPECT_GT(BestMatch(line, InkOfWord(units[i].model, *style.GetFont())), 0.8);
    const CColour led = shown.GetPixel(tile.right - 25, tile.top + 15);
    EXPECT_GT(led.R(), 150);
    EXPECT_LT(led.G(), 80);

    const QPoint centre((tile.left + tile.right) / 2, (tile.top + tile.bottom) / 2);
    QHelpEvent help(QEvent::ToolTip, centre, rack.mapToGlobal(centre));
    QApplication::sendEvent(&rack, &help);
    const QString tip = QToolTip::text();
    EXPECT_TRUE(tip.contains(QStringLiteral("ID : %1").arg(units[i].id))) << tip.toStdString();
    EXPECT_EQ(tip.count(QStringLiteral("ID : %1").arg(units[i].id)), 1) << tip.toStdString();  // told once
    EXPECT_TRUE(tip.contains(QStringLiteral("Model : %1").arg(QLatin1String(units[i].model)))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("Name : (none)"))) << tip.toStdString();
    if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits("QTipLabel")) w->grab().save(folder + QStringLiteral("/tip-%1.png").arg(i));
  }
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    rack.GetBackBuffer()->SavePng((folder + "/rack-sornic-pannex.png").toStdString());

  // A click on the Sornic's tile: the pane shows its rows.
  const CRect sornicTile = rack.GetDeviceRect(devices[0]);
  const QPoint at((sornicTile.left + sornicTile.right) / 2, sornicTile.top + 15);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), rack.mapToGlobal(QPointF(at)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&rack, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), rack.mapToGlobal(QPointF(at)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&rack, &release);
  ProcessEvents();
  CDevicePropertiesCtrl& grid = f.GetPropertiesPane().GetGrid();
  ASSERT_EQ(grid.GetCurrentDevice(), devices[0]);
  auto shown = [&](const char* name) {
    const CDeviceProperty* row = grid.FindRow(name);
    return row ? grid.ItemOf(row)->text(1).toStdString() : std::string("(no row)");
  };
  EXPECT_EQ(shown("Model"), "Sornic");
  EXPECT_EQ(shown("ID"), "5");
  EXPECT_EQ(shown("Name"), "");
  EXPECT_FALSE(grid.BeginEdit(grid.FindRow("Model")));
  EXPECT_FALSE(grid.BeginEdit(grid.FindRow("Name")));
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    f.grab().save(folder + "/frame-sornic-selected.png");

  System().SetModified(false);
  const std::pair<const char*, const char*> refused[] = {{"6", "Device ID 6 already in use"},
                                                          {"abc", "\"abc\" is not a number"},
                                                          {"4294967308", "4294967308 is out of range"},
                                                          {"189", "Device ID 189 would address ID 61 - each byte "
                                                                  "of the ID must be 0 to 127"}};
  for (const auto& [typed, message] : refused) {
    TypeIntoRow(grid, "ID", typed);
    EXPECT_EQ(devices[0]->GetDeviceId(), 5u) << typed;
    EXPECT_EQ(grid.GetErrorTipText().toStdString(), message);
    EXPECT_EQ(shown("ID"), "5");
  }
  EXPECT_FALSE(System().IsModified());
  TypeIntoRow(grid, "ID", "12");
  EXPECT_EQ(devices[0]->GetDeviceId(), 12u);
  EXPECT_TRUE(System().IsModified());
  ProcessEvents();
  EXPECT_EQ(shown("ID"), "12");

  // Without the right to edit device properties the ID row takes nothing.
  System().Users().GetUsers()[0]->SetRestrictionMask(kRestrictEditDeviceProperties);
  f.GetPropertiesPane().ShowDeviceProperties(true, devices[0]);
  EXPECT_FALSE(grid.BeginEdit(grid.FindRow("ID")));
  System().Users().GetUsers()[0]->SetRestrictionMask(0);

  const std::string path = PathOf("unpolled.ovd");
  ASSERT_TRUE(System().File().SaveFile(path));
  ASSERT_TRUE(f.Files().OpenFilePath(path));
  std::vector<std::pair<std::uint32_t, std::uint32_t>> reopened;
  for (CDevice* d : System().GetDevices()) reopened.emplace_back(d->GetTypeCode(), d->GetDeviceId());
  EXPECT_EQ(reopened, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{60, 12}, {49, 6}, {50, 0x01020304}}));
}

}  // namespace
