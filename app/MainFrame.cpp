// The main frame window.
#include "app/MainFrame.h"

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Untitled - Orvak"));
  resize(1024, 700);
}

void CMainFrame::OnMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  (void)message;
  (void)wParam;
  (void)lParam;
}
