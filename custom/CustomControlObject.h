// The base of every widget of a custom control panel, what widgets ask of the panel view that
// shows them, and the factory that recreates a widget kind from its stored type id.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/model/DeviceProperty.h"
#include "core/model/ObjectProperties.h"
#include "core/draw/TextStyle.h"
#include "core/file/Uuid.h"
#include "platform/ObjectHandle.h"
#include "platform/Types.h"

class CArchive;
class CCCImage;
class CCCImageBase;
class CCCTextEdit;
class CCPData;
class CCustomControlObject;
class CDataStream;
class CDevice;
class Graphics;
struct CParameterRef;

// The first rows of every widget's properties: the top-left corner and the size of its
// rectangle, read-only, shown as "x, y" and "width, height".
inline constexpr std::uint32_t kWidgetPositionRow = 1;
inline constexpr std::uint32_t kWidgetSizeRow = 2;
inline std::string WidgetPositionText(const CRect& r) { return std::to_string(r.left) + ", " + std::to_string(r.top); }
inline std::string WidgetSizeText(const CRect& r) {
  return std::to_string(r.Width()) + ", " + std::to_string(r.Height());
}

// What the system and the widgets ask of an open custom panel view. UI thread.
class CCustomControlPanel {
 public:
  virtual ~CCustomControlPanel() = default;
  // Every widget bound to this device parameter re-reads it; the panel redraws.
  virtual void BroadcastParameterUpdate(CDevice* device, std::uint32_t parameterId) = 0;
  // Every widget updates its lit state for this snapshot; the panel redraws.
  virtual void BroadcastSnapshotRecalled(const CUuid& snapshot) = 0;
  // Destroys the frame window that holds the view; the view no longer exists afterwards.
  virtual void DestroyPanelWindow() = 0;
  // Brings the frame window that holds the view to the top. Base: nothing.
  virtual void BringPanelToTop() {}
  // The panel the view shows; null when it shows none.
  virtual CCPData* GetPanelData() const { return nullptr; }
  // Repaints a rectangle of the panel, or one widget's area. Base: nothing.
  virtual void RedrawRect(const CRect& rect) { (void)rect; }
  virtual void RedrawControl(CCustomControlObject* widget) { (void)widget; }
  // The clipboard commands of the view: whether widgets are selected, copy them to the
  // system's copied widgets, paste those. Base: nothing selected, nothing done.
  virtual bool HasSelection() const { return false; }
  virtual void CopySelection() {}
  virtual void PasteControls() {}
  // Redraws the whole panel from its data (background, grid, every widget). Base: nothing.
  virtual void RebuildDisplay() {}
  // Shows the panel's name as the title of the frame that holds the view. Base: nothing.
  virtual void SetPanelTitle(const std::string& name) { (void)name; }
  // A widget takes the mouse (a press, the start of a drag) or, with null, lets it go; the
  // widget that had it is deactivated first. Base: nothing.
  virtual void SetActiveControl(CCustomControlObject* widget) { (void)widget; }
  // Whether the widget is selected in design mode. Base: never.
  virtual bool IsSelected(const CCustomControlObject* widget) const { (void)widget; return false; }
  // Says message in the refusal tip under the widget: why a press of it changed nothing, or
  // what the action it started could not do. Base: nothing.
  virtual void ShowWidgetMessage(const CCustomControlObject& widget, const std::string& message) {
    (void)widget;
    (void)message;
  }

  // Names the view in posted messages (the frame looks it up among the open panels' views).
  std::uint64_t GetHandle() const { return m_handle.Value(); }

 private:
  CObjectHandle m_handle;
};

// What a text widget's in-place editor asks of the view that shows the widget.
class CTextEditorHost {
 public:
  virtual ~CTextEditorHost() = default;
  // Opens a one-line edit box over rect holding text, all of it selected (alignment 0 left,
  // 1 centre, 2 right); the box reports keys, characters and its loss of focus to the editor.
  // False when the view has no edit box. Base: none.
  virtual bool OpenTextEditor(CCCTextEdit* editor, const CRect& rect, const std::string& text, int alignment) {
    (void)editor; (void)rect; (void)text; (void)alignment;
    return false;
  }
  // Destroys the editor's box; its loss of focus reaches the editor first.
  virtual void CloseTextEditor(CCCTextEdit* editor) { (void)editor; }
  // Says why the edit of the widget was refused, under the widget. Base: nothing.
  virtual void ShowEditRefused(const CCustomControlObject& widget, const std::string& message) {
    (void)widget;
    (void)message;
  }
};

// Where a record being loaded finds the objects it names by id; each answers null for an id
// that names nothing (the nil id included).
class CRecordLookup {
 public:
  virtual ~CRecordLookup() = default;
  virtual CDevice* FindDevice(const CUuid& id) const = 0;
  // The custom panel with that id.
  virtual CCPData* FindPanel(const CUuid& id) const = 0;
  // An image of the file's own image tree (never of the library).
  virtual CCCImage* FindImage(const CUuid& id) const = 0;
};

// Control types, as panel records store them.
enum : std::uint32_t {
  kControlBitmap = 1,
  kControlLed = 2,
  kControlFader = 3,
  kControlKnob = 4,
  kControlText = 5,
  kControlButton = 8,
};

// Widgets are never narrower or lower than this while their handles are dragged.
inline constexpr int kMinControlSize = 10;

// Sizes read from a file are held within bounds far beyond any screen, so that the arithmetic
// on them stays in range and drawing a panel never asks for more memory than a screen has.
// Widget and panel-window coordinates, either way from the origin of the panel or the area:
inline constexpr std::int32_t kPanelCoordinateLimit = 16384;
// the width and height of a panel window:
inline constexpr std::int32_t kPanelSizeLimit = 8192;
// A coordinate, or a radius or line width in pixels, held within those bounds.
std::int32_t ClampPanelCoordinate(std::int64_t value);
std::int32_t ClampPanelLength(std::int64_t value);
// A widget's rectangle held within the coordinate bounds as a whole: one that lies past them is
// moved back inside, keeping its size (edges held one by one would leave it 0 wide); only one
// larger than the whole range is cut.
CRect HoldPanelRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);

class CCustomControlObject : public CObjectProperties, public IPropertyGridOwner {
 public:
  CCustomControlObject() = default;
  ~CCustomControlObject() override = default;

  // --- CObjectProperties: the property list made from the grid rows below (with the kind's
  // ListForm), and the clipboard forwarded to the panel data ---
  void GetProperties(std::vector<CPropertyItem>& items) override;
  bool ValidateProperty(CNamedPropertyValue& value) override;
  void CopyToClipboard(std::uint32_t command) override;
  bool CanCopy(std::uint32_t command) override;
  void PasteFromClipboard(std::uint32_t command) override;
  bool CanPaste(std::uint32_t command) override;
  std::uint32_t GetClipboardFormat() override;

  // --- Properties grid: the shared rows; every kind adds its own groups after them ---
  // "General" with "Position" (1) and "Size" (2), read-only; unless a bitmap or a button,
  // "Parameter" with the parameter picker row (3).
  void FillPropertiesPane(IDevicePropertyGrid& grid) override;
  // 1 and 2 accepted unchanged; 3 (the picker has bound the widget) refreshes the widget and
  // marks the file modified; from the list, 3 binds the widget to the value's device and
  // parameter when they differ (refused unless MayBindTo), refreshes it and asks for the list
  // again; any other id refused.
  bool OnPropertyChanged(CDeviceProperty& row) override;
  // How the kind's property list differs from its grid rows.
  virtual CListForm ListForm() const { return {}; }
  // True for a binding the parameter picker could make: no device (and parameter 0), or a
  // device of the system that owns the widget's panel with a parameter it offers for this kind
  // of widget.
  bool MayBindTo(const CParameterRef& binding) const;

  // --- Widget operations; the base does what a widget without that trait does ---
  // The area the widget draws in: its rectangle unless a kind draws outside it.
  virtual CRect GetBoundsRect() const { return m_rect; }
  // Everything the widget's drawing may cover in the panel's present mode: the bounds, unless a
  // kind draws outside them (a fader's or a knob's scale in operate mode).
  virtual CRect GetDrawnRect() const { return GetBoundsRect(); }
  // The base record (version 1, rectangle as left, right, top, bottom, owning panel id, device
  // id, parameter id, hit-test flag); every kind's record writes it first. A base record of
  // another version throws CArchiveException (BadFormat).
  virtual void Serialize(CArchive& ar, const CRecordLookup& lookup);
  // The base stream record: u32 version 1, rectangle, panel and device ids, parameter id,
  // one byte hit-test flag. Another version, or a stream error, changes nothing more.
  virtual void SerializeStream(CDataStream& ds, const CRecordLookup& lookup);
  virtual std::uint32_t GetControlType() const = 0;
  // The rectangle to redraw after a new value of the bound parameter; empty for none.
  virtual CRect OnParameterUpdate(const CParamValue& value) { (void)value; return CRect{}; }
  virtual CRect OnSnapshotRecalled(const CUuid& snapshot) { (void)snapshot; return CRect{}; }
  // Rereads the bound value and has the view repaint what changed.
  virtual void RefreshState();
  virtual void SetRect(int left, int top, int right, int bottom) { m_rect = CRect{left, top, right, bottom}; }
  // Bit 0x1: left and right handles; 0x2: top and bottom handles; both: the corners too.
  virtual std::uint32_t GetSizingMode() const { return 0; }
  // The rectangle being dragged by handle (1 left, 2 right, 3 top, 4 bottom, 5 top-left,
  // 6 top-right, 7 bottom-left, 8 bottom-right) kept at least 10 pixels wide and high by
  // moving the dragged edge.
  virtual CRect AdjustSizingRect(const CRect& rect, int handle) const;
  // Each answers true when the widget referred to the object and has let go of it.
  virtual bool ReleaseImage(CCCImageBase* image) { (void)image; return false; }
  virtual bool ClearPanelReference(const CUuid& panel) { (void)panel; return false; }
  virtual bool ClearSnapshotReference(const CUuid& snapshot) { (void)snapshot; return false; }
  // Draws the widget into the panel view's back buffer; the view has clipped the graphics to
  // clip, the area being repainted. Base: nothing.
  virtual void Draw(Graphics& graphics, const CRect& clip, bool designMode) {
    (void)graphics, (void)clip, (void)designMode;
  }
  // How the panel view draws the widget: Draw, and for a widget whose unit is away
  // (IsUnitAway) that drawing in grey and half transparent, so that the panel still shows the
  // widget and that it takes nothing now; for a widget the current user may not use
  // (IsRefusedToUser) that drawing darkened, as the device panels shade such controls.
  void DrawInPanel(Graphics& graphics, const CRect& clip, bool designMode);
  // A mouse message (numbers of platform/MouseMessages.h) at a point of the view; the wheel
  // message carries its signed delta in flags. The widget widens redraw by what it wants
  // repainted. Base: nothing.
  virtual void OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                              CRect& redraw) {
    (void)message, (void)flags, (void)designMode, (void)point, (void)redraw;
  }
  // The widget loses the mouse (focus left the view, another widget took it). Base: nothing.
  virtual void Deactivate() {}
  // True when the widget's input may change the device it is bound to, so that a user without
  // the rights of its parameter gives it none. Base: whenever it is bound.
  virtual bool ChangesDevice() const { return IsLinked(); }
  // False while the widget's input would change its device and the current user of the
  // device's system lacks a right the device names for its parameter
  // (CDevice::MayCurrentUserChange): the widget then takes no input and changes nothing.
  // Decided when asked, as the person acts.
  bool CurrentUserMayUse() const;
  // Whether the kind acts on a press of the left button in operate mode (moves a value, is
  // pressed, opens its editor). Base: it takes none.
  virtual bool TakesPresses() const { return false; }
  // Why the current user may not use the widget, in words (NoRightRefusal); empty when they
  // may. Base: the rights its device names for its parameter, when its input changes the device.
  virtual std::string RightsRefusal() const;
  // Why a press of the widget in operate mode changes nothing now, in words: the current user
  // lacks a right its action needs (RightsRefusal), or its unit is away online
  // (kNotConnectedRefusal); empty when the press is taken, in design mode, and for a widget
  // that takes no press anyway. Decided when asked, as the person acts.
  std::string PressRefusal() const;
  // True in operate mode for a widget that takes presses and that the current user may not use.
  bool IsRefusedToUser() const;
  // The pointer left the view. Base: nothing.
  virtual void OnMouseLeave() {}

  // The bound parameter's description, inactive too while the device is away online (a
  // setting, not an indication) and the panel is in operate mode; "NULL" with every other
  // value zero when unbound.
  CParamInfo GetParameterInfo() const;
  // True while GetParameterInfo shows the parameter inactive because its unit is away online.
  bool IsUnitAway() const;
  // Whether a parameter of that description is drawn away and takes no change: online with the
  // unit away, outside design mode, and not read-only.
  bool AwayFor(const CParamInfo& info) const;
  // The bound parameter's current value; the empty value when unbound.
  CParamValue GetParameterValue() const;
  bool IsLinked() const { return m_pDevice && m_parameterId; }
  // Names the widget in posted messages (the frame looks it up among the panels' widgets).
  std::uint64_t GetHandle() const { return m_handle.Value(); }

  CRect m_rect;
  CCustomControlPanel* m_pView = nullptr;  // the owning view while the panel is open; not owned
  CDevice* m_pDevice = nullptr;             // the bound device, null when unbound; not owned
  std::uint32_t m_parameterId = 0;
  bool m_hitTest = true;             // clear: not drawn and passed over by clicks
  std::uint8_t m_lastInactive = 1;   // the bound parameter's inactive flag at the last draw

 protected:
  // A copy for the clipboard: rectangle, view and hit-test flag; not bound, inactive flag 1.
  CCustomControlObject(const CCustomControlObject& source);
  CCustomControlObject& operator=(const CCustomControlObject&) = delete;
  // The panel data of the owning view, null without one.
  CCPData* GetPanel() const;
  // Whether the owning panel's system is in design mode.
  bool InDesignMode() const;
  // The bound parameter's description for the kinds' drawing: inactive only while the parameter
  // itself cannot be used now, as a unit that is away dims the whole widget instead
  // (DrawInPanel). shownInactive receives the flag GetParameterInfo gives, which the kinds keep
  // as the flag of their last drawing.
  CParamInfo GetDrawnParameterInfo(std::uint8_t& shownInactive) const;

 private:
  CObjectHandle m_handle;  // a copy gets its own
};

// Deletes every widget of the array and empties it.
void DeleteCustomControlObjects(std::vector<CCustomControlObject*>& widgets);

// --- Factory of widget kinds by stored type id ---
using CustomControlCreator = CCustomControlObject* (*)();
// Each widget kind registers its create-by-type constructor once, before files are read.
void RegisterCustomControl(std::uint32_t controlType, CustomControlCreator creator);
// A new widget of that type made for loading; null for a type no kind registered.
CCustomControlObject* CreateCustomControl(std::uint32_t controlType);

// Shared helpers of the widget records: colours packed as one u32 (A in bits 31-24), font
// records as five i32, eight u8 and the face, image ids resolved through the lookup.
void ArchiveColour(CArchive& ar, CColour& colour);
// The font record: on load the record read is kept in stored and the style made from it; on
// store stored is written again while it still gives the style, else the style's own record.
void ArchiveTextStyle(CArchive& ar, CTextStyle& style, std::optional<CLogFont>& stored);
// Clears ref when it points at image; true when it did (the widget then redraws).
bool ReleaseImageRef(CCCImage*& ref, const CCCImageBase* image);
// Stores the image's id (nil for none) or loads an id and looks it up (null when not found).
void ArchiveImageRef(CArchive& ar, CCCImage*& image, const CRecordLookup& lookup);
// The union of two rectangles into out (out = b; when b is empty, a); true when out is not empty.
bool UnionRects(CRect& out, const CRect& a, const CRect& b);
inline bool ColourDiffers(CColour a, CColour b) { return a.argb != b.argb; }

// The parameter entry's value: the widget, and the device and parameter it is bound to.
struct CParameterRef {
  CCustomControlObject* control = nullptr;
  CDevice* device = nullptr;
  std::uint32_t parameterId = 0;
};
// The parameter entry (always property id 3), and the reader of an edited one.
CPropertyItem MakeParameterPropertyItem(const CParameterRef& parameter, const std::string& name,
                                        const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                        std::uint8_t o3);
CParameterRef GetPropertyValue(const CPropertyValue& value);
