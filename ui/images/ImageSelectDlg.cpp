// Image selection dialog.
#include "ui/images/ImageSelectDlg.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/file/ImageTree.h"
#include "core/system/ImageStore.h"

CImageSelectDlg::CImageSelectDlg(IImageStore* images, QWidget* parent) : CImageTreeDlgBase(images, parent, 34) {
  m_use = new QPushButton(QStringLiteral("Use Image"), this);
  m_remove = new QPushButton(QStringLiteral("Remove Image"), this);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_use->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_use);
  buttons->addWidget(m_remove);
  buttons->addWidget(m_cancel);
  buttons->addSpacing(18);
  Body()->addLayout(buttons);
  // Names are only shown here; the manager is the place to rename.
  m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);

  connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] {
    if (!m_filling) OnSelChanged();
  });
  connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { OnDblClk(); });
  connect(m_use, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(m_remove, &QPushButton::clicked, this, [this] { OnRemoveImage(); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void CImageSelectDlg::showEvent(QShowEvent* event) {
  if (!m_opened) {
    m_opened = true;
    FillTree();
  }
  CImageTreeDlgBase::showEvent(event);
}

void CImageSelectDlg::OnSelChanged() {
  m_pSelectedImage = ShowSelection();
  m_use->setEnabled(m_pSelectedImage != nullptr);
}

void CImageSelectDlg::OnDblClk() {
  OnSelChanged();
  if (m_pSelectedImage) OnOK();
}

void CImageSelectDlg::OnOK() {
  CCCImage* chosen = m_pSelectedImage;
  if (chosen && !IsInFileBranch(ItemOf(chosen))) {
    CCCImageDirectory& file = m_images->GetFileImages();
    if (CCCImage* own = file.FindImage(chosen->GetId())) {
      m_pSelectedImage = own;
    } else {
      auto* copy = new CCCImage(*chosen);
      file.AddChild(copy);
      m_pSelectedImage = copy;
      m_images->SetModified();
    }
  }
  accept();
}

void CImageSelectDlg::OnRemoveImage() {
  m_pSelectedImage = nullptr;
  accept();
}
