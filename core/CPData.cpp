// Custom panel data: ownership of the widgets and the references other objects clear.
#include "core/CPData.h"

void DeleteCustomControlObjects(std::vector<CCustomControlObject*>& widgets) {
  for (CCustomControlObject* w : widgets) delete w;
  widgets.clear();
}

CCPData::CCPData() : m_uuid(MakeUuid()) {}

CCPData::~CCPData() { DeleteCustomControlObjects(m_widgets); }

void CCPData::DetachDevice(const CDevice* device) {
  for (CCustomControlObject* w : m_widgets)
    if (w->m_pDevice == device) w->m_pDevice = nullptr;
}

void CCPData::ReleaseImage(CCCImageBase* image) {
  for (CCustomControlObject* w : m_widgets) w->ReleaseImage(image);
}

void CCPData::ClearPanelReference(const CUuid& panel) {
  for (CCustomControlObject* w : m_widgets) w->ClearPanelReference(panel);
}

void CCPData::ClearSnapshotReference(const CUuid& snapshot) {
  for (CCustomControlObject* w : m_widgets) w->ClearSnapshotReference(snapshot);
}
