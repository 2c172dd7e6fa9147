// The main frame window.
#pragma once

#include <QMainWindow>

#include "platform/WindowMessages.h"

class CMainFrame : public QMainWindow, public CMessageTarget {
 public:
  explicit CMainFrame(QWidget* parent = nullptr);

 protected:
  // UI thread.
  void OnMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) override;
};
