// The dialogs behind the picker rows of the properties grid: image selection, parameter
// selection, the colour dialog with its custom colours and the font dialog without effects.
// The main frame installs one for the life of its properties pane. UI thread.
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/PropertyPickers.h"

class CQtPropertyPickers : public IPropertyPickers {
 public:
  // The dialogs are owned by parent (the grid).
  explicit CQtPropertyPickers(QWidget* parent) : m_parent(parent) {}

  bool PickImage(CSystem* system, CCCImageBase*& image) override;
  bool PickParameter(CSystem* system, CCustomControlObject* widget) override;
  bool PickColour(std::uint32_t& colour) override;
  bool PickFont(CLogFont& font) override;

 private:
  QPointer<QWidget> m_parent;
};
