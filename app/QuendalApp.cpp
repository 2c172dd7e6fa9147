// Start-up in its fixed order, the About box and shut-down.
#include "app/QuendalApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>

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

CQuendalApp::CQuendalApp() = default;

CQuendalApp::~CQuendalApp() {
  m_frame.reset();
  m_updateChecker.Cleanup();
}

bool CQuendalApp::InitInstance(const QStringList& args) {
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

  // The command line: at most one file to open; the shell opens nothing by itself.
  QCommandLineParser parser;
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("System file to open"));
  if (!parser.parse(QStringList{QCoreApplication::applicationFilePath()} + args)) return false;
  const QStringList files = parser.positionalArguments();

  m_frame->show();
  // A save that the program did not live to finish kept the file's earlier bytes: offered
  // back before any file opens.
  m_frame->OfferKeptCopies();

  if (!files.isEmpty()) {
    m_frame->OpenFilePath(files.first().toStdString());
  } else if (m_frame->GetLoadLastFileOnStartup()) {
    m_frame->OnRecentFile(1);
    m_frame->UpdateTitle();
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
