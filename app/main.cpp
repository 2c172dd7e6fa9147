// Entry point of the orvak executable.
#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/QuendalApp.h"
#include "platform/AtomicFile.h"

int main(int argc, char** argv) {
  // The usage is printed before the window system starts: it needs no display.
  if (CQuendalApp::PrintUsageIfAsked(std::vector<std::string>(argv + 1, argv + argc))) return 0;
  // A save past the file-size limit fails and is reported; the session and its edits go on.
  LetWritesPastTheFileSizeLimitFail();
  QApplication qapp(argc, argv);
  int result = 0;
  {
    CQuendalApp app;
    if (const char* splash = std::getenv("ORVAK_SPLASH_MS")) app.SetSplashTime(unsigned(std::atoi(splash)));
    // argv without the options that QApplication took; the words stay bytes, as a file name
    // that is not UTF-8 would not survive a QString.
    if (!app.InitInstance(std::vector<std::string>(argv + 1, argv + argc))) return app.StartupExitCode();

    // ORVAK_AUTOQUIT_MS closes the main window after that many ms (used by the start-up test).
    if (const char* quit = std::getenv("ORVAK_AUTOQUIT_MS")) {
      QTimer::singleShot(std::atoi(quit), app.GetMainFrame(), [&app] { app.GetMainFrame()->close(); });
    }
    result = qapp.exec();
    result = result != 0 ? result : app.ExitInstance();
  }
  return result;
}
