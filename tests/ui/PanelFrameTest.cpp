// The panel frames: placement records, fixed device frames that save at the end of a drag,
// custom frames that follow the design mode, and the close refusal for restricted users.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMouseEvent>
#include <QToolBar>
#include <cstdlib>

#include "custom/CPData.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "tests/support/TestDevices.h"
#include "ui/CCPFrame.h"
#include "ui/ChildFrame.h"

namespace {

// A plain window standing in for a device panel view.
class CPanelView : public QWidget, public CTestControlPanel {};

// A plain window standing in for a custom panel view.
class CCustomView : public QWidget, public CTestCustomPanelView {};

void ReleaseMouse(QWidget* frame) {
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), frame->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(frame, &release);
}

}  // namespace

TEST(PlacementRecordTest, TenWordsRoundTripAndTheRectangleIsNormalised) {
  const PlacementWords words{2, 1, -1, -1, 40, 50, 10, 20, 310, 220};
  EXPECT_EQ(PlacementToWords(MakeWindowPlacement(words)), words);
  CWindowPlacement flipped = MakeWindowPlacement(words);
  flipped.normalPosition = CRect{310, 220, 10, 20};
  EXPECT_EQ(PlacementToWords(flipped), words);
  EXPECT_EQ(MakeWindowPlacement(words).minPosition, (CPoint{40, 50}));
  EXPECT_EQ(MakeWindowPlacement(words).maxPosition, (CPoint{-1, -1}));
  EXPECT_EQ(NormalizeRect(CPoint{5, 9}, CPoint{1, 2}), (CRect{1, 2, 5, 9}));
  EXPECT_TRUE(RectsEqual(CRect{1, 2, 3, 4}, CRect{1, 2, 3, 4}));
  EXPECT_FALSE(RectsEqual(CRect{1, 2, 3, 4}, CRect{1, 2, 3, 5}));
}

class PanelFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    area.resize(1000, 800);
    area.show();
    device = new CTestDevice(&system, 1);
    system.AppendDevice(device);
  }
  void TearDown() override {
    for (QMdiSubWindow* frame : area.subWindowList()) delete frame;
  }

  // A device frame with a view bound to the device, in the area.
  CChildFrame* OpenDeviceFrame(CPanelView*& view) {
    view = new CPanelView;
    view->SetDevice(device);
    device->SetControlPanel(view);
    auto* frame = new CChildFrame(&system, view, view);
    area.addSubWindow(frame);
    frame->show();
    return frame;
  }

  QMdiArea area;
  CSystem system;
  CTestDevice* device = nullptr;
};

TEST_F(PanelFrameTest, DeviceFrame_HoldsThePanelSizeAndCannotBeResized) {
  CPanelView* view = nullptr;
  CChildFrame* frame = OpenDeviceFrame(view);
  frame->move(30, 40);
  frame->SizeToPanel(CSize{420, 180});
  EXPECT_EQ(view->size(), QSize(420, 180));
  EXPECT_EQ(frame->minimumSize(), frame->maximumSize());
  EXPECT_EQ(frame->pos(), QPoint(30, 40));
  EXPECT_FALSE(frame->windowFlags() & Qt::WindowMaximizeButtonHint);
  const CWindowPlacement placement = frame->GetWindowPlacement();
  EXPECT_EQ(placement.showCmd, SW_SHOWNORMAL);
  EXPECT_EQ(placement.normalPosition,
            (CRect{30, 40, 30 + frame->width(), 40 + frame->height()}));
}

TEST_F(PanelFrameTest, DeviceFrame_SavesItsPlacementAtTheEndOfADragOnly) {
  CPanelView* view = nullptr;
  CChildFrame* frame = OpenDeviceFrame(view);
  frame->SizeToPanel(CSize{200, 100});
  frame->move(10, 10);
  frame->SavePlacement();
  system.SetModified(false);
  const CWindowPlacement stored = device->PanelPlacement().GetPanelPlacement();
  // A plain move stores nothing.
  frame->move(70, 90);
  EXPECT_EQ(device->PanelPlacement().GetPanelPlacement(), stored);
  EXPECT_FALSE(system.IsModified());
  // The end of the drag stores it and marks the file modified.
  ReleaseMouse(frame);
  EXPECT_EQ(device->PanelPlacement().GetPanelPlacement().normalPosition.left, 70);
  EXPECT_EQ(device->PanelPlacement().GetPanelPlacement().normalPosition.top, 90);
  EXPECT_TRUE(system.IsModified());
  // Moving back to exactly where it was stored does not mark the file modified.
  system.SetModified(false);
  frame->move(30, 30);
  frame->move(70, 90);
  ReleaseMouse(frame);
  EXPECT_FALSE(system.IsModified());
}

TEST_F(PanelFrameTest, DeviceFrame_AppliesAStoredPlacementWithItsState) {
  CPanelView* view = nullptr;
  CChildFrame* frame = OpenDeviceFrame(view);
  CWindowPlacement placement;
  placement.showCmd = SW_SHOWNORMAL;
  placement.minPosition = CPoint{-1, -1};
  placement.maxPosition = CPoint{-1, -1};
  placement.normalPosition = CRect{120, 60, 420, 260};
  frame->SetWindowPlacement(placement);
  EXPECT_EQ(frame->geometry(), QRect(120, 60, 300, 200));
  EXPECT_EQ(frame->GetWindowPlacement(), placement);
  // Minimised, the normal rectangle is kept.
  placement.showCmd = SW_SHOWMINIMIZED;
  frame->SetWindowPlacement(placement);
  EXPECT_TRUE(frame->isMinimized());
  EXPECT_EQ(frame->GetWindowPlacement().showCmd, SW_SHOWMINIMIZED);
  EXPECT_EQ(frame->GetWindowPlacement().normalPosition, (CRect{120, 60, 420, 260}));
}

TEST_F(PanelFrameTest, DeviceFrame_ClosingDropsThePanelFromTheOrderAndUnbindsIt) {
  CPanelView* view = nullptr;
  CChildFrame* frame = OpenDeviceFrame(view);
  system.Panels().OnPanelActivated(CSystemPanels::CPanelView{view, nullptr});
  EXPECT_EQ(device->PanelPlacement().GetPanelOrder(), 1);
  frame->close();
  EXPECT_EQ(device->PanelPlacement().GetPanelOrder(), 0);
  EXPECT_TRUE(system.IsModified());
}

class CustomFrameTest : public PanelFrameTest {
 protected:
  CCCPFrame* OpenCustomFrame(std::int32_t mode) {
    system.Panels().SetDesignMode(mode);
    data = new CCPData;
    system.Panels().AppendCustomPanel(data);
    view = new CCustomView;
    view->resize(300, 200);
    data->m_pView = view;
    auto* frame = new CCCPFrame(view, view);
    frame->SetSystem(&system);
    area.addSubWindow(frame);
    frame->show();
    frame->LayoutForMode();
    return frame;
  }
  CCPData* data = nullptr;
  CCustomView* view = nullptr;
};

TEST_F(CustomFrameTest, OperateMode_HasNoToolbarAndAFixedSize) {
  CCCPFrame* frame = OpenCustomFrame(0);
  EXPECT_FALSE(frame->GetDesignToolBar()->isVisible());
  EXPECT_EQ(frame->minimumSize(), frame->maximumSize());
  EXPECT_EQ(frame->GetPanelData(), data);
}

TEST_F(CustomFrameTest, DesignMode_ShowsTheToolbarWithTheToolsInOrder) {
  CCCPFrame* frame = OpenCustomFrame(1);
  QToolBar* bar = frame->GetDesignToolBar();
  EXPECT_TRUE(bar->isVisible());
  std::vector<std::uint32_t> ids;
  for (QAction* action : bar->actions()) ids.push_back(action->isSeparator() ? 0 : action->data().toUInt());
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{32869, 32870, 32871, 32872, 32873, 32874, 32875, 0, 32876, 32877, 0,
                                             32878, 0, 32879, 32880, 32881, 32882}));
  // The prompt before the line feed, the tooltip after it, as the string table has them.
  EXPECT_EQ(bar->actions().front()->statusTip().toStdString(), "Select Mode");
  EXPECT_EQ(bar->actions().front()->toolTip().toStdString(), "Use the cursor to select objects in the view");
  EXPECT_EQ(bar->actions().back()->toolTip().toStdString(), "Lower to Bottom");
  std::vector<std::uint32_t> run;
  frame->SetCommandHandler([&](std::uint32_t id) { run.push_back(id); });
  bar->actions().back()->trigger();
  EXPECT_EQ(run, (std::vector<std::uint32_t>{32882}));
  if (const char* png = std::getenv("ORVAK_SAVE_CUSTOM_FRAME_PNG")) {
    frame->resize(400, 300);
    view->setAutoFillBackground(true);
    view->setPalette(QPalette(QColor(0, 0, 40)));
    area.grab().save(QString::fromUtf8(png));
  }
}

TEST_F(CustomFrameTest, PlacementIsStoredInDesignGeometryWhateverTheMode) {
  // Stored in operate mode: the record holds the larger design-mode frame.
  CCCPFrame* frame = OpenCustomFrame(0);
  frame->move(50, 60);
  const QRect operate = frame->geometry();
  const int toolbar = frame->ToolBarHeight();
  const PlacementWords stored = data->m_placement;
  EXPECT_EQ(stored[6], 50);
  EXPECT_EQ(stored[7], 60);
  EXPECT_EQ(stored[8] - stored[6], operate.width() + 2 * kSizeFrameExtra);
  EXPECT_EQ(stored[9] - stored[7], operate.height() + toolbar + 2 * kSizeFrameExtra);
  EXPECT_TRUE(system.IsModified());
  // Restored in operate mode it gives back the operate frame; in design mode the design frame.
  frame->RestorePlacement(MakeWindowPlacement(stored));
  EXPECT_EQ(frame->geometry(), operate);
  system.Panels().SetDesignMode(1);
  frame->LayoutForMode();
  frame->RestorePlacement(MakeWindowPlacement(stored));
  EXPECT_EQ(frame->geometry(), QRect(50, 60, stored[8] - 50, stored[9] - 60));
  // Stored again in design mode: the same words, the file not marked again.
  system.SetModified(false);
  frame->SavePlacement();
  EXPECT_EQ(data->m_placement, stored);
  EXPECT_FALSE(system.IsModified());
}

struct CloseCase {
  const char* name;
  bool disableClose;
  std::uint64_t restriction;
  bool refused;
};

class CloseRefusalTest : public CustomFrameTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseRefusalTest, CloseBoxFollowsTheLockAndTheUsersRights) {
  const CloseCase& c = GetParam();
  CCCPFrame* frame = OpenCustomFrame(0);
  data->m_disableClosePanel = c.disableClose;
  system.Users().GetUsers()[0]->SetRestrictionMask(c.restriction);
  system.Users().SetCurrentUser(0);
  EXPECT_EQ(frame->IsCloseRefused(), c.refused);
  const bool closed = frame->close();
  EXPECT_EQ(closed, !c.refused);
  if (c.refused) {
    // The program's own close is never refused.
    EXPECT_TRUE(frame->isVisible());
    frame->CloseFromProgram();
    EXPECT_FALSE(frame->isVisible());
  }
}

TEST_F(CustomFrameTest, RemoveCloseCommand_DropsTheCloseBox) {
  CCCPFrame* frame = OpenCustomFrame(0);
  EXPECT_TRUE(frame->windowFlags() & Qt::WindowCloseButtonHint);
  frame->RemoveCloseCommand();
  EXPECT_FALSE(frame->windowFlags() & Qt::WindowCloseButtonHint);
}

INSTANTIATE_TEST_SUITE_P(Rights, CloseRefusalTest,
                         ::testing::Values(CloseCase{"UnlockedRestricted", false, 0x2, false},
                                           CloseCase{"LockedAdmin", true, 0, false},
                                           CloseCase{"LockedRestricted", true, 0x2, true},
                                           CloseCase{"LockedHighBit", true, std::uint64_t(1) << 40, true}),
                         [](const ::testing::TestParamInfo<CloseCase>& info) { return info.param.name; });
