// The push-button widget (control type 8) and the LED (type 2), which is a button in all but
// its type, its defaults, its refusal of the mouse and its captions.
#pragma once

#include <string>

#include "custom/CustomControlObject.h"
#include "custom/WidgetDrawing.h"
#include "core/draw/TextStyle.h"
#include "custom/WidgetProperties.h"

class CSnapshot;
class ICustomPanelHost;

// Button flags.
enum : std::uint32_t {
  kButtonHalo = 0x4,
  kButtonOffset = 0x8,
  kButtonNoPress = 0x10,
  kButtonOutline = 0x20,
  kButtonFill = 0x40,
  kButtonStretchImage = 0x100,
  kButtonFixToImage = 0x200,
  kButtonAlignLeft = 0x400,
  kButtonAlignCentre = 0x800,
  kButtonAlignRight = 0x1000,
  kButtonAlignTop = 0x2000,
  kButtonAlignMiddle = 0x4000,
  kButtonAlignBottom = 0x8000,
  kButtonModifyParameter = 0x10000,
  kButtonLaunchPanel = 0x20000,
  kButtonRecallSnapshot = 0x40000,
  kButtonActions = kButtonModifyParameter | kButtonLaunchPanel | kButtonRecallSnapshot,
};
inline constexpr std::uint32_t kButtonDefaultFlags = 0x14920;
inline constexpr std::uint32_t kLedDefaultFlags = 0x14A60;

class CCCButton : public CCustomControlObject {
 public:
  // Made for loading: the defaults, no rectangle.
  CCCButton() = default;
  // Made by the Add Button command with (0, 0, 50, 20); Add LED uses the LED's constructor.
  CCCButton(CCustomControlPanel* view, const CRect& rect);
  // The clipboard copy: everything but the binding (the halo size included).
  CCCButton(const CCCButton& source);

  // Version 2 written; 1 (no panel and snapshot ids, Modify Parameter added) and 2 read;
  // another version throws CArchiveException (BadFormat). The halo size is not stored.
  void Serialize(CArchive& ar, const CRecordLookup& lookup) override;
  // The button's own fields; on load the image id is read and not applied.
  void SerializeStream(CDataStream& ds, const CRecordLookup& lookup) override;
  std::uint32_t GetControlType() const override { return kControlButton; }
  // The rectangle, one pixel more right and down with the offset look, else grown by the halo.
  CRect GetBoundsRect() const override;
  // Face or image, halo and offset when lit, shading or darkening when unlit (operate mode).
  void Draw(Graphics& g, const CRect& paint, bool designMode) override;
  // Presses and releases by action; an LED and a button with flag 0x10 ignore the mouse.
  void OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                      CRect& redraw) override;
  // The press is let go without a release: the button is no longer held.
  void Deactivate() override { m_held = false; }
  std::uint32_t GetSizingMode() const override;
  // Modify Parameter follows an on/off value: the bounds when the state or the parameter's
  // inactive flag changed, else nothing.
  CRect OnParameterUpdate(const CParamValue& value) override;
  CRect OnSnapshotRecalled(const CUuid& snapshot) override;
  void RefreshState() override;
  bool ReleaseImage(CCCImageBase* image) override;
  bool ClearPanelReference(const CUuid& panel) override;
  bool ClearSnapshotReference(const CUuid& snapshot) override;
  bool IsLED() const { return GetControlType() == kControlLed; }
  // Only a button that sets its parameter changes its device; one that opens a panel or
  // recalls a snapshot does not (the recall has a right of its own).
  bool ChangesDevice() const override { return IsLinked() && (m_flags & kButtonModifyParameter) != 0; }
  // A button takes presses; an LED and a button with flag 0x10 do not.
  bool TakesPresses() const override { return !IsLED() && (m_flags & kButtonNoPress) == 0; }
  // A button that recalls a snapshot needs the right to recall snapshots; the others as any
  // widget.
  std::string RightsRefusal() const override;

  void FillPropertiesPane(IDevicePropertyGrid& grid) override;
  bool OnPropertyChanged(CDeviceProperty& row) override;
  CListForm ListForm() const override;
  // Whether a press at (x, y) lands on the button's face or on an opaque pixel of its image.
  bool HitTest(int x, int y) const;

  bool m_state = false;
  CCCImage* m_pImage = nullptr;  // not owned
  std::uint32_t m_flags = kButtonDefaultFlags;
  std::string m_text;  // UTF-8
  CColour m_textColour = CColour::FromArgb(255, 255, 255, 255);
  CColour m_outlineColour = CColour::FromArgb(255, 255, 255, 255);
  CColour m_fillColour = CColour::FromArgb(255, 255, 0, 0);
  CColour m_haloColour = CColour::FromArgb(255, 0, 255, 0);
  CTextStyle m_textStyle;
  std::int32_t m_cornerRadius = 7;
  std::int32_t m_outlineWidth = 2;
  std::int32_t m_haloSize = 6;
  CUuid m_panelId;     // opened by Launch Custom Panel
  CUuid m_snapshotId;  // recalled by Recall Snapshot
  std::optional<CLogFont> m_storedFont;  // the font record read last, if any

  static CSnapshot* FindSnapshot(const ICustomPanelHost& host, const CUuid& id);

  bool m_held = false;  // pressed and the view's active control until the release

 private:
  void DrawText(Graphics& g, int dx, int dy);
  // One edit of either property editor, by property id.
  CWidgetEditResult ApplyEdit(std::uint32_t id, const CWidgetEdit& edit);
  // The edits that mark the file and repaint by themselves: the image, the action, the panel
  // or snapshot to go to.
  CWidgetEditResult EditImage(const CWidgetEdit& edit);
  CWidgetEditResult EditAction(const CWidgetEdit& edit);
  CWidgetEditResult EditTarget(bool panel, const CWidgetEdit& edit);
  // The edits with a check or a size effect; changed tells whether the button changed.
  bool EditImageUse(const CWidgetEdit& edit);
  CWidgetEditResult EditEdgeSize(bool radius, const CWidgetEdit& edit, bool& changed);
  CWidgetEditResult EditHaloSize(const CWidgetEdit& edit, bool& changed);
  // The halo rings, the fill and the outline of a button without an image.
  void DrawFace(Graphics& g, bool halo, int shift) const;
  CDrawingCache m_faceCache;  // the face, until its look changes
};

class CCCLED : public CCCButton {
 public:
  CCCLED() { m_flags = kLedDefaultFlags; }
  // Made by the Add LED command with (0, 0, 20, 20).
  CCCLED(CCustomControlPanel* view, const CRect& rect) : CCCButton(view, rect) { m_flags = kLedDefaultFlags; }
  CCCLED(const CCCLED& source) = default;

  std::uint32_t GetControlType() const override { return kControlLed; }
};
