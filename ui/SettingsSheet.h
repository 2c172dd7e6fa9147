// The "Settings" sheet of the Options command and its pages: "General" (start-up file,
// autosave, update checks), "Comms" (port, baud rate, going-online choice, comms errors) and
// "Error Log" (temperature warning, log size). Pages change the system only when applied.
#pragma once

#include <QColor>
#include <QDialog>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CSystem;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabBar;
class QIcon;

// The picture of a page's image button: the "BMP" resource of that number (an empty icon when
// the resource is missing).
QIcon PageButtonIcon(std::uint32_t bitmapId);

// One page of a settings sheet.
class CSettingsPage : public QWidget {
 public:
  using QWidget::QWidget;
  // Stores the page's values through the system's setters. UI thread.
  virtual void Apply() = 0;
  // Whether every box holds a value the page takes; a page that refuses one says why and puts
  // the focus on that box. OK applies nothing while a page refuses. Asked before any page is
  // applied, so a page may also read again here what changed under it.
  virtual bool Validate() { return true; }
  // How the page tells the person something: a warning box over the page unless replaced
  // (tests).
  void SetMessageHandler(std::function<void(const QString&)> handler) { m_message = std::move(handler); }

 protected:
  void Warn(const QString& text);

 private:
  std::function<void(const QString&)> m_message;
};

class CGeneralAppSettingsDialog : public CSettingsPage {
 public:
  explicit CGeneralAppSettingsDialog(CSystem* system, QWidget* parent = nullptr);
  void Apply() override;

  QCheckBox* LoadLastFileBox() const { return m_loadLast; }
  QCheckBox* AutoSaveBox() const { return m_autoSave; }
  QComboBox* MinutesList() const { return m_minutes; }
  QCheckBox* UpdatesBox() const { return m_updates; }
  QLabel* LibraryFileText() const { return m_libraryFile; }
  QPushButton* LibraryBrowseButton() const { return m_browse; }
  // A file chosen with "...": it becomes the page's library file only when it reads as an image
  // library; otherwise the user is told why at once and the page keeps the file it had.
  void OnLibraryChosen(const QString& path);

 private:
  // kChangeLibraryFailedText, then the file and why it was refused.
  void RefuseLibrary(const std::string& path, const std::string& refusal);

  CSystem* m_system;
  QCheckBox* m_loadLast;
  QCheckBox* m_autoSave;
  QComboBox* m_minutes;
  QLabel* m_libraryFile;
  QPushButton* m_browse;
  QCheckBox* m_updates;
};

class CCommsDialog : public CSettingsPage {
 public:
  // Lists the COM ports that open (the system must be offline).
  explicit CCommsDialog(CSystem* system, QWidget* parent = nullptr);
  void Apply() override;

  QComboBox* PortList() const { return m_ports; }
  QComboBox* BaudList() const { return m_bauds; }
  // What going online does: 0 retrieves the units' settings, 1 sends the file's, 2 asks.
  QRadioButton* ChoiceButton(int choice) const { return m_choices[choice]; }
  QCheckBox* LogErrorsBox() const { return m_logErrors; }
  // The text of the "Baud Rate Guidelines" box and its button's picture.
  static const char* GuidelinesText();
  static constexpr std::uint32_t kGuidelinesBitmap = 368;
  QPushButton* GuidelinesButton() const { return m_guidelines; }

 private:
  CSystem* m_system;
  QComboBox* m_ports;
  QComboBox* m_bauds;
  QRadioButton* m_choices[3];
  QCheckBox* m_logErrors;
  QPushButton* m_guidelines;
};

class CErrorLogSettingsDlg : public CSettingsPage {
 public:
  explicit CErrorLogSettingsDlg(CSystem* system, QWidget* parent = nullptr);
  void Apply() override;

  // Refuses a degrees box (while ticked) that holds no whole number from 40 to 110 and a size
  // box that holds no whole number of 0 or more that 32 bits hold.
  bool Validate() override;

  QCheckBox* TemperatureBox() const { return m_tempBox; }
  QLineEdit* TemperatureEdit() const { return m_temp; }
  QLineEdit* LogSizeEdit() const { return m_logSize; }
  // The words of the last refusal, shown under the boxes (empty and blank while none).
  QLabel* RefusalText() const { return m_refusal; }
  // Digits up to the first other character, as an unsigned decimal (non-numbers read 0).
  static std::uint32_t ReadUnsigned(const QString& text);
  // Why the box's text is no setting: the words of the refusal, empty when it is one.
  static std::string TemperatureRefusal(const QString& text);
  static std::string LogSizeRefusal(const QString& text);

 private:
  CSystem* m_system;
  QCheckBox* m_tempBox;
  QLineEdit* m_temp;
  QLineEdit* m_logSize;
  QLabel* m_refusal;
};

// A sheet of pages with a navigation list on the left (100 pixels wide); OK applies every page.
// A sheet in the notebook look: a coloured tab a page along the top, the shown page on a light
// tint of its tab's colour, OK and Cancel below.
class CSettingsSheet : public QDialog {
 public:
  CSettingsSheet(const QString& title, QWidget* parent = nullptr);
  // The sheet takes the page over.
  void AddPage(const QString& name, CSettingsPage* page);
  void accept() override;
  QTabBar* Tabs() const { return m_tabs; }
  // The colour of page i's tab, and the tint the page is shown on.
  static QColor TabColour(int i);
  static QColor PageTint(int i);

 private:
  void ShowPage(int i);
  QTabBar* m_tabs;
  QWidget* m_body;
  QStackedWidget* m_pages;
  std::vector<CSettingsPage*> m_pageList;
};
