// The image library manager: both image trees (the open file's "File" branch and this
// computer's "Library" branch) to add pictures to, put in folders, rename, delete, move by
// dragging and copy between file and library. Edits act at once; the library file is written
// when the dialog closes after an edit of the library. UI thread, modal.
#pragma once

#include <QString>
#include <functional>

#include "ui/images/ImageTreeView.h"

class QAction;
class QToolBar;

inline constexpr const char* kDirectoryCrossingText = "Cannot copy directories between the file and library";
inline constexpr const char* kAlreadyInLibraryText = "This image is already in the library";
inline constexpr const char* kAlreadyInFileText = "This image is already in the file";

// The question before a delete of node, a folder or a node of the library (inLibrary); empty
// for a picture of the file, which goes unasked.
QString DeleteQuestion(const CCCImageBase& node, bool inLibrary);
inline constexpr const char* kImageLibraryHelpText =
    "Image Library Help\n\nYou can add BMP, JPG or PNG files.\nThe file branch shows images embedded into this "
    "file.\nThe library branch shows images available for every file on this computer.\nDrag images and directories "
    "around in the tree to organise them.\nImages and Directories can be renamed by selecting them in the tree, "
    "then clicking on them again.";

class CImageLibraryManagerDlg : public CImageTreeDlgBase {
 public:
  explicit CImageLibraryManagerDlg(IImageStore* images, QWidget* parent = nullptr);

  // Tests and embedders replace the boxes and the file chooser: a warning (exclamation, OK),
  // the help (information, OK), the question before a delete (Yes: true; No, the default:
  // false), and the open-file dialog (an empty path: cancelled).
  void SetHelpHandler(std::function<void(const QString&)> handler) { m_help = std::move(handler); }
  void SetQuestionHandler(std::function<bool(const QString&)> handler) { m_ask = std::move(handler); }
  void SetFileChooser(std::function<QString()> chooser) { m_chooseFile = std::move(chooser); }

  QToolBar* ToolBar() const { return m_toolBar; }
  QAction* AddImageAction() const { return m_addImage; }
  QAction* AddDirectoryAction() const { return m_addDirectory; }
  QAction* DeleteAction() const { return m_delete; }
  QAction* HelpAction() const { return m_helpAction; }

  // The commands and notifications, public so that tests drive them as the widgets do.
  // A picture that cannot be added is refused with why: no BMP, JPEG or PNG picture, damaged,
  // larger than a picture may be (told from its header), no memory, a file that does not read.
  void OnAddImage();
  void OnAddDirectory();
  // A folder, or anything of the library that every file shares, goes only after the question
  // that names it and how many pictures go with it has been answered Yes; a picture of the file
  // goes at once (not saving the file brings it back).
  void OnDelete();
  void OnHelp();
  void OnSelChanged();
  // Delete is enabled for a selected item other than the two roots.
  void OnUpdateDelete();
  // A finished label edit: the node takes the item's text.
  void OnEndLabelEdit(QTreeWidgetItem* item);
  // Drops the dragged item onto target by the move and copy rules (null target: nothing).
  void EndDrag(QTreeWidgetItem* dragged, QTreeWidgetItem* target);

  // Both ways out save the library first when it was edited, then fade out. A library that
  // was not edited is never written: a file that failed to load stays as it is.
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  // Enter and Escape never close the dialog.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The folder an add goes to: the selected folder or root, or the selected image's folder.
  QTreeWidgetItem* TargetFolderItem() const;
  // Takes the dragged node out of its folder and item (or, copying, makes a copy of it) and
  // puts it into the folder of folderItem, right after the item after (null: at the end); the
  // new item is selected.
  void PlaceNode(QTreeWidgetItem* dragged, QTreeWidgetItem* folderItem, QTreeWidgetItem* after, bool copy);
  void Warn(const char* text);
  // An edit at the item: one in the file's branch marks the file modified, one in the Library
  // branch has the library saved on closing.
  void NoteEdit(const QTreeWidgetItem* item);

  QToolBar* m_toolBar;
  QAction* m_addImage;
  QAction* m_addDirectory;
  QAction* m_delete;
  QAction* m_helpAction;
  bool m_opened = false;
  bool m_libraryEdited = false;
  std::function<void(const QString&)> m_help;
  std::function<bool(const QString&)> m_ask;
  std::function<QString()> m_chooseFile;
};
