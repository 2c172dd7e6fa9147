// The image selection dialog: the user picks the picture of an image property from the
// file's images or the image library. A library image is copied into the file (same id) before
// it is handed back, so that every system file keeps its own pictures. UI thread, modal.
#pragma once

#include <QPushButton>

#include "ui/images/ImageTreeView.h"

class CImageSelectDlg : public CImageTreeDlgBase {
 public:
  explicit CImageSelectDlg(IImageStore* images, QWidget* parent = nullptr);

  // The choice after the dialog ended with OK; null for none ("Remove Image").
  CCCImage* m_pSelectedImage = nullptr;

  QPushButton* UseButton() const { return m_use; }
  QPushButton* RemoveButton() const { return m_remove; }
  QPushButton* CancelButton() const { return m_cancel; }

  // Tree notifications, public so that tests drive them as the tree does.
  void OnSelChanged();
  void OnDblClk();
  // "Use Image": a library image is first found in or copied into the file's images.
  void OnOK();
  void OnRemoveImage();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QPushButton* m_use;
  QPushButton* m_remove;
  QPushButton* m_cancel;
  bool m_opened = false;
};
