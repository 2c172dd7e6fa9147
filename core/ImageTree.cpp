// Image tree folders.
#include "core/ImageTree.h"

#include <algorithm>

void CCCImageDirectory::RemoveAll() {
  for (CCCImageBase* node : m_children) delete node;
  m_children.clear();
}

bool CCCImageDirectory::DetachChild(CCCImageBase* child) {
  auto it = std::find(m_children.begin(), m_children.end(), child);
  if (it == m_children.end()) return false;
  m_children.erase(it);
  return true;
}

bool CCCImageDirectory::RemoveChild(CCCImageBase* child, bool deleteContents) {
  if (!DetachChild(child)) return false;
  if (!deleteContents && child->IsDirectory()) {
    auto* folder = static_cast<CCCImageDirectory*>(child);
    while (!folder->m_children.empty()) folder->m_children.pop_back();
  }
  delete child;
  return true;
}
