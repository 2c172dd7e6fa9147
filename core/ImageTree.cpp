// Image tree folders.
#include "core/ImageTree.h"

void CCCImageDirectory::RemoveAll() {
  for (CCCImageBase* node : m_children) delete node;
  m_children.clear();
}
