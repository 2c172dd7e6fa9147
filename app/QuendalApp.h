// The application object: brings up the process-wide services, creates the main frame, opens
// the start-up file, shows the splash, and tears the services down at exit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/RecentFileList.h"
#include "app/UpdateChecker.h"

class CMainFrame;
class IUserPrompts;

class CQuendalApp {
 public:
  CQuendalApp();
  // Cleans up the update checker last.
  ~CQuendalApp();
  CQuendalApp(const CQuendalApp&) = delete;
  CQuendalApp& operator=(const CQuendalApp&) = delete;

  // Start-up. args: the command line without the program name and without the options that
  // Qt took, as the system gave them (bytes: a file name need not be UTF-8). At most one file
  // is opened; "-h" and "--help" print the usage (whatever else is named), and any other word
  // that starts with "-" (before a "--") is refused with words. False when the application must end at once, with
  // StartupExitCode() as its exit code. UI thread, once.
  bool InitInstance(const std::vector<std::string>& args);
  // Before anything of Qt starts (the usage needs no window system, and there may be no display):
  // prints the usage and returns true when args ("-h" or "--help" before a "--") ask for it.
  // args: the command line without the program name, Qt's own options among them.
  static bool PrintUsageIfAsked(const std::vector<std::string>& args);
  // After InitInstance returned false: 0 after the usage, 2 after a refused option, 1 when the
  // program could not start.
  int StartupExitCode() const { return m_exitCode; }
  int ExitInstance();

  // The About box (command 57664).
  void OnAppAbout();
  // Entry index (0 = most recent) of the recent-file list; empty when there is none.
  std::string GetRecentFileName(int index) const;

  CMainFrame* GetMainFrame() const { return m_frame.get(); }
  CRecentFileList& GetRecentFiles() { return m_recentFiles; }
  CUpdateChecker& GetUpdateChecker() { return m_updateChecker; }

  // Before InitInstance: prompts that the frame uses instead of its dialogs (tests), and the
  // splash's display time (0 = no splash).
  void SetUserPrompts(IUserPrompts* prompts) { m_prompts = prompts; }
  void SetSplashTime(unsigned ms) { m_splashMs = ms; }

  // The splash display time at start-up.
  static constexpr unsigned kSplashMs = 3000;

 private:
  CUpdateChecker m_updateChecker;
  CRecentFileList m_recentFiles;
  std::unique_ptr<CMainFrame> m_frame;
  IUserPrompts* m_prompts = nullptr;
  unsigned m_splashMs = kSplashMs;
  int m_exitCode = 1;
};
