// "Autoscanning...": hands itself to the comms worker, which runs the scan and reports each
// step here; Stop ends the scan; the dialog fades out once the worker has left the scan. Units
// the scan found but did not add are listed under the progress line, and then the dialog stays
// open after the scan until the person closes it with OK.
#pragma once

#include <atomic>
#include <string>

#include "core/comms/Discovery.h"
#include "widgets/BitmapDialogEx.h"

class CSystem;
class QLabel;
class QPushButton;

class CAutoscanDlg : public CBitmapDialogEx, public IAutoscanDialog {
  Q_OBJECT  // the style sheet selects the dialog by its class name

 public:
  explicit CAutoscanDlg(CSystem& system, QWidget* parent = nullptr);
  ~CAutoscanDlg() override;

  // Worker thread: the line is shown on the UI thread.
  void OnStatusText(const std::string& text) override;
  // Worker thread: the line is added to the list on the UI thread.
  void OnUnitNotAdded(const std::string& text) override;

  // Stop: the worker ends the scan before its next probe.
  void reject() override;

  bool IsRunning() const { return m_running; }
  QString GetStatusText() const;
  // The units found but not added, one line each.
  QString GetNotesText() const;

  // Watch period of the running flag, ms.
  static constexpr int kWatchMs = 100;

 protected:
  void showEvent(QShowEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  // Shows the notes under the progress line and sizes the dialog to them.
  void AddNote(const QString& line);

  CSystem& m_system;
  std::atomic<bool> m_running{false};
  bool m_handedOver = false;
  bool m_scanEnded = false;
  int m_watchTimer = 0;
  QLabel* m_status;
  QLabel* m_notes;
  QPushButton* m_stop;
};
