// The dialogs behind the picker rows of the properties grid: image selection, parameter
// selection, the colour dialog with its custom colours and the font dialog without effects.
// The main frame's UI services hand the picker rows to one for the life of its properties pane.
// UI thread.
#pragma once

#include <QPointer>
#include <QWidget>

#include "custom/PropertyPickers.h"

class IImageStore;
class IZonedDevices;

class CQtPropertyPickers {
 public:
  // The dialogs are owned by parent (the grid).
  explicit CQtPropertyPickers(QWidget* parent) : m_parent(parent) {}

  bool PickImage(IImageStore* images, CCCImageBase*& image);
  bool PickParameter(IZonedDevices* devices, CCustomControlObject* widget);
  bool PickColour(std::uint32_t& colour);
  bool PickFont(CLogFont& font);

 private:
  QPointer<QWidget> m_parent;
};
