// Parameter selection dialog.
#include "core/model/DeviceTexts.h"
#include "ui/ParameterSelectionDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/system/Zone.h"
#include "core/system/ZonedDevices.h"

CParameterSelectionDlg::CParameterSelectionDlg(IZonedDevices* devices, CCustomControlObject* widget, QWidget* parent)
    : CBitmapDialogEx(parent),
      m_currentDevice(devices->GetParameterDeviceIndex()),
      m_source(devices),
      m_widget(widget),
      m_widgetHandle(widget ? widget->GetHandle() : 0),
      m_endWatch([this](std::uint64_t handle) {
        if (!m_widget || handle != m_widgetHandle) return;
        m_widget = nullptr;
        reject();
      }) {
  m_devices = new QComboBox(this);
  m_parameters = new QListWidget(this);
  m_remove = new QPushButton(QStringLiteral("Remove Parameter"), this);
  m_use = new QPushButton(QStringLiteral("Use Parameter"), this);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_use->setDefault(true);
  m_parameters->setMinimumSize(360, 240);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 30, 14, 12);
  layout->setSpacing(6);
  layout->addWidget(new QLabel(QStringLiteral("Device"), this));
  layout->addWidget(m_devices);
  layout->addWidget(new QLabel(QStringLiteral("Parameter"), this));
  layout->addWidget(m_parameters, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_remove);
  buttons->addStretch(1);
  buttons->addWidget(m_use);
  buttons->addWidget(m_cancel);
  layout->addLayout(buttons);

  connect(m_devices, &QComboBox::currentIndexChanged, this, [this] {
    if (m_opened) OnDeviceChanged();
  });
  connect(m_parameters, &QListWidget::itemDoubleClicked, this, [this] { OnUseParameter(); });
  connect(m_use, &QPushButton::clicked, this, [this] { OnUseParameter(); });
  connect(m_remove, &QPushButton::clicked, this, [this] { OnRemoveParameter(); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void CParameterSelectionDlg::showEvent(QShowEvent* event) {
  if (!m_opened) {
    FillDevices();
    m_opened = true;
  }
  CBitmapDialogEx::showEvent(event);
}

void CParameterSelectionDlg::FillDevices() {
  m_devices->clear();
  for (const CZone* zone : m_source->GetZones()) {
    for (CDevice* device : zone->GetDevices()) {
      const int index = m_source->GetDeviceIndex(device);
      if (index >= 0) m_devices->addItem(QString::fromStdString(DeviceListText(*device)), index);
    }
  }
  if (m_source->GetDeviceCount() == 0) return;
  m_devices->setCurrentIndex(-1);
  if (m_currentDevice >= 0 && m_currentDevice < int(m_source->GetDeviceCount()))
    m_devices->setCurrentIndex(m_devices->findData(m_currentDevice));
  FillParameters();
  if (m_widget && m_widget->m_parameterId != 0) {
    for (int i = 0; i < m_parameters->count(); ++i) {
      if (m_parameters->item(i)->data(Qt::UserRole).toUInt() == m_widget->m_parameterId) {
        m_parameters->setCurrentRow(i);
        break;
      }
    }
  }
}

void CParameterSelectionDlg::FillParameters() {
  CDevice* device = m_devices->currentIndex() >= 0 ? m_source->GetDevice(m_devices->currentData().toInt()) : nullptr;
  if (!device) return;
  m_parameters->clear();
  std::vector<CParamInfo> list;
  device->ListParameters(m_widget ? int(m_widget->GetControlType()) : 0, list);
  for (const CParamInfo& info : list) {
    auto* item = new QListWidgetItem(QString::fromStdString(info.name), m_parameters);
    item->setData(Qt::UserRole, QVariant::fromValue(std::uint32_t(info.id)));
  }
}

void CParameterSelectionDlg::OnDeviceChanged() {
  m_currentDevice = m_devices->currentIndex() >= 0 ? m_devices->currentData().toInt() : -1;
  FillParameters();
}

void CParameterSelectionDlg::OnUseParameter() {
  CDevice* device = m_devices->currentIndex() >= 0 ? m_source->GetDevice(m_devices->currentData().toInt()) : nullptr;
  QListWidgetItem* item = m_parameters->currentItem();
  if (m_widget && device && item) {
    m_widget->m_pDevice = device;
    m_widget->m_parameterId = item->data(Qt::UserRole).toUInt();
  }
  accept();
}

void CParameterSelectionDlg::OnRemoveParameter() {
  if (m_widget) {
    m_widget->m_pDevice = nullptr;
    m_widget->m_parameterId = 0;
  }
  accept();
}
