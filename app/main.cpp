// Entry point of the orvak executable.
#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "app/MainFrame.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("ZYRQOL"));
  QCoreApplication::setApplicationName(QStringLiteral("Orvak"));

  CMainFrame frame;
  frame.show();

  // ORVAK_AUTOQUIT_MS closes the window after that many ms (used by the start-up test).
  if (const char* quit = std::getenv("ORVAK_AUTOQUIT_MS")) {
    QTimer::singleShot(std::atoi(quit), &frame, [&frame] { frame.close(); });
  }
  return app.exec();
}
