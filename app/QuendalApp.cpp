// Start-up in its fixed order, the About box and shut-down.
#include "app/QuendalApp.h"

#include <QApplication>
#include <QScreen>
#include <cstdio>

#include "app/AboutDlg.h"
#include "app/AppResources.h"
#include "app/AppVersion.h"
#include "app/MainFrame.h"
#include "core/draw/TextStyle.h"
#include "custom/CustomControls.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "panels/PanelClasses.h"
#include "platform/Graphics.h"
#include "ui/SplashScreen.h"

namespace {

const char* const kUsage =
    "usage: orvak [FILE.ovd]\n"
    "  starts Orvak and opens the system file FILE.ovd\n"
    "  (-- FILE.ovd, or ./FILE.ovd, for a name that starts with -)\n"
    "  -h, --help  prints this text\n";

// What the command line asks for: the usage, a file to open (its bytes as given, which need not
// be UTF-8), or nothing that can be done, for an option this program does not know.
struct CCommandLine {
  bool help = false;
  std::string refused;  // the first option not known
  std::string file;     // the first file named; the others are ignored
};

CCommandLine ReadCommandLine(const std::vector<std::string>& args) {
  CCommandLine line;
  bool options = true;
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "-h" || arg == "--help")) {
      line.help = true;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      if (line.refused.empty()) line.refused = arg;
    } else if (line.file.empty()) {
      line.file = arg;
    }
  }
  return line;
}

}  // namespace

bool CQuendalApp::PrintUsageIfAsked(const std::vector<std::string>& args) {
  if (!ReadCommandLine(args).help) return false;
  std::fputs(kUsage, stdout);
  std::fflush(stdout);
  return true;
}

CQuendalApp::CQuendalApp() = default;

CQuendalApp::~CQuendalApp() {
  m_frame.reset();
  m_updateChecker.Cleanup();
}

bool CQuendalApp::InitInstance(const std::vector<std::string>& args) {
  // The command line is read before anything starts: the usage and a refused option end the
  // program with words and without a window.
  const CCommandLine line = ReadCommandLine(args);
  if (line.help) {
    std::fputs(kUsage, stdout);
    m_exitCode = 0;
    return false;
  }
  if (!line.refused.empty()) {
    std::fprintf(stderr, "orvak: unknown option '%s'\n%s", line.refused.c_str(), kUsage);
    m_exitCode = 2;
    return false;
  }
  m_exitCode = 1;

  // The screen's vertical resolution, which turns text sizes in points into font heights.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    SetScreenPixelsPerInch(int(screen->logicalDotsPerInchY() + 0.5));
  }

  // Every device family takes its type codes in the factory before any file or scan needs them.
  RegisterProcessorFamily();
  RegisterAmplifierFamilies();
  // Faces the skins name (Arial, LiquidCrystal, HandelGotDLig) map to the installed families.
  InstallFontSubstitutions();
  // Likewise every custom widget kind takes its control type before a file with panels opens.
  RegisterCustomControls();
  // And every family with a control panel its panel class.
  RegisterDevicePanelClasses();

  // The settings key (company) and the application name (product).
  QCoreApplication::setOrganizationName(AppString(kStrCompanyKey));
  QCoreApplication::setApplicationName(AppString(kStrProductName));
  QApplication::setQuitOnLastWindowClosed(false);

  m_updateChecker.SetAppcastUrl(CUpdateChecker::kDefaultFeedUrl);
  m_updateChecker.Init();
  m_recentFiles.Load();

  m_frame = std::make_unique<CMainFrame>(m_recentFiles);
  if (m_prompts) m_frame->SetUserPrompts(m_prompts);
  m_frame->SetUpdateChecker(&m_updateChecker);
  m_frame->SetAboutHandler([this] { OnAppAbout(); });
  if (!m_frame->OnCreate()) return false;
  m_frame->RestoreDocking();

  m_frame->show();
  // A save that the program did not live to finish kept the file's earlier bytes: offered
  // back before any file opens.
  m_frame->KeptCopies().OfferKeptCopies();

  if (!line.file.empty()) {
    m_frame->Files().OpenFilePath(line.file);
  } else if (m_frame->GetLoadLastFileOnStartup()) {
    m_frame->Files().OnRecentFile(1);
    m_frame->Files().UpdateTitle();
  }

  if (m_splashMs != 0) {
    auto* splash = new CSplashScreen(LoadAppImage(kImgSplash), GetAppVersionText());
    splash->ShowSplashScreen(m_splashMs);
  }
  return true;
}

int CQuendalApp::ExitInstance() { return 0; }

void CQuendalApp::OnAppAbout() {
  CAboutDlg dialog(m_frame.get());
  dialog.SetTitle(QStringLiteral("About ") + AppString(kStrProductName));
  dialog.SetCloseBoxShown(true);
  dialog.exec();
}

std::string CQuendalApp::GetRecentFileName(int index) const {
  return index < 0 ? std::string() : m_recentFiles.Get(std::size_t(index));
}
