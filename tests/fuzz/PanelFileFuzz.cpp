// Fuzz target of system files that hold custom panels, widgets of every kind and pictures, with
// every device family registered: any bytes must open cleanly or be refused with a message.
// What opens is shown by the real panel view in operate and in design mode, driven by the mouse
// at its widgets (the text editor committing what it is given), its rows and entries read and
// handed back as the properties pane does, and stored; what was stored must open again. The
// input is the file itself, so that a damaged file found anywhere can join the corpus as it is.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "custom/CPData.h"
#include "core/system/System.h"
#include "platform/Archive.h"
#include "platform/MouseMessages.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/RecordingUi.h"
#include "ui/CustomControlPanelWnd.h"

namespace {

class CQuietUi : public CRecordingUi {
 public:
  void ShowFileError(const std::string&, const std::string&) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
};

class CCollectingGrid : public IDevicePropertyGrid {
 public:
  void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) override { groups.push_back(std::move(group)); }
  std::vector<std::unique_ptr<CDevicePropertyGroup>> groups;
};

// The panel view is a widget: the application must be a widget application, made before the
// shared set-up would make a plain one.
void SetUp() {
  static const bool done = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at exit it would outlive the Qt globals its windows' devices use.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    return true;
  }();
  (void)done;
  FuzzSetUp();
}

// Panels, widgets and rows handled per input, enough to reach every kind and keep runs short.
constexpr std::size_t kPanels = 3;
constexpr std::size_t kWidgets = 40;
// The view is never made larger than this here; the panel's own bound is checked apart.
constexpr int kViewWidth = 800;
constexpr int kViewHeight = 600;

CPoint Centre(const CRect& r) {
  return CPoint{int((std::int64_t(r.left) + r.right) / 2), int((std::int64_t(r.top) + r.bottom) / 2)};
}

// Reads every row of the object and hands each back unchanged, as a commit does.
void Properties(IPropertyGridOwner& rows) {
  CCollectingGrid grid;
  rows.FillPropertiesPane(grid);
  for (const auto& group : grid.groups)
    for (const auto& row : group->rows) rows.OnPropertyChanged(*row);
}

// A typed text for the text widgets' editor, chosen by the input.
const char* EditText(unsigned salt) {
  static const char* const kTexts[] = {"12.5", "-3 dB", "1k5", "nan", "20ft", "abc", "1e40", "5m"};
  return kTexts[salt % std::size(kTexts)];
}

void Operate(CSystem& system, CCustomControlPanelWnd& view, CCPData& panel, unsigned salt) {
  system.Panels().SetDesignMode(0);
  view.RebuildDisplay();
  const int dx = int(salt % 23) - 11, dy = int(salt % 31) - 15;
  for (std::size_t i = 0; i < panel.m_widgets.size() && i < kWidgets; ++i) {
    const CPoint c = Centre(panel.m_widgets[i]->m_rect);
    view.OnLButtonDown(MK_LBUTTON, c);
    view.OnMouseMove(MK_LBUTTON, CPoint{c.x + dx, c.y + dy});
    view.OnLButtonUp(0, CPoint{c.x + dx, c.y + dy});
    view.DispatchMouseMessage(WM_MOUSEWHEEL, std::uint32_t(dy < 0 ? -120 : 120), c.x, c.y);
    view.DispatchMouseMessage(WM_LBUTTONDBLCLK, 0, c.x, c.y);
    if (QLineEdit* box = view.GetTextEditorBox()) {
      box->setText(QString::fromLatin1(EditText(salt + unsigned(i))));
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QApplication::sendEvent(box, &enter);
    }
  }
  view.OnMouseMove(0, CPoint{-5, -5});
}

void Design(CSystem& system, CCustomControlPanelWnd& view, CCPData& panel, unsigned salt) {
  system.Panels().SetDesignMode(1);
  Properties(panel);
  for (std::size_t i = 0; i < panel.m_widgets.size() && i < kWidgets; ++i) {
    CCustomControlObject* widget = panel.m_widgets[i];
    Properties(*widget);
    view.Designer().AddToSelection(widget);
  }
  view.RebuildDisplay();
  if (panel.m_widgets.empty()) return;
  // Move the selection, resize the last one by a corner, nudge, then copy and paste it.
  const CPoint c = Centre(panel.m_widgets.front()->m_rect);
  const int d = int(salt % 17) - 8;
  view.OnLButtonDown(MK_LBUTTON, c);
  view.OnMouseMove(MK_LBUTTON, CPoint{c.x + d, c.y - d});
  view.OnLButtonUp(0, CPoint{c.x + d, c.y - d});
  const auto& selection = view.Designer().GetSelection();
  CCustomControlObject* last = selection.empty() ? nullptr : selection.back();
  if (last && last->GetSizingMode() == 3) {
    const CRect handle = CCustomPanelDesigner::GetHandleRect(last, 8);
    const CPoint grab{handle.left + 2, handle.top + 2};
    view.Designer().ClearSelection();
    view.Designer().AddToSelection(last);
    view.OnLButtonDown(MK_LBUTTON, grab);
    view.OnMouseMove(MK_LBUTTON, CPoint{grab.x - 3 * d, grab.y + 2 * d});
    view.OnLButtonUp(0, CPoint{grab.x - 3 * d, grab.y + 2 * d});
  }
  view.OnKeyDown(VK_RIGHT);
  view.OnKeyDown(VK_DOWN);
  view.OnCommand(kCmdEditCopy);
  view.OnCommand(kCmdEditPaste);
  view.OnCommand(kCmdRaiseToTop);
  view.OnDesignClick(0, c);
}

}  // namespace

// Font lookups for faces named in widget records fill fontconfig's caches, which it never
// frees; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SetUp();
  CQuietUi ui;
  CSystem system;
  system.SetUiServices(&ui);
  CArchive ar(std::vector<std::uint8_t>(data, data + size));
  if (!system.File().Serialize(ar)) return 0;

  unsigned salt = 0;
  for (std::size_t i = 0; i < size; i += 97) salt = salt * 31 + data[i];
  const auto panels = system.GetCustomPanels();
  for (std::size_t n = 0; n < panels.size() && n < kPanels; ++n) {
    CCPData& panel = *panels[n];
    // The panel's window is never larger than a screen, whatever the file said: its view keeps
    // a picture of its whole area.
    const auto& p = panel.m_placement;
    const std::int64_t width = std::int64_t(p[8]) - p[6], height = std::int64_t(p[9]) - p[7];
    if (width > kPanelSizeLimit || height > kPanelSizeLimit) std::abort();
    CCustomControlPanelWnd view(system);
    view.SetPanelData(&panel);
    view.resize(int(std::clamp<std::int64_t>(width, 1, kViewWidth)),
                int(std::clamp<std::int64_t>(height, 1, kViewHeight)));
    Operate(system, view, panel, salt);
    Design(system, view, panel, salt);
    Operate(system, view, panel, salt + 1);
  }

  CArchive out;
  if (!system.File().Serialize(out)) std::abort();
  CQuietUi backUi;
  CSystem back;
  back.SetUiServices(&backUi);
  CArchive in(out.TakeData());
  if (!back.File().Serialize(in)) std::abort();
  return 0;
}
