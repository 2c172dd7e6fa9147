// "Parameter Selection": binds a custom widget to one parameter of one device. The device
// list holds every device zone by zone; the parameter list what the chosen device offers for
// the widget's kind. The dialog writes the widget's binding itself; a widget that ends while
// the dialog is open ends it as Cancel does. UI thread.
#pragma once

#include <cstdint>

#include "platform/ObjectHandle.h"
#include "widgets/BitmapDialogEx.h"

class CCustomControlObject;
class IZonedDevices;
class QComboBox;
class QListWidget;
class QPushButton;

class CParameterSelectionDlg : public CBitmapDialogEx {
 public:
  // Starts from the system's remembered device; the caller stores m_currentDevice back into
  // the system afterwards, whatever the result.
  CParameterSelectionDlg(IZonedDevices* devices, CCustomControlObject* widget, QWidget* parent = nullptr);

  // Index in the system's device array of the device chosen in the device list (-1 none).
  std::int32_t m_currentDevice;

  QComboBox* DeviceList() const { return m_devices; }
  QListWidget* ParameterList() const { return m_parameters; }
  QPushButton* RemoveButton() const { return m_remove; }
  QPushButton* UseButton() const { return m_use; }             // IDOK
  QPushButton* CancelButton() const { return m_cancel; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FillDevices();
  void FillParameters();
  void OnDeviceChanged();
  void OnUseParameter();
  void OnRemoveParameter();

  IZonedDevices* m_source;  // the system's devices; not owned
  CCustomControlObject* m_widget;
  std::uint64_t m_widgetHandle = 0;
  CObjectEndWatch m_endWatch;
  QComboBox* m_devices;
  QListWidget* m_parameters;
  QPushButton* m_remove;
  QPushButton* m_use;
  QPushButton* m_cancel;
  bool m_opened = false;
};
