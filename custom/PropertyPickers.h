// Rows of the properties grid whose value is picked in a dialog: an image, the device
// parameter a custom widget is bound to, a colour and a font. Each row shows its own display
// text; its "..." button runs the picker of the host's UI services, and the grid then
// commits the row, so the owner reads the new value from the row's own field (also after a
// cancelled picker). UI thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/model/DeviceProperty.h"
#include "core/draw/TextStyle.h"
#include "platform/Types.h"

class CCCImageBase;
class CDevice;
class CCustomControlObject;
class ICustomPanelHost;

// The base of the four: the button flag set, the base value holding the display text.
class CPickerPropertyCtrl : public CDeviceProperty {
 public:
  CPickerPropertyCtrl(ICustomPanelHost* host, std::string name, std::string description, std::uint32_t data);
  ICustomPanelHost* GetHost() const { return m_pHost; }
  // The text the row shows for its value.
  virtual std::string FormatProperty() const = 0;
  // Marks the button pressed, runs the picker, shows the value again.
  void OnClickButton() override;
  bool IsButtonPressed() const { return m_pressed; }
  // The row shows its own value: text typed into the row is never taken for it.
  void ShowOwnValue() { SetValue(FormatProperty()); }
  // A refused commit: the row's own value goes back to the one it was filled with.
  void RestoreReferenceValue() override;
  // The object with this handle is ending: the row lets go of it wherever it names it (its
  // value, the value it was filled with) without reading it. True when it named it.
  virtual bool ForgetObject(std::uint64_t handle) {
    (void)handle;
    return false;
  }

 protected:
  // Runs the kind's dialog (only when the host has UI services).
  virtual void RunPicker(ICustomPanelHost& host) = 0;
  // Puts back the value the row was constructed with.
  virtual void RestoreFilledValue() = 0;
  // Constructors: the display text of the value the row is filled with.
  void ShowFilledValue() { SetValue(FormatProperty()); SetReferenceValue(FormatProperty()); }

 private:
  ICustomPanelHost* m_pHost;
  bool m_pressed = false;
};

// What an image row adds to the name of a picture that did not decode.
inline constexpr const char* kDamagedImageSuffix = " (damaged)";

class CImagePropertyCtrl : public CPickerPropertyCtrl {
 public:
  CImagePropertyCtrl(ICustomPanelHost* host, CCCImageBase* image, std::string name, std::uint32_t data,
                     std::string description);
  // "No Image", or the image's name; the name of a picture that did not decode is followed by
  // kDamagedImageSuffix.
  std::string FormatProperty() const override;
  // The list item: the image (a folder counts as none), not owned.
  bool ToListItem(CPropertyItem& item) const override;
  bool TakeListValue(const CPropertyValue& value) override;
  bool ForgetObject(std::uint64_t handle) override;
  // The image chosen; not owned; null: no image.
  CCCImageBase* GetImage() const { return m_image.node; }
  void SetImage(CCCImageBase* image) { m_image.Set(image); }

 protected:
  void RunPicker(ICustomPanelHost& host) override;
  void RestoreFilledValue() override { m_image = m_filledImage; }

 private:
  // An image the row names, with its handle, by which the row hears that it ends.
  struct CNamedImage {
    CCCImageBase* node = nullptr;
    std::uint64_t handle = 0;
    void Set(CCCImageBase* image);
    bool Forget(std::uint64_t ending);
  };
  CNamedImage m_image;
  CNamedImage m_filledImage;
};

class CParameterPropertyCtrl : public CPickerPropertyCtrl {
 public:
  // Row id 3, "The parameter that this control is linked to".
  CParameterPropertyCtrl(ICustomPanelHost* host, CCustomControlObject* widget, std::string name);
  // "No Parameter", or "<device name> - <parameter name>".
  std::string FormatProperty() const override;
  // The list item: the widget and the device and parameter it is bound to. An edited one is
  // checked and bound by the widget's handler, which reads it from the row's list value.
  bool ToListItem(CPropertyItem& item) const override;
  bool TakeListValue(const CPropertyValue& value) override;
  // The widget ending leaves the row with none; the device it was bound to ending leaves a
  // refusal nothing to bind the widget back to.
  bool ForgetObject(std::uint64_t handle) override;
  // True when the widget is bound otherwise than when the row was filled: its picker chose
  // another parameter (or none). False for an edit that leaves the binding as it was.
  bool ChangedBinding() const;
  CCustomControlObject* m_pWidget;  // not owned

 protected:
  void RunPicker(ICustomPanelHost& host) override;
  // The picker binds the widget itself: a refusal binds it back.
  void RestoreFilledValue() override;

 private:
  std::uint64_t m_widgetHandle = 0;
  CDevice* m_pFilledDevice = nullptr;
  std::uint64_t m_filledDeviceHandle = 0;
  std::uint32_t m_filledParameterId = 0;
};

class CColourPropertyCtrl : public CPickerPropertyCtrl {
 public:
  CColourPropertyCtrl(ICustomPanelHost* host, std::uint32_t colour, std::string name, std::uint32_t data,
                      std::string description);
  // Six lower-case hex digits of red, green and blue.
  std::string FormatProperty() const override;
  // COLORREF from and to a widget colour (alpha dropped; 255 when read back).
  static std::uint32_t ToColorRef(const CColour& colour);
  static CColour FromColorRef(std::uint32_t colour);
  // The list item: all four bytes of the colour the row was filled with (or of an edited one).
  bool ToListItem(CPropertyItem& item) const override;
  bool TakeListValue(const CPropertyValue& value) override;
  // The colour after a commit, and whether it differs from current: a list edit compares all
  // four bytes, a grid edit red, green and blue (the grid's colours are opaque).
  bool EditedColour(CColour current, CColour& edited) const;
  std::uint32_t m_colour;  // COLORREF: red bits 0-7, green 8-15, blue 16-23
  std::optional<CColour> m_fullColour;  // the colour with its alpha, when the owner gave it
  // Where the grid drew the swatch last, in its viewport's coordinates (right and bottom
  // exclusive): left + 2, top + 2, left + h - 1, bottom - 1 of the value cell of height h.
  CRect m_swatch;
  static CRect SwatchRect(const CRect& cell) {
    const int h = cell.bottom - cell.top;
    return CRect{cell.left + 2, cell.top + 2, cell.left + h - 1, cell.bottom - 1};
  }

 protected:
  void RunPicker(ICustomPanelHost& host) override;
  void RestoreFilledValue() override { m_colour = m_filledColour; }

 private:
  std::uint32_t m_filledColour;
};

class CFontPropertyCtrl : public CPickerPropertyCtrl {
 public:
  CFontPropertyCtrl(ICustomPanelHost* host, const CLogFont& font, std::string name);
  // The face name.
  std::string FormatProperty() const override;
  // The list item: the text style the row was filled with (or an edited one).
  bool ToListItem(CPropertyItem& item) const override;
  bool TakeListValue(const CPropertyValue& value) override;
  CLogFont m_logFont;
  std::optional<CTextStyle> m_style;  // the whole style, when the owner gave it

 protected:
  void RunPicker(ICustomPanelHost& host) override;
  void RestoreFilledValue() override { m_logFont = m_filledFont; }

 private:
  CLogFont m_filledFont;
};
