// Update checker stand-in: no network access, only the feed address and the setting.
#include "app/UpdateChecker.h"

#include "app/UserPrompts.h"
#include "core/support/AppSettings.h"

void CUpdateChecker::Init() {
  m_automatic = CAppSettings::GetCheckForUpdates();
  m_started = true;
}

void CUpdateChecker::CheckUpdateWithUi(IUserPrompts& prompts) const {
  prompts.ShowMessage("Check for Updates",
                      "Automatic update checking is not available in this build.\n\n"
                      "New releases are announced at:\n" + m_feedUrl,
                      IUserPrompts::Icon::Information);
}
