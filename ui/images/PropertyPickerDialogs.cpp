// Picker dialogs of the properties grid.
#include "ui/images/PropertyPickerDialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <algorithm>
#include <cstdlib>

#include "core/system/ImageStore.h"
#include "core/file/ImageTree.h"
#include "core/file/TextConversion.h"
#include "core/values/ValueCodes.h"
#include "core/system/ZonedDevices.h"
#include "ui/images/ImageSelectDlg.h"
#include "ui/ParameterSelectionDlg.h"

bool CQtPropertyPickers::PickImage(IImageStore* images, CCCImageBase*& image) {
  if (!images) return false;
  CImageSelectDlg dialog(images, m_parent);
  dialog.SetTitle(QStringLiteral("Image Selection"));
  dialog.SetTargetOpacity(1.0f);
  if (dialog.exec() != QDialog::Accepted) return false;
  image = dialog.m_pSelectedImage;
  return true;
}

bool CQtPropertyPickers::PickParameter(IZonedDevices* devices, CCustomControlObject* widget) {
  if (!devices) return false;
  CParameterSelectionDlg dialog(devices, widget, m_parent);
  dialog.SetTitle(QStringLiteral("Parameter Selection"));
  dialog.SetTargetOpacity(1.0f);
  const bool ok = dialog.exec() == QDialog::Accepted;
  // The next parameter dialog opens on the device chosen in this one, whatever the answer.
  devices->SetParameterDeviceIndex(dialog.m_currentDevice);
  return ok;
}

bool CQtPropertyPickers::PickColour(std::uint32_t& colour) {
  QColorDialog dialog(QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)), m_parent);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QColor chosen = dialog.selectedColor();
  colour = std::uint32_t(chosen.red()) | std::uint32_t(chosen.green()) << 8 | std::uint32_t(chosen.blue()) << 16;
  return true;
}

bool CQtPropertyPickers::PickFont(CLogFont& font) {
  QFont initial(QString::fromStdU16String(font.faceName));
  // The record's height is in pixels at 96 per inch: the dialog offers it in points, as it
  // gives the choice back, so that the size shown is the size kept whatever the screen.
  if (font.height != 0)
    initial.setPointSize(std::max(1, RoundNearestHalfDown(float(std::abs(font.height)) * 72.0f / 96.0f)));
  if (font.weight != 0) initial.setWeight(font.weight >= 700 ? QFont::Bold : QFont::Normal);
  initial.setItalic(font.italic != 0);
  QFontDialog dialog(initial, m_parent);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  // No effects: underline and strike-out are not offered.
  for (QGroupBox* group : dialog.findChildren<QGroupBox*>())
    if (!group->findChildren<QCheckBox*>().isEmpty()) group->hide();
  if (dialog.exec() != QDialog::Accepted) return false;
  const QFont chosen = dialog.selectedFont();
  font.faceName = chosen.family().toStdU16String();
  if (chosen.pixelSize() > 0) font.height = -chosen.pixelSize();
  else if (chosen.pointSize() > 0) font.height = -(chosen.pointSize() * 96 + 36) / 72;
  font.weight = chosen.bold() ? 700 : 400;
  font.italic = chosen.italic() ? 1 : 0;
  font.underline = 0;
  font.strikeOut = 0;
  return true;
}
