// The device rack offscreen: its pixels for a known system, scrolling, selection, dragging,
// renaming, blinking and its zone timers.
#include <QKeyEvent>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QToolTip>
#include <cstdlib>
#include <utility>

#include "core/support/SystemMessages.h"
#include "platform/Image.h"
#include "tests/support/ModelChanges.h"
#include "tests/ui/RackFixture.h"
#include "ui/DeviceRack.h"
#include "ui/LiveMeterView.h"
#include "ui/RackCommon.h"
#include "widgets/ErrorTip.h"

namespace {

constexpr CColour kBlue{0xFF2040C0u};
constexpr CColour kRed{0xFFC02020u};
constexpr CColour kGreen{0xFF20C020u};
constexpr CColour kYellow{0xFFC0C020u};

void PressKey(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

class CRackUnderTest : public CDeviceRack {
 public:
  using CDeviceRack::OnTimer;
};

class Rack : public RackFixture {
 protected:
  // Main Zone {a, b}, "Second" collapsed {c}, "Third" {d}: content 150 px high.
  void SetUp() override {
    RackFixture::SetUp();
    a = &AddDevice(Zone(0), 30, 60, kBlue);
    b = &AddDevice(Zone(0), 30, 60, kRed);
    CZone& second = AddZone("Second");
    c = &AddDevice(second, 30, 60, kGreen);
    second.m_bCollapsed = true;
    d = &AddDevice(AddZone("Third"), 30, 60, kYellow);
  }

  CRackUnderTest& Show(int width, int height) {
    rack.resize(width, height);
    rack.SetSystem(&system);
    rack.show();
    QApplication::processEvents();
    return rack;
  }

  CColour Pixel(int x, int y) const { return rack.GetBackBuffer()->GetPixel(x, y); }

  CSizedDevice* a = nullptr;
  CSizedDevice* b = nullptr;
  CSizedDevice* c = nullptr;
  CSizedDevice* d = nullptr;
  CRackUnderTest rack;
};

TEST_F(Rack, Pixels_HeadersTilesSelectionAndCollapsedZone) {
  system.SetSelectedDevice(1);
  Show(200, 300);
  EXPECT_EQ(rack.GetContentHeight(), 150);
  ASSERT_EQ(rack.GetBackBuffer()->Height(), 300);
  EXPECT_EQ(rack.GetBackBuffer()->Width(), 200);
  // Main Zone's header, then a and b; b is selected: outlines in light grey under the veil.
  EXPECT_EQ(Pixel(0, 10), CColour{0xFF000000u});
  EXPECT_EQ(Pixel(30, 35), kBlue);
  const CColour outline = Pixel(0, 60);
  EXPECT_GT(outline.R(), 0xD8);
  EXPECT_EQ(outline.R(), outline.G());
  EXPECT_EQ(Pixel(1, 60), outline);
  const CColour veiled = Pixel(30, 65);
  EXPECT_GT(veiled.R(), kRed.R());
  EXPECT_NEAR(veiled.G(), 0x4B + 0x20 * (255 - 0x4B) / 255, 3);
  // "Second" is collapsed: its header at 80, "Third" at 100 right after it, d below.
  EXPECT_EQ(Pixel(0, 90), CColour{0xFF000000u});
  EXPECT_EQ(Pixel(0, 110), CColour{0xFF000000u});
  EXPECT_EQ(Pixel(30, 135), kYellow);
  for (int y = 0; y < 300; y += 5) EXPECT_NE(Pixel(30, y), kGreen) << y;
  // The collapsed arrow points down: its base is at the top.
  EXPECT_GT(Pixel(182, 85).R(), 0xA0);
  EXPECT_LT(Pixel(177, 94).R(), 0x90);
  // Background below the content: the gradient's dark end.
  EXPECT_NEAR(Pixel(30, 299).R(), 0x19, 4);
  EXPECT_LT(Pixel(30, 299).R(), Pixel(30, 160).R());
}

TEST_F(Rack, Scroll_BarOnlyWhenContentIsTallerAndPositionStaysWithinLimits) {
  Show(200, 300);
  EXPECT_FALSE(rack.IsScrollBarShown());
  EXPECT_EQ(rack.GetScrollPos(), 0);

  rack.resize(200, 100);
  QApplication::processEvents();
  EXPECT_TRUE(rack.IsScrollBarShown());
  EXPECT_LT(rack.GetClientWidth(), 200);
  rack.ScrollBy(CDeviceRack::Scroll::PageForward);
  EXPECT_EQ(rack.GetScrollPos(), 30);
  rack.ScrollBy(CDeviceRack::Scroll::LineForward);
  EXPECT_EQ(rack.GetScrollPos(), 35);
  rack.ScrollBy(CDeviceRack::Scroll::PageForward);
  rack.ScrollBy(CDeviceRack::Scroll::PageForward);
  EXPECT_EQ(rack.GetScrollPos(), 50);  // content 150 - client 100
  rack.ScrollBy(CDeviceRack::Scroll::LineBack);
  EXPECT_EQ(rack.GetScrollPos(), 45);

  // One wheel message moves 10 px whatever its size.
  QWheelEvent up(QPointF(10, 10), rack.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 360), Qt::NoButton,
                 Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&rack, &up);
  EXPECT_EQ(rack.GetScrollPos(), 35);

  // After scrolling, a click selects the tile shown under the pointer: d at window y 135 - 35.
  rack.HandleMouse(CDeviceRack::Mouse::LeftDown, 30, 100);
  rack.HandleMouse(CDeviceRack::Mouse::LeftUp, 30, 100);
  EXPECT_EQ(system.GetSelectedDevice(), 3);
  EXPECT_EQ(Posted(FrameMsg::kSelectDevice), 1u);

  // Shrinking the content keeps the position within content - client; growing the window
  // hides the bar.
  rack.resize(200, 140);
  QApplication::processEvents();
  EXPECT_EQ(rack.GetScrollPos(), 10);
  rack.resize(200, 400);
  QApplication::processEvents();
  EXPECT_FALSE(rack.IsScrollBarShown());
  EXPECT_EQ(rack.GetScrollPos(), 0);
}

TEST_F(Rack, BackBuffer_TheWindowsSizeWithOnlyTheTilesShownAndAScrollDrawsTheRest) {
  system.SetSelectedDevice(3);
  Show(200, 100);
  ASSERT_TRUE(rack.IsScrollBarShown());
  EXPECT_EQ(rack.GetBackBuffer()->Height(), 100);
  EXPECT_EQ(rack.GetBackBuffer()->Width(), rack.GetClientWidth());
  // d (content 120 to 150) lies below the window: not drawn, not even its selection.
  EXPECT_TRUE(d->tileStates.empty());
  EXPECT_FALSE(a->tileStates.empty());
  EXPECT_EQ(Pixel(30, 35), kBlue);

  // Scrolled to the end, the window shows content 50 to 150 and the paint draws d there.
  rack.ScrollBy(CDeviceRack::Scroll::End);
  rack.repaint();
  EXPECT_FALSE(d->tileStates.empty());
  EXPECT_GT(Pixel(30, 135 - 50).R(), kYellow.R());  // under the selection's veil
  EXPECT_EQ(Pixel(30, 65 - 50), kRed);
  // A blink of a tile out of the window draws nothing; scrolled back, the tile shows.
  d->tileStates.clear();
  rack.ScrollBy(CDeviceRack::Scroll::Start);
  rack.repaint();
  d->warnings = 1;
  d->Connect();
  rack.UpdateDevice(false);
  EXPECT_TRUE(d->tileStates.empty());
  EXPECT_EQ(Pixel(30, 35), kBlue);
}

TEST_F(Rack, Drag_MovesWithinAndAcrossExpandedZonesAndAlwaysMarksModified) {
  Show(200, 300);
  auto drag = [this](CDevice* device, int toY) {
    const CRect from = rack.GetDeviceRect(device);
    rack.HandleMouse(CDeviceRack::Mouse::LeftDown, 30, from.top + 5);
    rack.HandleMouse(CDeviceRack::Mouse::Move, 30, toY);
    rack.HandleMouse(CDeviceRack::Mouse::LeftUp, 30, toY);
  };
  // The first device of the first zone upwards: nothing moves, the file is modified.
  ASSERT_FALSE(system.IsModified());
  drag(a, 5);
  EXPECT_EQ(Zone(0).GetDevices(), (std::vector<CDevice*>{a, b}));
  EXPECT_TRUE(system.IsModified());
  EXPECT_EQ(Posted(FrameMsg::kRebuildMeters), 0u);

  // b down out of its zone: the collapsed "Second" is skipped, "Third" takes it at its front.
  drag(b, 85);
  EXPECT_EQ(Zone(0).GetDevices(), (std::vector<CDevice*>{a}));
  EXPECT_EQ(Zone(2).GetDevices(), (std::vector<CDevice*>{b, d}));
  EXPECT_EQ(Posted(FrameMsg::kRebuildMeters), 1u);
  EXPECT_EQ(rack.GetDragDevice(), nullptr);

  // d up within its zone, then b (now second) up out of it: appended to the Main Zone.
  drag(d, 70);
  EXPECT_EQ(Zone(2).GetDevices(), (std::vector<CDevice*>{d, b}));
  drag(b, 20);
  drag(b, 20);
  EXPECT_EQ(Zone(0).GetDevices(), (std::vector<CDevice*>{a, b}));

  // With every zone below collapsed, the last device of a zone stays where it is.
  Zone(2).m_bCollapsed = true;
  rack.Refresh();
  drag(b, 200);
  EXPECT_EQ(Zone(0).GetDevices(), (std::vector<CDevice*>{a, b}));
  EXPECT_EQ(Zone(1).GetDevices(), (std::vector<CDevice*>{c}));
}

TEST_F(Rack, Clicks_DoubleClickOpensPanelRightClickSelectsAndMenuOnlyOnZones) {
  Show(200, 300);
  rack.HandleMouse(CDeviceRack::Mouse::RightDown, 30, 60);
  EXPECT_EQ(system.GetSelectedDevice(), 1);
  rack.HandleMouse(CDeviceRack::Mouse::DoubleClick, 30, 30);
  const auto posts = sink.Messages();
  ASSERT_FALSE(posts.empty());
  EXPECT_EQ(posts.back().message, FrameMsg::kOpenDevicePanel);
  EXPECT_EQ(posts.back().handle, a->GetHandle());
  EXPECT_EQ(rack.IsDeviceAt(30, 30), 1);
  EXPECT_EQ(rack.IsDeviceAt(30, 10), -1);
  EXPECT_TRUE(rack.IsZoneAt(30, 10));
  EXPECT_TRUE(rack.IsZoneAt(30, 130));
  EXPECT_FALSE(rack.IsZoneAt(30, 160));  // below the last zone
}

TEST_F(Rack, Rename_EnterAppliesAndMarksModifiedEscapeKeepsTheName) {
  Show(200, 300);
  // The 48 px on the right are the arrow's: no rename there.
  rack.HandleMouse(CDeviceRack::Mouse::DoubleClick, 170, 90);
  EXPECT_EQ(rack.GetRenameZone(), -1);
  rack.HandleMouse(CDeviceRack::Mouse::DoubleClick, 30, 90);
  ASSERT_EQ(rack.GetRenameZone(), 1);
  QLineEdit* edit = rack.GetRenameEditor();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->text(), "Second");
  EXPECT_EQ(edit->selectedText(), "Second");
  edit->setText("Stage Left");
  PressKey(edit, Qt::Key_Return);
  EXPECT_EQ(Zone(1).GetName(), "Stage Left");
  EXPECT_TRUE(system.IsModified());
  EXPECT_EQ(Posted(FrameMsg::kRebuildMeters), 1u);
  EXPECT_EQ(rack.GetRenameEditor(), nullptr);

  system.SetModified(false);
  rack.BeginRename(2);
  rack.GetRenameEditor()->setText("Gone");
  PressKey(rack.GetRenameEditor(), Qt::Key_Escape);
  EXPECT_EQ(Zone(2).GetName(), "Third");
  EXPECT_FALSE(system.IsModified());
}

// A zone name with a tab or a line end pasted into it would show on two clipped lines in the
// header: it is refused in words under the header and the zone keeps its name; any other
// character is taken.
TEST_F(Rack, Rename_ANameWithControlCharactersIsRefusedInWordsUnderTheHeader) {
  Show(260, 300);
  rack.BeginRename(1);
  ASSERT_NE(rack.GetRenameEditor(), nullptr);
  rack.GetRenameEditor()->setText(QString::fromUtf8("Z\xC3\xB6ne\tA\nB"));
  PressKey(rack.GetRenameEditor(), Qt::Key_Return);
  EXPECT_EQ(Zone(1).GetName(), "Second");
  EXPECT_FALSE(system.IsModified());
  ASSERT_NE(rack.GetRefusalTip(), nullptr);
  EXPECT_TRUE(rack.GetRefusalTip()->isVisible());
  EXPECT_EQ(rack.GetRefusalTip()->Message(), "Zone name cannot contain control characters");
  const QPoint under = rack.GetRefusalTip()->mapToGlobal(QPoint()) - rack.mapToGlobal(QPoint());
  EXPECT_EQ(under.y(), rack.GetZoneHeaderRect(&Zone(1)).bottom + 2);  // just under the header
  if (const char* dir = std::getenv("ORVAK_RACK_PNG")) {
    QImage shot(rack.size() + QSize(0, 40), QImage::Format_ARGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    rack.render(&painter);
    rack.GetRefusalTip()->render(&painter, under);
    painter.end();
    shot.save(QString::fromLocal8Bit(dir) + "/rack-zone-name-refused.png");
  }
  rack.BeginRename(1);
  rack.GetRenameEditor()->setText(QString::fromUtf8("Z\xC3\xB6ne \xE6\x97\xA5"));
  PressKey(rack.GetRenameEditor(), Qt::Key_Return);
  EXPECT_EQ(Zone(1).GetName(), "Z\xC3\xB6ne \xE6\x97\xA5");
}

TEST_F(Rack, Blink_RedrawsWarnedConnectedTilesAndOnceMoreWhenTheyStop) {
  Show(200, 300);
  a->warnings = 1;
  a->Connect();
  b->warnings = 1;  // not connected: never blinks
  a->tileStates.clear();
  b->tileStates.clear();
  rack.UpdateDevice(false);
  rack.UpdateDevice(true);
  EXPECT_EQ(a->tileStates, (std::vector<int>{2, 1}));
  EXPECT_TRUE(b->tileStates.empty());

  a->warnings = 0;
  a->tileStates.clear();
  rack.UpdateDevice(false);  // a was drawn normal in the last "true" phase: drawn once more
  rack.UpdateDevice(true);
  rack.UpdateDevice(false);
  EXPECT_EQ(a->tileStates, (std::vector<int>{1}));

  // A deleted device leaves neither blink list.
  a->warnings = 1;
  rack.UpdateDevice(false);
  system.DeleteDevice(0);
  rack.Refresh();
  rack.UpdateDevice(true);
}

// A blink phase of a rack of many units measures no tile while no unit blinks, and each tile at
// most once (one walk of the zones) while some do, in the rack and in the meter strip alike;
// the blinking tiles in view are drawn in their looks all the same.
TEST_F(Rack, Blink_MeasuresEachTileAtMostOncePerPhaseHoweverManyUnits) {
  std::vector<CSizedDevice*> units{a, b, c, d};
  for (int i = 0; i < 400; ++i) units.push_back(&AddDevice(Zone(i % 2 == 0 ? 0 : 2)));
  Show(200, 300);
  CLiveMeterView strip;
  strip.resize(400, 100);
  strip.SetSystem(&system);
  strip.show();
  QApplication::processEvents();
  auto measured = [&units] {
    int count = 0;
    for (CSizedDevice* unit : units) count += std::exchange(unit->measures, 0);
    return count;
  };
  auto blinkBoth = [&](bool phase) {
    rack.UpdateDevice(phase);
    strip.UpdateDeviceMeters(phase);
  };
  measured();
  blinkBoth(false);
  blinkBoth(true);
  EXPECT_EQ(measured(), 0);

  CSizedDevice* early = units[4];
  CSizedDevice* late = units.back();
  for (CSizedDevice* unit : {early, late}) {
    unit->warnings = 1;
    unit->Connect();
    unit->tileStates.clear();
    unit->monitorStates.clear();
  }
  blinkBoth(false);
  EXPECT_LE(measured(), 2 * int(units.size()));
  blinkBoth(true);
  EXPECT_LE(measured(), 2 * int(units.size()));
  EXPECT_EQ(early->tileStates, (std::vector<int>{2, 1}));
  EXPECT_EQ(early->monitorStates.size(), 2u);
  EXPECT_TRUE(late->tileStates.empty());  // far below the window: not drawn
}

TEST_F(Rack, ZoneTimers_TickTheirZoneAndStopWhenTheZoneIsGone) {
  Show(200, 300);
  Zone(2).OnHeaderClick(CPoint{180, 110}, rack.GetZoneHeaderRect(&Zone(2)));
  ASSERT_EQ(Zone(2).m_nAnimState, 1);
  rack.SetTimer(103, 33);
  rack.OnTimer(103);
  EXPECT_EQ(Zone(2).m_nAnimHeight, 40);
  // The zone is deleted while it moves: its timer ticks into nothing and stops.
  system.DeleteZone(&Zone(2), false);
  rack.OnTimer(103);
  EXPECT_FALSE(rack.HasTimer(103));
  EXPECT_EQ(Zone(1).GetDevices(), (std::vector<CDevice*>{c, d}));
}

TEST_F(Rack, ZoneTimers_AZoneDeletedDuringAnotherZonesAnimationLeavesItMoving) {
  Show(200, 300);
  CZone* third = &Zone(2);
  third->OnHeaderClick(CPoint{180, 110}, rack.GetZoneHeaderRect(third));
  ASSERT_EQ(third->m_nAnimState, 1);
  rack.StartZoneTimer(third, 33);
  const std::uint32_t id = rack.GetZoneTimer(third);
  EXPECT_EQ(id, 103u);
  // "Second" goes while "Third" collapses: "Third" is now the second zone, its timer still its own.
  system.DeleteZone(&Zone(1), false);
  ASSERT_EQ(&Zone(1), third);
  for (int tick = 0; tick < 50 && third->m_nAnimState != 0; ++tick) rack.OnTimer(id);
  EXPECT_EQ(third->m_nAnimState, 0);
  EXPECT_TRUE(third->m_bCollapsed);
  // A zone now at index 2 may start its own timer; the end of "Third"'s stops only "Third"'s.
  CZone& fourth = AddZone("Fourth");
  fourth.OnHeaderClick(CPoint{180, 130}, rack.GetZoneHeaderRect(&fourth));
  rack.StartZoneTimer(&fourth, 33);
  EXPECT_NE(rack.GetZoneTimer(&fourth), id);
  rack.StopZoneTimer(third);
  EXPECT_FALSE(rack.HasTimer(id));
  EXPECT_TRUE(rack.HasTimer(rack.GetZoneTimer(&fourth)));
}

TEST_F(Rack, Rename_SurvivesAResizeOfTheRackOverTheHeadersNewWidth) {
  Show(200, 300);
  rack.BeginRename(1);
  QLineEdit* edit = rack.GetRenameEditor();
  ASSERT_NE(edit, nullptr);
  edit->setText("Balcony");
  rack.resize(260, 280);
  QApplication::processEvents();
  ASSERT_EQ(rack.GetRenameEditor(), edit);
  EXPECT_EQ(rack.GetRenameZone(), 1);
  EXPECT_EQ(edit->geometry(), QRect(6, 80, 260 - 54, 20));
  EXPECT_EQ(edit->text(), "Balcony");
  PressKey(edit, Qt::Key_Return);
  EXPECT_EQ(Zone(1).GetName(), "Balcony");
}

TEST_F(Rack, ToolTips_TitleFromNameOrIdAndNoneWithoutStatus) {
  NameDevice(a, "Front Fill   ");
  a->status = "Online\nTemperature 40";
  CDeviceTip tip = MakeDeviceTip(*a, true);
  EXPECT_EQ(tip.title, "Front Fill");
  EXPECT_EQ(tip.description, "Online\nTemperature 40");
  b->status = "Offline";
  EXPECT_EQ(MakeDeviceTip(*b, true).title, "ID : 2");
  EXPECT_EQ(MakeDeviceTip(*b, false).title, "");
  EXPECT_TRUE(DeviceToolTip(*c, true).isEmpty());
  NameDevice(c, std::string(120, 'x'));
  c->status = "On";
  EXPECT_EQ(MakeDeviceTip(*c, true).title.size(), 79);
  // What is known of the unit on the line heads the status lines, the address clash first.
  const std::string late = "Answers about 300 ms late: \"SuperDebug\" on and \"CommsTimeoutConstant\" at 350 serve it";
  b->UnitAtId().SetLateAnswerNote(late);
  b->UnitAtId().SetAddressClash("Address clash: its identity query is also answered by Nerex24 ID: 2");
  b->status = "\nNot Connected";
  EXPECT_EQ(MakeDeviceTip(*b, true).description.toStdString(),
            "\nAddress clash: its identity query is also answered by Nerex24 ID: 2\n" + late + "\nNot Connected");
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    QToolTip::showText(QPoint(20, 20), DeviceToolTip(*b, true));
    QApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->inherits("QTipLabel") && w->isVisible()) w->grab().save(folder + "/rack-tooltip-line-notes.png");
    QToolTip::hideText();
  }
}

}  // namespace
